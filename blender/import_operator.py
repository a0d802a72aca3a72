"""The import operator: reads each file chosen, builds its meshes and
tells a damaged file's failure in the status bar and the Info log, after
importing the groups read in full before it."""
import os

import bpy
import numpy as np
from bpy.props import BoolProperty, CollectionProperty, EnumProperty, StringProperty
from bpy_extras.io_utils import ImportHelper

from .quarlen_rsr import materials, mesh_data
from .quarlen_rsr import RsrError, read
from .quarlen_rsr.reader import SHORT_FILE


# The import options' choices as (identifier, label, description); the first is the default.
OBJECTS = (("GROUP", "One per group", "An object for each group of the file"),
           ("FILE", "One per file", "All groups of a file in one object"))
SCALES = (("1", "Poser units", "Coordinates as stored"),
          ("METRES", "Metres", "Poser units in metres (x 2.62128), as quarlen's GLB output"))
UP_AXES = (("Z", "Z up", "Poser's up (Y) becomes Blender's up (Z): the model stands upright"),
           ("Y", "Y up", "Coordinates as stored: the model lies on its back"))
MATERIALS = "A material for each material name, coloured as quarlen --mtl colours it"
MERGE_POINTS = "One vertex for the points of a group with identical coordinates (as quarlen --weld)"


def choice(name, items):
    return EnumProperty(name=name, items=list(items), default=items[0][0])


class ImportRsr(bpy.types.Operator, ImportHelper):
    """Import Poser geometry files (.rsr)"""

    bl_idname = "import_scene.rsr"
    bl_label = "Import Poser geometry"
    bl_options = {"REGISTER", "UNDO", "PRESET"}

    filename_ext = ".rsr"
    filter_glob: StringProperty(default="*.rsr;*.RSR", options={"HIDDEN"})
    files: CollectionProperty(type=bpy.types.OperatorFileListElement, options={"HIDDEN", "SKIP_SAVE"})
    directory: StringProperty(subtype="DIR_PATH", options={"HIDDEN", "SKIP_SAVE"})

    objects: choice("Objects", OBJECTS)
    use_materials: BoolProperty(name="Materials", default=True, description=MATERIALS)
    use_uvs: BoolProperty(name="UVs", default=True, description="Import the texture coordinates")
    scale: choice("Scale", SCALES)
    up_axis: choice("Up", UP_AXES)
    merge_points: BoolProperty(name="Merge shared points", default=False, description=MERGE_POINTS)

    def invoke(self, context, event):
        if self.files and self.directory:  # dropped on the 3D view
            return self.execute(context)
        return super().invoke(context, event)

    def paths(self):
        names = [f.name for f in self.files if f.name]
        if names:
            return [os.path.join(self.directory, n) for n in names]
        return [self.filepath]

    def execute(self, context):
        opts = mesh_data.Options(scale=mesh_data.POSER_UNIT_METRES if self.scale == "METRES" else 1.0,
                                 z_up=self.up_axis == "Z", weld=self.merge_points, uvs=self.use_uvs)
        imported = 0
        for obj in context.selected_objects:  # what is imported ends up selected, alone
            obj.select_set(False)
        for path in self.paths():
            try:
                groups = read(path, clean=True)
                if not groups:  # a whole file with nothing in it: told, as a failure is
                    self.report({"WARNING"}, "%s: the file holds no groups" % path)
            except OSError as e:
                self.report({"ERROR"}, "%s: %s" % (path, e.strerror or e))
                continue
            except RsrError as e:
                # The failure, and what the groups before it still give.
                self.report({"WARNING"}, "%s: %s" % (path, e))
                if any(text == SHORT_FILE for _, _, text in e.notices):
                    self.report({"WARNING"}, "%s: %s" % (path, SHORT_FILE.decode()))
                groups = e.groups
            if groups:
                add_file(context, path, groups, opts, self.objects == "FILE", self.use_materials)
                imported += 1
        return {"FINISHED"} if imported else {"CANCELLED"}


def add_file(context, path, groups, opts, one_object, use_materials):
    stem = os.path.splitext(os.path.basename(path))[0]
    collection = bpy.data.collections.new(stem)
    context.scene.collection.children.link(collection)
    names = {}
    meshes, carried = [], -1
    for g in groups:
        meshes.append(mesh_data.group_mesh(g, opts, names, carried))
        carried = meshes[-1].last_material(carried)
    if one_object:
        meshes = [mesh_data.file_mesh(meshes, stem, opts.weld)]
    file_materials = make_materials(names) if use_materials else []
    for m in meshes:
        obj = bpy.data.objects.new(m.name, make_mesh(m, file_materials))
        collection.objects.link(obj)
        obj.select_set(True)
        context.view_layer.objects.active = obj


def make_materials(names):
    made = []
    for i, name in enumerate(names):  # in the order the facets first use them
        mat = bpy.data.materials.new(materials.text(name))
        rgba = [c / 255 for c in materials.colour(i)] + [1.0]
        mat.diffuse_color = rgba
        mat.use_nodes = True
        bsdf = mat.node_tree.nodes.get("Principled BSDF")
        if bsdf:
            bsdf.inputs["Base Color"].default_value = rgba
        made.append(mat)
    return made


def as_index(a):
    # Blender 3.4 copies unsigned 32-bit arrays into index properties at
    # once, signed ones value by value; every index here is >= 0.
    return a.astype(np.uint32)


def make_mesh(m, file_materials):
    mesh = bpy.data.meshes.new(m.name)
    mesh.vertices.add(len(m.points))
    mesh.vertices.foreach_set("co", m.points.ravel())
    mesh.loops.add(len(m.loop_vertices))
    mesh.loops.foreach_set("vertex_index", as_index(m.loop_vertices))
    mesh.polygons.add(len(m.loop_starts))
    mesh.polygons.foreach_set("loop_start", as_index(m.loop_starts))
    try:
        mesh.polygons.foreach_set("loop_total", as_index(m.loop_totals))
    except (AttributeError, TypeError):
        pass  # Blender 4 takes each polygon's corners from the starts alone
    if m.uvs is not None:
        mesh.uv_layers.new(name="UVMap").data.foreach_set("uv", m.uvs.ravel())
    if file_materials:
        # The object's slots: the file's materials its polygons use, in order.
        used = m.materials[m.materials >= 0]
        _, first = np.unique(used, return_index=True)
        slots = used[np.sort(first)]
        for i in slots:
            mesh.materials.append(file_materials[i])
        slot_of = np.zeros(len(file_materials) + 1, np.int32)  # the last for no material
        slot_of[slots] = np.arange(len(slots), dtype=np.int32)
        mesh.polygons.foreach_set("material_index", as_index(slot_of[m.materials]))
    mesh.update(calc_edges=True)
    return mesh
