{
  "format": "tressel-resources",
  "version": 1,
  "dialogs": {}
}
