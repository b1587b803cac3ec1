# Run by Blender in the background: imports each file named after `--` with
# the importer named beside it and prints one JSON line per file with the
# vertex and edge counts of every mesh object, by object name.
#   blender -b --factory-startup --python BlenderImport.py -- obj_new a.obj ply b.ply ...
import json
import sys

import bpy
import numpy

# Debian's numpy no longer has numpy.bool, which Blender 3.4's glTF importer uses.
if not hasattr(numpy, "bool"):
    numpy.bool = bool

IMPORTERS = {
    "obj_new": lambda path: bpy.ops.wm.obj_import(filepath=path),
    "obj_legacy": lambda path: bpy.ops.import_scene.obj(filepath=path),
    "ply": lambda path: bpy.ops.import_mesh.ply(filepath=path),
    "gltf": lambda path: bpy.ops.import_scene.gltf(filepath=path),
}

arguments = sys.argv[sys.argv.index("--") + 1:]
for importer, path in zip(arguments[0::2], arguments[1::2]):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    IMPORTERS[importer](path)
    objects = {}
    for obj in bpy.context.scene.objects:
        if obj.type == "MESH":
            objects[obj.name] = {"vertices": len(obj.data.vertices), "edges": len(obj.data.edges)}
    print("IMPORTED " + json.dumps({"importer": importer, "file": path, "objects": objects}), flush=True)
