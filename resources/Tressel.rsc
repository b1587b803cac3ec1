{
  "format": "tressel-resources",
  "version": 1,
  "dialogs": {
    "21000": {
      "title": "Tressel",
      "size": [440, 322],
      "frameOffset": [0, 22],
      "controls": [
        {"id": 101, "type": "static", "bounds": [12, 12, 84, 28], "title": "Mode:"},
        {"id": 4, "type": "radio", "bounds": [92, 12, 428, 60], "value": 0,
         "items": ["Facet outlines", "Border edges", "Border edges, merged vertices"]},
        {"id": 102, "type": "static", "bounds": [12, 76, 84, 92], "title": "Push:"},
        {"id": 5, "type": "edit", "bounds": [92, 76, 204, 92], "text": ""},
        {"id": 103, "type": "static", "bounds": [228, 76, 292, 92], "title": "Scale:"},
        {"id": 6, "type": "edit", "bounds": [300, 76, 412, 92], "text": ""},
        {"id": 7, "type": "check", "bounds": [12, 108, 428, 124], "title": "Wire only the listed items", "value": 0},
        {"id": 104, "type": "static", "bounds": [12, 132, 84, 148], "title": "List:"},
        {"id": 8, "type": "edit", "bounds": [92, 132, 428, 148], "text": ""},
        {"id": 9, "type": "push", "bounds": [12, 260, 100, 284], "title": "About"},
        {"id": 3, "type": "push", "bounds": [156, 260, 236, 284], "title": "Apply"},
        {"id": 2, "type": "push", "bounds": [252, 260, 332, 284], "title": "Cancel"},
        {"id": 1, "type": "push", "bounds": [348, 260, 428, 284], "title": "OK"}
      ]
    },
    "400": {
      "title": "",
      "size": [400, 122],
      "frameOffset": [0, 22],
      "controls": [
        {"id": 101, "type": "static", "bounds": [12, 12, 388, 44],
         "title": "Tressel turns the facets and borders of its child groups into wires."},
        {"id": 1, "type": "push", "bounds": [308, 64, 388, 88], "title": "OK"}
      ]
    }
  }
}
