"""Material names and colours as quarlen's --mtl writes them: a name made
safe for OBJ readers, and a diffuse colour by the order in which a file's
facets first use each name."""
import codecs

# Twelve colours far apart, for the few materials most models have.
PALETTE = [
    (228, 26, 28), (55, 126, 184), (77, 175, 74), (152, 78, 163),
    (255, 127, 0), (255, 255, 51), (166, 86, 40), (247, 129, 191),
    (153, 153, 153), (102, 194, 165), (252, 141, 98), (141, 160, 203),
]


def _spread(i):
    # A bijection of the 24-bit colours: multiplying by an odd number.
    return (i * 2654435761) & 0xFFFFFF


def _packed(c):
    return c[0] << 16 | c[1] << 8 | c[2]


def colour(i):
    """The i-th material's colour as 8-bit red, green, blue: the palette
    first, then spread(i); where that is a palette colour, spread of that
    colour's own index."""
    if i < len(PALETTE):
        return PALETTE[i]
    c = _spread(i)
    for m, p in enumerate(PALETTE):
        if c == _packed(p):
            c = _spread(m)
    return (c >> 16, (c >> 8) & 0xFF, c & 0xFF)


def _reads_as_number(s):
    body = s[1:] if s[:1] in (b"+", b"-") else s
    whole, dot, fraction = body.partition(b".")
    return whole.isdigit() and (not dot or fraction.isdigit())


def safe_bytes(stored, material):
    """stored (bytes) with every space, tab or control byte as '_',
    "unnamed" when empty, and '_' before a material name that reads as a
    number. Two names are one material when these bytes are the same."""
    if not stored:
        return b"unnamed"
    safe = bytes(b if 0x20 < b != 0x7F else 0x5F for b in stored)
    return b"_" + safe if material and _reads_as_number(stored) else safe


# A byte that begins no well-formed UTF-8 sequence, read as Latin-1 alone.
codecs.register_error("quarlen-latin1", lambda e: (chr(e.object[e.start]), e.start + 1))


def text(name):
    """A name's bytes as text, as quarlen's GLB names them: UTF-8 where it
    is well formed, each other byte read as Latin-1 (old files' names are
    often Latin-1)."""
    return name.decode("utf-8", "quarlen-latin1")


def safe_name(stored, material):
    """safe_bytes(stored, material) as text."""
    return text(safe_bytes(stored, material))
