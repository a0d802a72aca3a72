"""Run inside Blender by bench/blender_import.sh: imports one file, with
the add-on (KIND rsr; it must be installed) or Blender's own OBJ importer
(KIND obj), and prints the seconds the import took and what it made.
usage: blender -b --factory-startup --python blender_import.py -- KIND FILE"""
import os
import sys
import time

import bpy

kind, path = sys.argv[sys.argv.index("--") + 1:]
for obj in list(bpy.data.objects):
    bpy.data.objects.remove(obj)
if kind == "rsr":
    bpy.ops.preferences.addon_enable(module="quarlen_rsr_import")
start = time.perf_counter()
if kind == "rsr":
    bpy.ops.import_scene.rsr(directory=os.path.dirname(path), files=[{"name": os.path.basename(path)}])
else:
    bpy.ops.wm.obj_import(filepath=path)
seconds = time.perf_counter() - start
meshes = [o.data for o in bpy.data.objects]
print("IMPORT %s %.3f s: %d objects, %d vertices, %d polygons" % (
    kind, seconds, len(meshes), sum(len(m.vertices) for m in meshes), sum(len(m.polygons) for m in meshes)))
