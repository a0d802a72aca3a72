"""What the add-on and meshio make of groups where the console program's
output shows nothing: names that are not UTF-8, points that meet once scaled."""
import numpy as np

import quarlen_rsr.meshio
from quarlen_rsr import mesh_data
from quarlen_rsr.group import Group


def facet_group(points, material=None):
    """A group of one facet on all its points, in material when given."""
    n = len(points)
    return Group(b"g", np.array(points, np.float32), np.zeros((0, 2), np.float32), np.array([0, n]),
                 np.arange(n, dtype=np.int32), np.zeros(1, np.int32), np.zeros(n, np.int32),
                 [material] if material else [], np.array([0 if material else -1], np.int32))


def test_names_that_differ_in_latin1_bytes_are_two_materials():
    groups = [facet_group([(0, 0, 0), (1, 0, 0), (1, 1, 0)], name) for name in (b"wall\xe8", b"wall\xe9")]
    mesh = quarlen_rsr.meshio.mesh_from_groups(groups)
    assert sorted(n for n in mesh.field_data if n.startswith("material:")) == ["material:wall\xe8", "material:wall\xe9"]
    assert sorted(np.concatenate(mesh.cell_data["material"])) == [0, 1]


def test_one_object_welds_points_as_stored_not_as_scaled():
    a, scale = np.float32(1.9), mesh_data.POSER_UNIT_METRES
    b = np.nextafter(a, np.float32(2))
    assert np.float32(float(a) * scale) == np.float32(float(b) * scale)  # one point once scaled
    opts = mesh_data.Options(scale=scale, weld=True)
    m = mesh_data.file_mesh([mesh_data.group_mesh(facet_group([(a, 0, 0), (b, 0, 0), (0, 1, 0), (0, 0, 1)]), opts, {})],
                            "f", weld=True)
    assert len(m.points) == 4 and sorted(m.loop_vertices) == [0, 1, 2, 3]
