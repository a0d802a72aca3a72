"""What the add-on and meshio make of groups, where that can go wrong past
what the console program's output shows: names that are not UTF-8, and
points that meet only once scaled."""
import numpy as np

import quarlen_rsr.meshio
from quarlen_rsr import mesh_data
from quarlen_rsr.group import Group


def triangle_group(points, material=None):
    """A group of one facet on all its points, in material when given."""
    n = len(points)
    return Group(name=b"g", points=np.array(points, np.float32), uvs=np.zeros((0, 2), np.float32),
                 facet_offsets=np.array([0, n]), corners=np.arange(n, dtype=np.int32),
                 uv_counts=np.zeros(1, np.int32), uv_corners=np.zeros(n, np.int32),
                 materials=[material] if material else [], facet_materials=np.array([0 if material else -1], np.int32))


def test_names_that_differ_in_latin1_bytes_are_two_materials():
    square = [(0, 0, 0), (1, 0, 0), (1, 1, 0)]
    mesh = quarlen_rsr.meshio.mesh_from_groups([triangle_group(square, b"wall\xe8"), triangle_group(square, b"wall\xe9")])
    assert sorted(n for n in mesh.field_data if n.startswith("material:")) == ["material:wall\xe8", "material:wall\xe9"]
    assert sorted(np.concatenate(mesh.cell_data["material"])) == [0, 1]


def test_one_object_welds_points_as_stored_not_as_scaled():
    a = np.float32(1.9)
    b = np.nextafter(a, np.float32(2))
    scale = mesh_data.POSER_UNIT_METRES
    assert np.float32(float(a) * scale) == np.float32(float(b) * scale)  # one point once scaled
    opts = mesh_data.Options(scale=scale, weld=True)
    group = mesh_data.group_mesh(triangle_group([(a, 0, 0), (b, 0, 0), (0, 1, 0), (0, 0, 1)]), opts, {})
    m = mesh_data.file_mesh([group], "f", weld=True)
    assert len(m.points) == 4 and sorted(m.loop_vertices) == [0, 1, 2, 3]
