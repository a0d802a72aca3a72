"""One group of an .rsr file, as numpy arrays."""
from dataclasses import dataclass, field

import numpy as np


@dataclass
class Group:
    """A polygon group read in full.

    points, uvs: coordinates as stored (float32, native byte order), bit for
        bit: points is (np, 3), uvs (nt, 2).
    facet_offsets: (nf + 1,) int64; the corners of facet j are
        corners[facet_offsets[j]:facet_offsets[j + 1]].
    corners: int32 entries of the vertex index list, one per corner: point
        numbers within the group, not checked against the points (a facet
        may name a point the group lacks).
    uv_counts: (nf,) int32; the first uv_counts[j] corners of facet j have a
        texture corner, the others none.
    uv_corners: int32 entries of the texture index list, aligned with
        corners (0 where a corner has no texture corner); texture vertex
        numbers, not checked against the texture vertices.
    materials: the material names (bytes) of the group's slots.
    facet_materials: (nf,) int32, the slot of the material in force at each
        facet, -1 before the first facet with a valid material number.
    """

    name: bytes
    points: np.ndarray
    uvs: np.ndarray
    facet_offsets: np.ndarray
    corners: np.ndarray
    uv_counts: np.ndarray
    uv_corners: np.ndarray
    materials: list = field(default_factory=list)
    facet_materials: np.ndarray = None

    @property
    def facet_count(self):
        return len(self.facet_offsets) - 1

    def corner_counts(self):
        return np.diff(self.facet_offsets)
