"""Run inside Blender by check_addon.py: installs the add-on from the zip,
then runs each import of the job file on an empty scene and prints what it
made as one "RUN" line of JSON.
usage: blender -b --factory-startup --python in_blender.py -- JOB.json"""
import json
import sys

import bpy


def colour(mat):
    bsdf = mat.node_tree.nodes.get("Principled BSDF") if mat.node_tree else None
    return list(bsdf.inputs["Base Color"].default_value)[:3] if bsdf else None


def made():
    """The objects in the order they were linked, and what those with
    polygons hold end to end (in one object the OBJ importer drops the
    points no polygon uses)."""
    objects = [o for c in [bpy.context.scene.collection] + list(bpy.data.collections) for o in c.objects]
    kept = [o for o in objects if o.data.polygons] or objects
    world = [o.matrix_world @ v.co for o in kept for v in o.data.vertices]
    return {
        "objects": [[o.name, [c.name for c in o.users_collection]] for o in objects],
        "object_polygons": [len(o.data.polygons) for o in objects],
        "centres": [list(p.center) for o in kept for p in o.data.polygons],
        "vertices": len(world),
        "box": [[min(w[k] for w in world), max(w[k] for w in world)] for k in range(3)] if world else [],
        "polygons": [p.loop_total for o in kept for p in o.data.polygons],
        "materials": [o.data.materials[p.material_index].name if o.data.materials else ""
                      for o in kept for p in o.data.polygons],
        "uvs": [list(d.uv) if o.data.uv_layers else [0.0, 0.0]
                for o in kept for d in (o.data.uv_layers[0].data if o.data.uv_layers else o.data.loops)],
        "colours": {m.name: colour(m) for o in kept for m in o.data.materials},
    }


job = json.load(open(sys.argv[sys.argv.index("--") + 1]))
installed = bpy.ops.preferences.addon_install(filepath=job["zip"], overwrite=True)
enabled = bpy.ops.preferences.addon_enable(module="quarlen_rsr_import")
print("INSTALLED", json.dumps([sorted(installed), sorted(enabled), hasattr(bpy.ops.import_scene, "rsr")]))
for run in job["runs"]:
    for data in (bpy.data.objects, bpy.data.meshes, bpy.data.materials, bpy.data.collections):
        for item in list(data):
            data.remove(item)
    try:
        if run["importer"] == "obj":
            result = bpy.ops.wm.obj_import(filepath=run["files"][0], **run["options"])
        else:
            result = bpy.ops.import_scene.rsr(directory=run["directory"], files=[{"name": f} for f in run["files"]],
                                              **run["options"])
    except RuntimeError as e:  # an operator's error report, raised for a script
        result = ["RAISED " + str(e)]
    sys.stdout.flush()
    print("RUN", json.dumps(dict(made(), result=sorted(result))), flush=True)
