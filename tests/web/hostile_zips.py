"""Hostile and unusual archives for check_archives.mjs, which holds what each
gives: python3 hostile_zips.py S.rsr M.rsr DIR (each entry holds S or M).
zipfile writes what it can; hand(), the archives whose fields must lie."""
import io, os, struct, sys, warnings, zipfile, zlib

warnings.filterwarnings("ignore", "Duplicate name")
S, M = (open(p, "rb").read() for p in sys.argv[1:3])
os.chdir(os.makedirs(sys.argv[3], exist_ok=True) or sys.argv[3])
deflate = lambda data: (lambda c: c.compress(data) + c.flush())(zlib.compressobj(9, zlib.DEFLATED, -15))
put = lambda path, data: (os.makedirs(os.path.dirname(path) or ".", exist_ok=True), open(path, "wb").write(data))


def zipped(entries, path=None):
    """entries: (name, bytes[, method]), names kept whole (a NUL too)."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        for name, data, *method in entries:
            info = zipfile.ZipInfo("x")
            info.filename, info.compress_type = name, (method or [zipfile.ZIP_DEFLATED])[0]
            z.writestr(info, data)
    return put(path, buffer.getvalue()) if path else buffer.getvalue()


def hand(path, entries, more=0):
    """entries: dicts of name (bytes), data and what lies: packed (stored bytes), method, flags, crc, size
    (from 2^32 in a zip64 field), at (another's local header); more: records the end claims beyond these."""
    body, central = bytearray(), bytearray()
    for e in entries:
        method, size = e.get("method", 8), e.get("size", len(e["data"]))
        packed = e.get("packed", deflate(e["data"]) if method == 8 else e["data"])
        extra = (struct.pack("<HHQ", 1, 8, size) if size >= 2**32 else b"") + e.get("extra", b"")
        common = struct.pack("<HHHHHIIIHH", 45, e.get("flags", 0), method, 0, 0x21, e.get("crc", zlib.crc32(e["data"])), len(packed),
                             min(size, 0xFFFFFFFF), len(e["name"]), len(extra))
        central += b"PK\1\2\55\0" + common + struct.pack("<HHHII", 0, 0, 0, 0, e.get("at", len(body))) + e["name"] + extra
        body += b"" if "at" in e else b"PK\3\4" + common + e["name"] + extra + packed
    put(path, body + central + struct.pack("<4s4H2IH", b"PK\5\6", 0, 0, len(entries) + more, len(entries) + more, len(central), len(body), 0))


# Names that leave the folder or some system refuses; one entry twice, one archive name twice, a file beside its output's folder.
for path, entries in (("slip.zip", [("../../slip1.rsr", S), ("/abs/slip2.rsr", M), ("C:\\slip3.rsr", S), ("C:slip4.rsr", M),
                                    ("a/.. /slip5.rsr", S), ("a/.../slip6.rsr", M)]),
                      ("...zip", [("dots1.rsr", S)]), (".zip", [("dots2.rsr", M)]), ("..zip", [("s/dots3.rsr", S)]),
                      ("devices.zip", [("CON.rsr", S), ("aux/nul.rsr", M), ("lpt1.tar.rsr", S), ("q?.rsr", M), ("dir. /x.rsr", S), ("L" * 300 + ".rsr", M)]),
                      ("names.zip", [("nul\0hidden.rsr", S), ("crlf\r\n.rsr", M), ("tab\t.rsr", S)]), ("twice.zip", [("twice.rsr", S), ("twice.rsr", M)]),
                      ("p.zip", [("p.rsr", S)]), ("p.ZIP", [("p.rsr", M)])):
    zipped(entries, path)
[put(path, data) for path, data in (("fb/q.rsr", S), ("fb/q.obj/x.rsr", M), ("notes.zip", b"not an archive"))]
# Code page 437 without the UTF-8 flag, UTF-8 with it, and no UTF-8 under it.
# And a name in code page 852 with its UTF-8 form in an extra field, as WinZip writes it.
hand("cp437.zip", [dict(name=b"caf\x82.rsr", data=S), dict(name=b"caf\x8a.rsr", data=M),
                   dict(name="Café-utf8.rsr".encode(), data=S, flags=0x800), dict(name=b"bad\xff.rsr", data=M, flags=0x800),
                   dict(name=b"\x9d\xa2d\xab.rsr", data=S, extra=struct.pack("<HHBI", 0x7075, 5 + len("Łódź.rsr".encode()), 1,
                                                                             zlib.crc32(b"\x9d\xa2d\xab.rsr")) + "Łódź.rsr".encode())])
# Fields that lie; twelve records of one stream; entries fine alone that together inflate past 4 GiB (streams that end at once,
# in stored bytes enough for their sizes); a directory cut short; a bomb.
hand("lies.zip", [dict(name=b"fine.rsr", data=S), dict(name=b"crc.rsr", data=S, crc=1), dict(name=b"more.rsr", data=M, size=1000),
                  dict(name=b"less.rsr", data=S, size=len(S) + 1000), dict(name=b"stored.rsr", data=S, method=0, size=len(S) - 1),
                  dict(name=b"ratio.rsr", data=S, size=2000 * len(deflate(S))), dict(name=b"secret.rsr", data=S, flags=1),
                  dict(name=b"bzip.rsr", data=S, method=12), dict(name=b"huge.rsr", data=b"", packed=deflate(bytes(12 << 20)), size=2**32 + 16)])
hand("overlap.zip", [dict(name=b"o00.rsr", data=S)] + [dict(name=b"o%02d.rsr" % k, data=S, at=0) for k in range(1, 12)])
hand("bound.zip", [dict(name=b"b%d.rsr" % k, data=b"", packed=deflate(b"") + bytes(1600 << 10), size=1600 << 20) for k in range(3)])
hand("cutdir.zip", [dict(name=b"c.rsr", data=S)], more=1)
# Bombs of 640 MiB of zeros: an entry, and an inner zip (a small model beside a stored file of zeros), written as streams.
with zipfile.ZipFile("zeros.zip", "w", zipfile.ZIP_DEFLATED) as z, z.open("zeros.rsr", "w") as w:
    [w.write(bytes(1 << 20)) for _ in range(640)]
with zipfile.ZipFile("zeros-inner.zip", "w", zipfile.ZIP_DEFLATED) as z, z.open("inner.zip", "w", force_zip64=True) as w:
    with zipfile.ZipFile(w, "w") as inner:
        inner.writestr("s.rsr", S)
        with inner.open("zeros.bin", "w", force_zip64=True) as e:
            [e.write(bytes(1 << 20)) for _ in range(640)]
# A self-extracting archive (a program, then a zip whose offsets count from its start); a bundle of zips in zips, deflated and
# stored, one damaged, and a chain one deeper than the page reads.
put("sfx.zip", os.urandom(3000) + zipped([("sfx1.rsr", S), ("sfx2.rsr", M)]))
chain = zipped([("level.rsr", M)])
for k in range(8, 1, -1):
    chain = zipped([("level.rsr", S if k % 2 else M), ("d%d.zip" % k, chain)])
zipped([("one.zip", zipped([("b1.rsr", S), ("deeper.zip", zipped([("b2.rsr", M, zipfile.ZIP_STORED)]))])),
        ("two.zip", zipped([("b3.rsr", M)]), zipfile.ZIP_STORED), ("broken.zip", b"PK\5\6 not a zip"), ("d1.zip", chain),
        ("readme.txt", b"a bundle")], "bundle.zip")
