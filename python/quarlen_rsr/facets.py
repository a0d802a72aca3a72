"""The corner walk of a group's facets, for all facets at once.

Facet j's corners are the vertex index list entries from its c1 on while the
position stays below c1 + nc, that bound wrapping around as a signed 32-bit
sum; its texture facet (j < nf2) gives texture corners alongside, while the
texture position stays below its own wrapped bound. A position outside its
list fails the group ("bad value").
"""
import numpy as np

INT32_MIN = -(1 << 31)
TWO_31 = 1 << 31

# The facet records as stored: c1 and nc big-endian, the material number the
# one field stored low byte first.
FACE = np.dtype({"names": ["c1", "nc", "mat"], "formats": [">i4", ">i4", "<i2"],
                 "offsets": [0, 4, 13], "itemsize": 18})
FACE2 = np.dtype([("c1", ">i4"), ("nc", ">i4")])


def wrap32(a):
    """int64 values as the signed 32-bit sums the format wraps to."""
    return (a + TWO_31) % (1 << 32) - TWO_31


def _sum32(a, b):
    """a + b wrapped as a signed 32-bit sum; the modulo only when some sum
    leaves the range, which files seldom make it do."""
    s = a + b
    if len(s) and (s.max() >= TWO_31 or s.min() < INT32_MIN):
        s = wrap32(s)
    return s


def walk(c1, nc, c12, nc2, nq, nq2):
    """Corners walked and texture corners given per facet, and which facets
    fail on the vertex side and on the texture side. All arguments are int64
    arrays (c12 = -1, nc2 = -1 for facets without a texture facet) or
    counts. The texture corners of a facet that does not fail are always
    its first ones. Each rule is checked on all facets at once first (a few
    reductions), and worked out facet by facet only where it can matter."""
    assert len(c1) == len(nc) == len(c12) == len(nc2)
    none = np.zeros(len(c1), bool)
    end = _sum32(c1, nc)
    walked = end - c1
    np.maximum(walked, 0, out=walked)
    vertex_bad = none
    if len(c1) and (c1.min() < 0 or end.max() > nq):
        vertex_bad = (walked > 0) & ((c1 < 0) | (end > nq))

    # The texture position runs from c12 >= 0 upwards and is textured while
    # below end2; past INT32_MAX it wraps to negative values, outside the list.
    end2 = _sum32(c12, nc2)
    textured = end2 - c12
    np.minimum(textured, walked, out=textured)
    np.maximum(textured, 0, out=textured)
    if len(c12) and c12.min() < 0:  # facets without a texture facet, or one before the list
        textured[c12 < 0] = 0
    texture_bad = none
    if len(c12) and c12.max() + walked.max() > TWO_31:  # some facet walks past INT32_MAX
        has = c12 >= 0
        before_wrap = TWO_31 - c12
        np.minimum(textured, before_wrap, out=textured)
        texture_bad = has & (walked > before_wrap) & (end2 > INT32_MIN)
    reach = c12 + textured
    if len(c12) and reach.max() > nq2:
        texture_bad = texture_bad | ((textured > 0) & (reach > nq2))
    return walked, textured, vertex_bad, texture_bad


def expand(first, counts, entries, offsets):
    """entries[first[j] + i] for every i < counts[j], facet after facet;
    offsets are the running sums of counts, from 0."""
    assert len(first) == len(counts) == len(offsets) - 1
    total = int(offsets[-1])
    if total == 0:
        return np.zeros(0, np.int32)
    if (first == offsets[:-1]).all():  # facet after facet along the list, as files have it
        return entries[:total]
    positions = np.arange(total, dtype=np.int64) - np.repeat(offsets[:-1] - first, counts)
    return entries[positions]


def materials_in_force(mat, nm):
    """The slot in force at each facet: the last valid material number so
    far in the group, -1 before the first. mat: the numbers as stored."""
    valid = (mat >= 0) & (mat < nm)
    if valid.all():  # every facet names its slot, as most files have it
        return mat.astype(np.int32)
    last = np.maximum.accumulate(np.where(valid, np.arange(len(mat)), -1))
    return np.where(last >= 0, mat[np.maximum(last, 0)], -1).astype(np.int32)
