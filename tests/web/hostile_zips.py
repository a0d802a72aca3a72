"""Hostile and unusual .zip archives for check_archives.mjs, which holds
what each must give:   python3 hostile_zips.py S.rsr M.rsr OUT_DIR
Each entry holds the model S or M. zipfile writes what it can; hand()
writes the archives whose fields must lie."""
import io, os, struct, sys, warnings, zipfile, zlib

warnings.filterwarnings("ignore", "Duplicate name")
S, M = (open(p, "rb").read() for p in sys.argv[1:3])
os.makedirs(sys.argv[3], exist_ok=True)
os.chdir(sys.argv[3])


deflate = lambda data: (lambda c: c.compress(data) + c.flush())(zlib.compressobj(9, zlib.DEFLATED, -15))


def put(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    open(path, "wb").write(data)


def zipped(entries, path=None, fp=None):
    """entries: (name, bytes[, method]); names kept whole (a NUL too)."""
    buffer = fp or io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data, *method in entries:
            info = zipfile.ZipInfo("x")
            info.filename, info.compress_type = name, (method or [zipfile.ZIP_DEFLATED])[0]
            with z.open(info, "w", force_zip64=fp is not None) as w:
                w.write(data)
    if path:
        put(path, buffer.getvalue())
    return fp or buffer.getvalue()


def hand(path, entries, prefix=b""):
    """entries: dicts of name (bytes), data, and what lies: packed (the
    stored bytes), method, flags, crc, size (from 2^32: in a zip64 field),
    at (the local header of another record, which then has none); of the
    last, more: records the end says the directory holds beyond these."""
    body, central = bytearray(), bytearray()
    for e in entries:
        method, size = e.get("method", 8), e.get("size", len(e["data"]))
        packed = e.get("packed", deflate(e["data"]) if method == 8 else e["data"])
        extra = struct.pack("<HHQ", 1, 8, size) if size >= 2**32 else b""
        common = struct.pack("<HHHHHIII", 45, e.get("flags", 0), method, 0, 0x21, e.get("crc", zlib.crc32(e["data"])),
                             len(packed), min(size, 0xFFFFFFFF)) + struct.pack("<HH", len(e["name"]), len(extra))
        central += b"PK\1\2\55\0" + common + struct.pack("<HHHII", 0, 0, 0, 0, e.get("at", len(body))) + e["name"] + extra
        if "at" not in e:
            body += b"PK\3\4" + common + e["name"] + extra + packed
    count = len(entries) + e.get("more", 0)
    put(path, prefix + body + central + struct.pack("<4s4H2IH", b"PK\5\6", 0, 0, count, count, len(central), len(body), 0))


# Names that would leave the folder, or that some system refuses or cuts.
zipped([("../../slip1.rsr", S), ("/abs/slip2.rsr", M), ("C:\\slip3.rsr", S), ("C:slip4.rsr", M),
        ("a/.. /slip5.rsr", S), ("a/.../slip6.rsr", M)], "slip.zip")
for name, entry in (("...zip", ("dots1.rsr", S)), (".zip", ("dots2.rsr", M)), ("..zip", ("s/dots3.rsr", S))):
    zipped([entry], name)
zipped([("CON.rsr", S), ("aux/nul.rsr", M), ("lpt1.tar.rsr", S), ("q?.rsr", M), ("dir. /x.rsr", S), ("L" * 300 + ".rsr", M)],
       "devices.zip")
zipped([("nul\0hidden.rsr", S), ("crlf\r\n.rsr", M), ("tab\t.rsr", S)], "names.zip")
# One entry twice; one archive's name twice; an archive beside its folder;
# a file beside a folder of its output's name.
zipped([("twice.rsr", S), ("twice.rsr", M)], "twice.zip")
for path, model in (("twin1/same.zip", S), ("twin2/same.zip", M), ("p.zip", S), ("p.ZIP", M)):
    zipped([(path.split("/")[-1][:-4] + ".rsr", model)], path)
zipped([("a.rsr", S)], "qdir/q.zip")
for path, model in (("qdir/q/a.rsr", M), ("fb/q.rsr", S), ("fb/q.obj/x.rsr", M)):
    put(path, model)
# Code page 437 without the UTF-8 flag, UTF-8 with it, and no UTF-8 under it.
hand("cp437.zip", [dict(name=b"caf\x82.rsr", data=S), dict(name=b"caf\x8a.rsr", data=M),
                   dict(name="Café-utf8.rsr".encode(), data=S, flags=0x800), dict(name=b"bad\xff.rsr", data=M, flags=0x800)])
# Fields that lie; twelve records of one stream; entries that pass each
# check alone and together would inflate past 4 GiB (streams that end at
# once, in stored bytes enough for their sizes); a directory cut short.
hand("lies.zip", [dict(name=b"fine.rsr", data=S), dict(name=b"crc.rsr", data=S, crc=1), dict(name=b"more.rsr", data=M, size=1000),
                  dict(name=b"less.rsr", data=S, size=len(S) + 1000), dict(name=b"stored.rsr", data=S, method=0, size=len(S) - 1),
                  dict(name=b"ratio.rsr", data=S, size=2000 * len(deflate(S))), dict(name=b"secret.rsr", data=S, flags=1),
                  dict(name=b"bzip.rsr", data=S, method=12),
                  dict(name=b"huge.rsr", data=b"", packed=deflate(bytes(12 << 20)), size=2**32 + 16)])
hand("overlap.zip", [dict(name=b"o00.rsr", data=S)] + [dict(name=b"o%02d.rsr" % k, data=S, at=0) for k in range(1, 12)])
hand("bound.zip", [dict(name=b"b%d.rsr" % k, data=b"", packed=deflate(b"") + bytes(1600 << 10), size=1600 << 20) for k in range(3)])
hand("cutdir.zip", [dict(name=b"c.rsr", data=S, more=1)])
# Data descriptors and zip64 records, as a zip written to a stream has.
with open("streamed.zip", "wb") as f:
    zipped([("streamed1.rsr", S), ("streamed2.rsr", M)], fp=type("Stream", (io.RawIOBase,), dict(writable=lambda s: True, write=lambda s, b: f.write(b)))())
# A self-extracting archive: a program before the zip, whose offsets count
# from the zip's start; a bundle of zips in zips, deflated and stored, one
# damaged, and a chain that goes one deeper than the page reads.
hand("sfx.zip", [dict(name=b"sfx1.rsr", data=S), dict(name=b"sfx2.rsr", data=M)], prefix=os.urandom(3000))
chain = zipped([("level.rsr", M)])
for k in range(8, 1, -1):
    chain = zipped([("level.rsr", S if k % 2 else M), ("d%d.zip" % k, chain)])
zipped([("one.zip", zipped([("b1.rsr", S), ("deeper.zip", zipped([("b2.rsr", M, zipfile.ZIP_STORED)]))])),
        ("two.zip", zipped([("b3.rsr", M)]), zipfile.ZIP_STORED), ("broken.zip", b"PK\5\6 not a zip"), ("d1.zip", chain),
        ("readme.txt", b"a bundle")], "bundle.zip")
