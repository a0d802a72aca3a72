"""Reading an .rsr file: the header, groups until the end marker, the
trailer, each field followed by the test quarlen's converter makes.

Numbers are big-endian: counts are int32, coordinates float32. Before an
array is taken its count is checked: a negative count, or one whose bytes
(count x the size of an item in memory) exceed 2^32 - 1, is a memory
failure; an array running past the end of the input is an end-of-file one.
"""

import numpy as np

from . import facets
from .group import Group

HEADER_SIZE = 268
TRAILER_SIZE = 47
MATERIAL_SIZE = 40  # the 40th byte of a slot is taken as NUL
MAX_NAME_LENGTH = 256
UINT32_MAX = (1 << 32) - 1

# The console program's texts.
END_OF_FILE = b"end of file"
BAD_VALUE = b"bad value"
NO_MEMORY = b"I can't get enough memory"
SHORT_FILE = (b"This may be a \"short RSR\" file that contains only a library thumbnail graphic image. "
              b"I can't handle those.")
JUNK = b"I probably hit junk at the end of the .RSR file, and likely the output .OBJ file is complete"

# One array field: its count's name, an item's size in memory as the
# converter asks the heap for it and in the file, and the blocks it asks
# for before the count's failure is told.
POINTS = ("np", 4, 12, 3)  # x, y and z asked for in turn
VERTEX_LIST = ("nq", 4, 4, 1)
FACETS = ("nf", 18, 18, 1)
TEXTURE_VERTICES = ("nt", 4, 8, 1)  # u is refused before v is asked for
TEXTURE_LIST = ("nq2", 4, 4, 1)
TEXTURE_FACETS = ("nf2", 8, 8, 1)
MATERIALS = ("nm", MATERIAL_SIZE, MATERIAL_SIZE, 1)


class RsrError(Exception):
    """A damaged or truncated file. str() is the failure text as the
    console program prints it after "warning: ".

    message: that text as bytes (it holds a group name as stored).
    groups: the groups read in full before the failure.
    notices: every notice the console program shows for the failure, in
        order, as (caption, warning, text): caption "farmalloc" or None for
        the input's path, warning False for a plain notice.
    """

    def __init__(self, message, groups, notices):
        super().__init__(message.decode("utf-8", "replace"))
        self.message = message
        self.groups = groups
        self.notices = notices


class _Failure(Exception):
    """message: the failure text; before: "I can't get enough memory"
    notices told before it; after: (warning, text) of a notice after it;
    count: for a memory failure, the count's name and value, whose text
    needs the group's name."""

    def __init__(self, message=b"", before=0, after=None, count=None):
        super().__init__()
        self.message, self.before, self.after, self.count = message, before, after, count


class _Input:
    """The bytes and a read position; a read past the end sets eof, which
    stays set, as a stream's end-of-file indicator does."""

    def __init__(self, data):
        self.data = data
        self.pos = 0
        self.eof = False

    def left(self):
        return len(self.data) - self.pos

    def skip(self, n):
        if n > self.left():
            self.pos, self.eof = len(self.data), True
            return None
        at = self.pos
        self.pos += n
        return at

    def int32(self):
        at = self.skip(4)
        return 0 if at is None else int.from_bytes(self.data[at:at + 4], "big", signed=True)


def _end_of_file():
    return _Failure(END_OF_FILE)


def _array(inp, field, present=True):
    """Reads an array's count (0, with nothing read, when absent) and
    returns it with the array's offset."""
    name, size, file_bytes, asks = field
    count = inp.int32() if present else 0
    if inp.eof:
        raise _end_of_file()
    if count < 0 or count * size > UINT32_MAX:
        raise _Failure(before=asks, count=(name, count))
    at = inp.skip(count * file_bytes)
    if at is None:
        raise _end_of_file()
    return count, at


def _ints(data, at, n):
    return np.frombuffer(data, ">i4", n, at).astype(np.int32)


def _floats(data, at, n, width):
    # Through integers, so that every bit pattern (NaN payloads too) stays.
    return np.frombuffer(data, ">u4", n * width, at).astype(np.uint32).view(np.float32).reshape(n, width)


def _corners(data, pf, nq, pt, nq2, c1, c12, walked, textured):
    """The facet offsets, and each corner's vertex and texture index list
    entries (the texture corners are the first `textured` of each facet)."""
    offsets = np.zeros(len(walked) + 1, np.int64)
    np.cumsum(walked, out=offsets[1:])
    corners = facets.expand(c1, walked, _ints(data, pf, nq), offsets)
    if (textured == walked).all() and len(corners):  # every corner textured, as most files have it
        return offsets, corners, facets.expand(c12, walked, _ints(data, pt, nq2), offsets)
    uv_corners = np.zeros(len(corners), np.int32)
    if textured.any():
        at_corner = np.arange(len(corners), dtype=np.int64) - np.repeat(offsets[:-1], walked)
        wanted = at_corner < np.repeat(textured, walked)
        uv_corners[wanted] = _ints(data, pt, nq2)[(at_corner + np.repeat(c12, walked))[wanted]]
    return offsets, corners, uv_corners


def _read_group(inp, name, clean):
    data = inp.data
    np_, xyz = _array(inp, POINTS)
    nq, pf = _array(inp, VERTEX_LIST)
    nf, fac = _array(inp, FACETS)
    texq = inp.int32() != 0
    if inp.eof:
        raise _end_of_file()
    nt, uv = _array(inp, TEXTURE_VERTICES, texq)
    nq2, pt = _array(inp, TEXTURE_LIST, texq)
    nf2, fac2 = _array(inp, TEXTURE_FACETS, texq)
    nm, mats = _array(inp, MATERIALS)

    face = np.frombuffer(data, facets.FACE, nf, fac)
    c1, nc = face["c1"].astype(np.int64), face["nc"].astype(np.int64)
    c12 = np.full(nf, -1, np.int64)
    nc2 = np.full(nf, -1, np.int64)
    if nf2 > 0:
        face2 = np.frombuffer(data, facets.FACE2, min(nf, nf2), fac2)
        c12[:len(face2)] = face2["c1"]
        nc2[:len(face2)] = face2["nc"]
    walked, textured, vertex_bad, texture_bad = facets.walk(c1, nc, c12, nc2, nq, nq2)
    vertex_failed, texture_failed = vertex_bad.any(), texture_bad.any()
    if not clean and (vertex_failed or texture_failed):
        raise _Failure(BAD_VALUE)
    if vertex_failed:
        walked[vertex_bad] = 0
    if vertex_failed or texture_failed:
        textured[vertex_bad | texture_bad] = 0

    try:
        offsets, corners, uv_corners = _corners(data, pf, nq, pt, nq2, c1, c12, walked, textured)
    except MemoryError:
        # Arrays that grow with the corners of all facets, which the converter
        # never holds at once, are told as the facets' memory.
        raise _Failure(before=1, count=("nf", nf)) from None

    assert len(offsets) == nf + 1 and len(corners) == len(uv_corners) == offsets[-1]
    slots = [bytes(data[mats + MATERIAL_SIZE * i:mats + MATERIAL_SIZE * (i + 1) - 1]).split(b"\0", 1)[0]
             for i in range(nm)]
    return Group(name=name, points=_floats(data, xyz, np_, 3), uvs=_floats(data, uv, nt, 2),
                 facet_offsets=offsets, corners=corners, uv_counts=textured.astype(np.int32),
                 uv_corners=uv_corners, materials=slots,
                 facet_materials=facets.materials_in_force(face["mat"], nm))


def _read_groups(inp, groups, clean):
    facets_done = 0  # in completed groups, summed as a signed 32-bit number
    inp.skip(HEADER_SIZE)
    while True:
        length = inp.int32()
        if inp.eof:
            raise _end_of_file()
        if length == 0:
            inp.skip(TRAILER_SIZE)
            return
        if length < 0 or length > MAX_NAME_LENGTH:
            after = (True, SHORT_FILE) if facets_done == 0 else (False, JUNK)
            raise _Failure(b"# of chars in group name out of range: %d" % length, after=after)
        at = inp.skip(length)
        if at is None:
            raise _end_of_file()
        name = bytes(inp.data[at:at + length]).split(b"\0", 1)[0]
        try:
            group = _read_group(inp, name, clean)
        except _Failure as f:
            if f.count:
                count, value = f.count
                f.message = b"I ran out of store reading %s: %s=%d=0x%08x" % (
                    name, count.encode(), value, value & UINT32_MAX)
            raise
        groups.append(group)
        facets_done = facets.wrap32(facets_done + group.facet_count)


def read(source, clean=False):
    """The groups of an .rsr file: source is a path (str or os.PathLike) or
    the file's bytes (bytes, bytearray, memoryview). Raises RsrError for a
    file the converter refuses; OSError when a path cannot be read.

    clean: as the converter's --clean, a facet whose corners leave the
    vertex index list is read with no corners, and one whose texture
    corners leave the texture index list with none, rather than failing
    the file with "bad value"."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        return _read(source, clean)
    # Read, not mapped: a mapped file that another program cuts short
    # while it is read ends the process (SIGBUS), and Blender with it.
    with open(source, "rb") as f:
        data = f.read()
    return _read(data, clean)


def _read(data, clean):
    groups = []
    try:
        _read_groups(_Input(data), groups, clean)
    except _Failure as f:
        notices = [("farmalloc", True, NO_MEMORY)] * f.before + [(None, True, f.message)]
        if f.after:
            notices.append((None,) + f.after)
        raise RsrError(f.message, groups, notices) from None
    return groups
