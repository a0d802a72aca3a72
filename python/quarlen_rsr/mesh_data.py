"""From the groups of an .rsr file to mesh arrays Blender takes as they are.

The facets kept, their corners and texture corners are those of quarlen's
--clean output: a facet is left out when it has fewer than 3 corners or a
corner on a point the group lacks or one with a coordinate that is not
finite; repeated corners in a row merge (the last with the first too), and
a facet left with fewer than 3 goes; texture corners are kept only when
every corner has one in range, on a finite texture vertex. A facet that
still meets one point twice, which Blender cannot hold as one polygon, is
fanned into the triangles that do not.
"""
from dataclasses import dataclass

import numpy as np

from . import materials

POSER_UNIT_METRES = 2.62128  # the scale of quarlen's GLB output


@dataclass
class Options:
    scale: float = 1.0
    z_up: bool = True   # (x, y, z) becomes (x, -z, y), as --z-up
    weld: bool = False  # one vertex for bit-identical points of a group
    uvs: bool = True


@dataclass
class MeshArrays:
    name: str
    points: np.ndarray        # (n, 3) float32
    loop_vertices: np.ndarray  # int32, polygon after polygon
    loop_starts: np.ndarray   # int32, one per polygon
    loop_totals: np.ndarray   # int32
    uvs: np.ndarray           # (loops, 2) float32, or None
    materials: np.ndarray     # int32 per polygon: index into the file's names, -1 none
    stored: np.ndarray        # (n, 3) float32: each point as stored (0 where not finite placed), which welding compares

    def last_material(self, before):
        """The material in force after the mesh, `before` it."""
        return int(self.materials[-1]) if len(self.materials) else before


def _placed(points, opts):
    """Points scaled and turned, with 0 for a coordinate that is then not
    finite, and which coordinates were (as stored, before turning)."""
    with np.errstate(over="ignore", invalid="ignore"):  # too large for a float: not finite, as --clean takes it
        p = points if opts.scale == 1.0 else (points.astype(np.float64) * opts.scale).astype(np.float32)
    finite = np.isfinite(p)
    p = np.where(finite, p, np.float32(0))
    if opts.z_up:
        p = np.stack([p[:, 0], -p[:, 2], p[:, 1]], axis=1)
    return np.ascontiguousarray(p, np.float32), finite


def _numbers(points, finite, opts):
    """Each point's vertex number before compaction: itself, or welded the
    first point with the same coordinate bits (0 for non-finite ones)."""
    if not opts.weld or len(points) == 0:
        return np.arange(len(points))
    bits = np.ascontiguousarray(np.where(finite, points, np.float32(0))).view(np.uint32)
    keys = bits.view(np.dtype((np.void, 12))).ravel()
    _, first, inverse = np.unique(keys, return_index=True, return_inverse=True)
    return first[inverse.ravel()]


def _invalid(index, ok):
    """The positions of index whose entry is outside ok or where ok is
    False; first checked on all at once, as files seldom have any."""
    if len(index) == 0 or (ok.all() and index.min() >= 0 and index.max() < len(ok)):
        return np.zeros(0, np.int64)
    inside = (index >= 0) & (index < len(ok))
    valid = inside & ok[np.where(inside, index, 0)] if len(ok) else inside
    return np.flatnonzero(~valid)


def _facets_of(positions, facet_of, nf):
    """Whether each facet has a corner at one of positions."""
    hit = np.zeros(nf, bool)
    hit[facet_of[positions]] = True
    return hit


def _runs(facet_of):
    """Where each facet's corners start, and how many it has."""
    starts = np.flatnonzero(np.r_[True, facet_of[1:] != facet_of[:-1]]) if len(facet_of) else np.zeros(0, np.int64)
    return starts, np.diff(np.r_[starts, len(facet_of)])


def _merge_repeats(v, facet_of):
    """The corners kept: none equal to the one before it in its facet, and
    a facet's last not equal to its first."""
    stay = np.ones(len(v), bool)
    stay[1:] = ~((v[1:] == v[:-1]) & (facet_of[1:] == facet_of[:-1]))
    if stay.all():  # no repeats in a row, as files have it: no subset to take
        starts, totals = _runs(facet_of)
        ends = starts + totals - 1
        stay[ends[(totals > 1) & (v[ends] == v[starts])]] = False
        return stay
    idx = np.flatnonzero(stay)
    starts, totals = _runs(facet_of[idx])
    ends = starts + totals - 1
    closing = (totals > 1) & (v[idx[ends]] == v[idx[starts]])
    stay[idx[ends[closing]]] = False
    return stay


def _expand(first, counts):
    """first[p] + i for every i < counts[p], block after block."""
    offsets = np.r_[0, np.cumsum(counts)]
    return np.arange(offsets[-1], dtype=np.int64) - np.repeat(offsets[:-1] - first, counts)


def _pick(a, at):
    """a[at], at None standing for every entry in order."""
    return a if at is None else a[at]


def _meeting_twice(v, starts, totals):
    """The facets (by position in starts) whose corners meet a point twice,
    the facets of each corner count k at once: corner i against corner
    i + s for 2 <= s < k - 1 (repeats in a row are merged already, the last
    corner with the first too)."""
    twice = np.zeros(len(starts), bool)
    for k in np.unique(totals[totals >= 4]):
        of_k = np.flatnonzero(totals == k)
        corners = v[starts[of_k][:, None] + np.arange(k)]
        met = np.zeros(len(of_k), bool)
        for s in range(2, k - 1):
            if k - s <= 4:  # a few columns: compared one by one, faster than any() along a short axis
                for c in range(k - s):
                    met |= corners[:, c] == corners[:, c + s]
            else:
                met |= (corners[:, :k - s] == corners[:, s:]).any(axis=1)
        twice[of_k] = met
    return twice


def _polygons(v, facet_of):
    """Polygons over corner positions: (loops, each polygon's facet and
    corner count), in facet order; loops None when they are the corners as
    they are. A facet that meets a point twice (not in a row) becomes the
    triangles of its fan that do not."""
    starts, totals = _runs(facet_of)
    twice = _meeting_twice(v, starts, totals)
    if not twice.any():
        return None, facet_of[starts], totals
    plain = ~twice
    fans = totals[twice] - 2
    a = np.repeat(starts[twice], fans)
    i = _expand(starts[twice] + 1, fans)
    tris = np.stack([a, i, i + 1], axis=1)[(v[a] != v[i]) & (v[i] != v[i + 1]) & (v[a] != v[i + 1])]
    first = np.r_[starts[plain], tris[:, 0]]
    counts = np.r_[totals[plain], np.full(len(tris), 3)]
    facets = np.r_[facet_of[starts][plain], facet_of[tris[:, 0]]]
    old_loops = np.r_[_expand(starts[plain], totals[plain]), tris.ravel()]
    old_first = np.r_[0, np.cumsum(counts)][:-1]
    o = np.argsort(facets, kind="stable")
    return old_loops[_expand(old_first[o], counts[o])], facets[o], counts[o]


def group_mesh(g, opts, names, carried=-1):
    """The mesh of one group. names maps a material name (its safe_bytes)
    to its index in the file; names new to it are added in the order facets
    first use them.
    A facet with no material of its group in force takes `carried`, the
    material of the polygon before it in the file, as an OBJ reader of
    quarlen's output does."""
    nf = g.facet_count
    counts = np.diff(g.facet_offsets)
    facet_of = np.repeat(np.arange(nf), counts)
    placed, finite = _placed(g.points, opts)
    keep = (counts >= 3) & ~_facets_of(_invalid(g.corners, finite.all(axis=1)), facet_of, nf)
    whole = (g.uv_counts == counts) & ~_facets_of(
        _invalid(g.uv_corners, np.isfinite(g.uvs).all(axis=1)), facet_of, nf)

    # The kept facets' corners as vertex numbers, repeats merged; each step
    # takes its subset only when it drops something (at: the corners left,
    # None for all of them).
    at = None if keep.all() else np.flatnonzero(keep[facet_of])
    number = _numbers(g.points, finite, opts)
    v, fk = _pick(number, _pick(g.corners, at)) if opts.weld else _pick(g.corners, at), _pick(facet_of, at)
    for stay in (_merge_repeats, lambda v, fk: (np.bincount(fk, minlength=nf) >= 3)[fk]):
        stay = stay(v, fk)
        if not stay.all():
            at, v, fk = np.flatnonzero(stay) if at is None else at[stay], v[stay], fk[stay]
    loops, poly_facets, totals = _polygons(v, fk)
    v = _pick(v, loops)
    at = loops if at is None else _pick(at, loops)  # each loop's corner in the group

    # Only the points the polygons use, or without polygons every one.
    used = np.zeros(len(placed), bool)
    used[v if len(v) else number] = True
    renumber = np.cumsum(used) - 1
    assert len(v) == totals.sum() and (totals >= 3).all()
    uvs = None
    if opts.uvs and whole[poly_facets].any():
        textured = whole[_pick(facet_of, at)]
        uvs = np.zeros((len(v), 2), np.float32)
        uvs[textured] = g.uvs[_pick(g.uv_corners, at)[textured]]
    return MeshArrays(name=materials.safe_name(g.name, False),
                      points=placed[used], stored=np.where(finite, g.points, np.float32(0))[used],
                      loop_vertices=renumber[v].astype(np.int32),
                      loop_starts=np.r_[0, np.cumsum(totals)][:-1].astype(np.int32),
                      loop_totals=totals.astype(np.int32), uvs=uvs,
                      materials=_material_indices(g, poly_facets, names, carried))


def _material_indices(g, poly_facets, names, carried):
    slots = g.facet_materials[poly_facets]
    index = np.full(len(g.materials) + 1, carried, np.int32)  # the last for slot -1
    valid = slots[slots >= 0]
    _, first = np.unique(valid, return_index=True)
    for slot in valid[np.sort(first)]:
        index[slot] = names.setdefault(materials.safe_bytes(g.materials[slot], True), len(names))
    return index[slots]


def weld_mesh(m):
    """m with one vertex for points of the same coordinate bits as stored,
    as each group's are welded: placed, two points a float apart may meet,
    and a polygon on both would hold one vertex twice."""
    if len(m.points) == 0:
        return m
    keys = np.ascontiguousarray(m.stored).view(np.dtype((np.void, 12))).ravel()
    _, first, inverse = np.unique(keys, return_index=True, return_inverse=True)
    m.points, m.stored = m.points[first], m.stored[first]
    m.loop_vertices = inverse.ravel()[m.loop_vertices].astype(np.int32)
    return m


def file_mesh(meshes, name, weld):
    """The meshes of a file's groups as one: only the points its polygons
    use, unless it has none; welded across groups when asked."""
    meshes = [m for m in meshes if len(m.loop_starts)] or meshes
    base = np.cumsum([0] + [len(m.points) for m in meshes])
    loop_base = np.cumsum([0] + [len(m.loop_vertices) for m in meshes])
    textured = any(m.uvs is not None for m in meshes)

    def joined(arrays, empty):
        return np.concatenate(list(arrays) or [empty])

    m = MeshArrays(
        name=name,
        points=joined((m.points for m in meshes), np.zeros((0, 3), np.float32)),
        stored=joined((m.stored for m in meshes), np.zeros((0, 3), np.float32)),
        loop_vertices=joined((m.loop_vertices + b for m, b in zip(meshes, base)), np.zeros(0, np.int32)),
        loop_starts=joined((m.loop_starts + b for m, b in zip(meshes, loop_base)), np.zeros(0, np.int32)),
        loop_totals=joined((m.loop_totals for m in meshes), np.zeros(0, np.int32)),
        uvs=joined((np.zeros((len(m.loop_vertices), 2), np.float32) if m.uvs is None else m.uvs for m in meshes),
                   np.zeros((0, 2), np.float32)) if textured else None,
        materials=joined((m.materials for m in meshes), np.zeros(0, np.int32)))
    for field in ("loop_vertices", "loop_starts", "loop_totals"):
        setattr(m, field, getattr(m, field).astype(np.int32))
    return weld_mesh(m) if weld else m
