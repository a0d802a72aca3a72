"""Run inside Blender by tools/render_blender.sh: installs the add-on from
the zip, imports the .rsr file with it and renders the result with the
Workbench engine, each material in its --mtl colour.
usage: blender -b --factory-startup --python render_blender.py -- ZIP IN.rsr OUT.png"""
import math
import os
import sys

import bpy
from mathutils import Vector

zip_path, rsr, png = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.preferences.addon_install(filepath=zip_path, overwrite=True)
bpy.ops.preferences.addon_enable(module="quarlen_rsr_import")
for obj in list(bpy.data.objects):
    bpy.data.objects.remove(obj)
bpy.ops.import_scene.rsr(directory=os.path.dirname(rsr), files=[{"name": os.path.basename(rsr)}])

# A camera from the front left and a little above, far enough for the whole model.
corners = [o.matrix_world @ Vector(c) for o in bpy.data.objects for c in o.bound_box]
low = Vector([min(c[k] for c in corners) for k in range(3)])
high = Vector([max(c[k] for c in corners) for k in range(3)])
centre, size = (low + high) / 2, (high - low).length
camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
bpy.context.scene.collection.objects.link(camera)
camera.location = centre + Vector((-0.9, -1.6, 0.8)).normalized() * size * 2.2
camera.rotation_euler = (centre - camera.location).to_track_quat("-Z", "Y").to_euler()
camera.data.angle = math.radians(45)

scene = bpy.context.scene
scene.camera = camera
scene.render.engine = "BLENDER_WORKBENCH"
scene.display.shading.light = "STUDIO"
scene.display.shading.color_type = "MATERIAL"
scene.display.shading.show_cavity = True
scene.display.shading.show_object_outline = True
scene.world = bpy.data.worlds.new("backdrop")
scene.world.color = (0.8, 0.8, 0.8)
scene.render.resolution_x, scene.render.resolution_y = 800, 450
scene.render.filepath = png
bpy.ops.render.render(write_still=True)
