"""Hostile and unusual .zip archives for the page's archive checks
(check_archives.mjs holds what each must give):
    python3 hostile_zips.py S.rsr M.rsr OUT_DIR
S and M are two models; each entry below holds one of them. Archives that
zipfile can write are written by it; those whose fields must lie, by
handZip, which writes the fields it is given."""
import io
import os
import struct
import sys
import zipfile
import warnings
import zlib

warnings.filterwarnings("ignore", "Duplicate name")

S, M = (open(p, "rb").read() for p in sys.argv[1:3])
out = sys.argv[3]
os.makedirs(out, exist_ok=True)


def raw(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def plain(path, entries, method=zipfile.ZIP_DEFLATED):
    """entries: [(name, bytes)]; names kept as they are (no NUL cut)."""
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with zipfile.ZipFile(path, "w", method) as z:
        for name, data in entries:
            info = zipfile.ZipInfo("x")
            info.filename = name
            info.compress_type = method
            z.writestr(info, data)


def handZip(path, entries, prefix=b""):
    """entries: dicts of name (bytes), data, and what lies: packed (the
    stored bytes), method, flags, crc, size (64 bits: a zip64 field), at
    (the local header's offset, for records that share one)."""
    body, central = bytearray(), bytearray()
    for e in entries:
        method = e.get("method", 8)
        packed = e.get("packed", raw(e["data"]) if method == 8 else e["data"])
        crc = e.get("crc", zlib.crc32(e["data"]))
        size = e.get("size", len(e["data"]))
        flags = e.get("flags", 0)
        at = e.get("at", len(body))
        far = size >= 0xFFFFFFFF
        extra = struct.pack("<HHQ", 1, 8, size) if far else b""
        small = 0xFFFFFFFF if far else size
        common = struct.pack("<HHHHHIII", 45, flags, method, 0, 0x21, crc, len(packed), small)
        if "at" not in e:
            body += b"PK\3\4" + common + struct.pack("<HH", len(e["name"]), len(extra)) + e["name"] + extra + packed
        central += (b"PK\1\2" + struct.pack("<H", 45) + common + struct.pack("<HHHHHII", len(e["name"]), len(extra), 0, 0, 0, 0, at)
                    + e["name"] + extra)
    end = struct.pack("<4sHHHHIIH", b"PK\5\6", 0, 0, len(entries), len(entries), len(central), len(body), 0)
    with open(path, "wb") as f:
        f.write(prefix + body + central + end)


def zipBytes(entries, method=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in entries:
            z.writestr(name, data)
    return buffer.getvalue()


at = lambda name: os.path.join(out, name)

# Names that would leave the folder, or that some system refuses.
plain(at("slip.zip"), [("../../slip1.rsr", S), ("/abs/slip2.rsr", M), ("C:\\slip3.rsr", S), ("C:slip4.rsr", M),
                       ("a/.. /slip5.rsr", S), ("a/.../slip6.rsr", M)])
plain(at("...zip"), [("dots1.rsr", S)])
plain(at(".zip"), [("dots2.rsr", M)])
plain(at("..zip"), [("s/dots3.rsr", S)])
plain(at("devices.zip"), [("CON.rsr", S), ("aux/nul.rsr", M), ("lpt1.tar.rsr", S), ("q?.rsr", M), ("dir. /x.rsr", S),
                          ("L" * 300 + ".rsr", M)])
plain(at("names.zip"), [("nul\0hidden.rsr", S), ("crlf\r\n.rsr", M), ("tab\t.rsr", S)])
# One entry twice; one archive's name twice; an archive's folder and a folder.
plain(at("twice.zip"), [("twice.rsr", S), ("twice.rsr", M)])
plain(at("twin1/same.zip"), [("same.rsr", S)])
plain(at("twin2/same.zip"), [("same.rsr", M)])
plain(at("p.zip"), [("p.rsr", S)])
plain(at("p.ZIP"), [("p.rsr", M)])
plain(at("qdir/q.zip"), [("a.rsr", S)])
os.makedirs(at("qdir/q"), exist_ok=True)
open(at("qdir/q/a.rsr"), "wb").write(M)
os.makedirs(at("fb/q.obj"), exist_ok=True)
open(at("fb/q.rsr"), "wb").write(S)
open(at("fb/q.obj/x.rsr"), "wb").write(M)

# Names: code page 437 without the UTF-8 flag, UTF-8 with it, and bytes
# under the flag that are no UTF-8.
handZip(at("cp437.zip"), [dict(name=b"caf\x82.rsr", data=S), dict(name=b"caf\x8a.rsr", data=M),
                          dict(name="Café-utf8.rsr".encode(), data=S, flags=0x800),
                          dict(name=b"bad\xff.rsr", data=M, flags=0x800)])

# Fields that lie.
zeros = raw(bytes(12 << 20))
handZip(at("lies.zip"), [
    dict(name=b"fine.rsr", data=S),
    dict(name=b"crc.rsr", data=S, crc=1),
    dict(name=b"more.rsr", data=M, size=1000),
    dict(name=b"less.rsr", data=S, size=len(S) + 1000),
    dict(name=b"stored.rsr", data=S, method=0, size=len(S) - 1),
    dict(name=b"ratio.rsr", data=S, size=2000 * len(raw(S))),
    dict(name=b"secret.rsr", data=S, flags=1),
    dict(name=b"bzip.rsr", data=S, method=12),
    dict(name=b"huge.rsr", data=bytes(12 << 20), packed=zeros, size=2**32 + 16),
])
# Twelve records of one stream.
handZip(at("overlap.zip"), [dict(name=b"o00.rsr", data=S)] + [dict(name=b"o%02d.rsr" % k, data=S, at=0) for k in range(1, 12)])
# Entries that pass each check alone, and together would inflate past
# 4 GiB: each a stream that ends at once, in stored bytes enough for its
# size; the last is past the bound and not read.
junk = raw(b"") + bytes(1600 << 10)
handZip(at("bound.zip"), [dict(name=b"b%d.rsr" % k, data=b"", packed=junk, size=1600 << 20) for k in range(3)])
# A directory cut short.
handZip(at("cutdir.zip"), [dict(name=b"c.rsr", data=S)])
with open(at("cutdir.zip"), "r+b") as f:
    f.seek(-12, 2)
    f.write(struct.pack("<H", 2))  # two records, where it holds one
# Data descriptors and zip64 records, as a zip written to a stream has.
class Stream(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open(at("streamed.zip"), "wb") as f, zipfile.ZipFile(Stream(f), "w", zipfile.ZIP_DEFLATED) as z:
    for name, data in [("streamed1.rsr", S), ("streamed2.rsr", M)]:
        with z.open(name, "w", force_zip64=True) as w:
            w.write(data)

# A self-extracting archive: a program's bytes before the zip, whose
# offsets count from the zip's start.
handZip(at("sfx.zip"), [dict(name=b"sfx1.rsr", data=S), dict(name=b"sfx2.rsr", data=M)], prefix=os.urandom(3000))
# A bundle: zips in zips, deflated and stored, one damaged, and a chain
# that goes one deeper than the page reads.
chain = zipBytes([("level.rsr", M)])
for k in range(8, 1, -1):
    chain = zipBytes([("level.rsr", S if k % 2 else M), ("d%d.zip" % k, chain)])
inner = zipBytes([("b2.rsr", M)], zipfile.ZIP_STORED)
with zipfile.ZipFile(at("bundle.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("one.zip", zipBytes([("b1.rsr", S), ("deeper.zip", inner)]))
    z.writestr(zipfile.ZipInfo("two.zip"), zipBytes([("b3.rsr", M)]))  # stored in the bundle
    z.writestr("broken.zip", b"PK\5\6 not a zip")
    z.writestr("d1.zip", chain)
    z.writestr("readme.txt", b"a bundle")
