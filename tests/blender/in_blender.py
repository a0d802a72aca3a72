"""Run inside Blender by check_addon.py: installs the add-on from the zip,
then runs each import of the job file on an empty scene and prints what it
made, one "RUN" line of JSON per import.
usage: blender -b --factory-startup --python in_blender.py -- JOB.json"""
import json
import sys

import bpy
from mathutils import Vector


def clear():
    for data in (bpy.data.objects, bpy.data.meshes, bpy.data.materials, bpy.data.collections):
        for item in list(data):
            data.remove(item)


def colour(mat):
    bsdf = mat.node_tree.nodes.get("Principled BSDF") if mat.node_tree else None
    return list(bsdf.inputs["Base Color"].default_value)[:3] if bsdf else None


def made():
    # In the order the importer linked them: by collection, then within it.
    objects = []
    for obj in [o for c in [bpy.context.scene.collection] + list(bpy.data.collections) for o in c.objects]:
        mesh = obj.data
        world = [obj.matrix_world @ Vector(v.co) for v in mesh.vertices]
        uv = mesh.uv_layers[0].data if mesh.uv_layers else None
        objects.append({
            "name": obj.name, "collections": [c.name for c in obj.users_collection],
            "vertices": len(mesh.vertices), "loops": len(mesh.loops),
            "polygons": [p.loop_total for p in mesh.polygons],
            "box": [[min(w[k] for w in world), max(w[k] for w in world)] for k in range(3)] if world else [],
            "materials": [mesh.materials[p.material_index].name if mesh.materials else "" for p in mesh.polygons],
            "colours": {m.name: colour(m) for m in mesh.materials},
            "uvs": [list(d.uv) for d in uv] if uv else None,
        })
    return objects


job = json.load(open(sys.argv[sys.argv.index("--") + 1]))
installed = bpy.ops.preferences.addon_install(filepath=job["zip"], overwrite=True)
enabled = bpy.ops.preferences.addon_enable(module="quarlen_rsr_import")
print("INSTALLED", json.dumps([sorted(installed), sorted(enabled), hasattr(bpy.ops.import_scene, "rsr")]))
for run in job["runs"]:
    clear()
    files = run["files"]
    try:
        if run["importer"] == "obj":
            result = bpy.ops.wm.obj_import(filepath=files[0], **run["options"])
        else:
            result = bpy.ops.import_scene.rsr(directory=run["directory"], files=[{"name": f} for f in files],
                                              **run["options"])
    except RuntimeError as e:  # an operator's error report, raised for a script
        result = ["RAISED " + str(e)]
    sys.stdout.flush()
    print("RUN", json.dumps({"result": sorted(result), "objects": made()}), flush=True)
