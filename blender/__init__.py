"""Poser geometry (.rsr) import: File > Import, or .rsr files dropped on the
3D view (Blender 4.1 and later). Each file becomes a collection named after
it, holding an object per group or one for the whole file."""
import bpy

from . import import_operator

bl_info = {
    "name": "Poser geometry (.rsr) import",
    "author": "The quarlen developers",
    "version": (1, 1, 0),
    "blender": (3, 4, 0),
    "location": "File > Import > Poser geometry (.rsr)",
    "description": "Imports Poser geometry files (.rsr) straight into the scene",
    "category": "Import-Export",
}


def menu_import(self, context):
    self.layout.operator(import_operator.ImportRsr.bl_idname, text="Poser geometry (.rsr)")


classes = [import_operator.ImportRsr]

if hasattr(bpy.types, "FileHandler"):  # drag and drop, Blender 4.1 and later
    class IO_FH_rsr(bpy.types.FileHandler):
        bl_idname = "IO_FH_rsr"
        bl_label = "Poser geometry"
        bl_import_operator = import_operator.ImportRsr.bl_idname
        bl_file_extensions = ".rsr"

        @classmethod
        def poll_drop(cls, context):
            return context.area is not None and context.area.type == "VIEW_3D"

    classes.append(IO_FH_rsr)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
