"""meshio reads .rsr files once this module is imported:

    import meshio
    import quarlen_rsr.meshio
    mesh = meshio.read("man.rsr")

The mesh is what the Blender add-on imports as one object for the file, with
the coordinates as stored (no turn, no scale, no merged points): the facets
--clean keeps, a facet meeting a point twice as the triangles of its fan that
do not, and only the points the cells use.

cells: a block per corner count ("triangle", "quad", then "polygon" blocks),
    in increasing count, the facets of each in file order.
cell_data["group"]: the number of the group (in file order, from 0) a cell
    comes from; cell_data["material"]: the number of its material, -1 for
    none (a facet before any material of the file).
field_data: "group:NAME" and "material:NAME" give [number, 2] (the number
    and the dimension, as Gmsh's physical names do), the names as the add-on
    names objects and materials.

A file the converter refuses raises quarlen_rsr.RsrError.
"""
import meshio
import numpy as np

from . import materials, mesh_data
from .reader import read as read_groups

AS_STORED = mesh_data.Options(scale=1.0, z_up=False, weld=False, uvs=False)
CELL_TYPES = {3: "triangle", 4: "quad"}


def _unique(name, taken):
    """name, or as Blender renames a name taken: name.001, name.002, ..."""
    n, unique = 0, name
    while unique in taken:
        n += 1
        unique = "%s.%03d" % (name, n)
    return unique


def mesh_from_groups(groups):
    """The meshio.Mesh of a file's groups (quarlen_rsr.read(..., clean=True))."""
    names, meshes, carried = {}, [], -1
    for g in groups:
        meshes.append(mesh_data.group_mesh(g, AS_STORED, names, carried))
        carried = meshes[-1].last_material(carried)
    group_of = np.repeat(np.arange(len(meshes)), [len(m.loop_starts) for m in meshes])
    whole = mesh_data.file_mesh(meshes, "", weld=False)
    assert len(group_of) == len(whole.loop_starts)

    cells, groups_of_cells, materials_of_cells = [], [], []
    for count in np.unique(whole.loop_totals):
        polygons = np.flatnonzero(whole.loop_totals == count)
        corners = whole.loop_starts[polygons][:, None] + np.arange(count)
        cells.append((CELL_TYPES.get(int(count), "polygon"), whole.loop_vertices[corners]))
        groups_of_cells.append(group_of[polygons].astype(np.int32))
        materials_of_cells.append(whole.materials[polygons].astype(np.int32))

    field_data = {}
    for number, m in enumerate(meshes):
        field_data[_unique("group:" + m.name, field_data)] = np.array([number, 2])
    for name, number in names.items():
        field_data[_unique("material:" + materials.text(name), field_data)] = np.array([number, 2])
    return meshio.Mesh(whole.points, cells, cell_data={"group": groups_of_cells, "material": materials_of_cells},
                       field_data=field_data)


def read(filename):
    """meshio's reader for .rsr: filename is a path (or an open binary file)."""
    source = filename.read() if hasattr(filename, "read") else filename
    return mesh_from_groups(read_groups(source, clean=True))


meshio.register_format("rsr", [".rsr"], read, {})
