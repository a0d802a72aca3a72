#!/usr/bin/python3
"""Runs a freedesktop thumbnailer as a file manager does; prints its picture's size.

Checks THUMBNAILER's TryExec is on the PATH and its MimeType names TYPE, puts
SIZE for %s, INPUT (a file:// URI with --uri) for %i, OUTPUT for %o into its
Exec line, each value shell-quoted and the line split as GNOME splits it, runs
it, and prints "WIDTH x HEIGHT" when OUTPUT is a whole PNG (every chunk's CRC,
IHDR first, IDAT inflating to IHDR's rows, IEND last), else what is wrong.

usage: run_thumbnailer.py [--uri] THUMBNAILER TYPE INPUT SIZE OUTPUT
"""
import configparser, pathlib, re, shlex, shutil, struct, subprocess, sys, zlib


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return "not a PNG file"
    at, chunks = 8, []
    while at < len(data):
        n, kind = struct.unpack(">I4s", data[at:at + 8])
        body, crc = data[at + 8:at + 8 + n], data[at + 8 + n:at + 12 + n]
        if len(crc) != 4 or zlib.crc32(kind + body) != struct.unpack(">I", crc)[0]:
            return f"chunk {kind!r} is cut short or fails its CRC"
        chunks.append((kind, body))
        at += 12 + n
    if [chunks[0][0], chunks[-1][0]] != [b"IHDR", b"IEND"]:
        return "no IHDR first, or no IEND last"
    width, height, depth, colour = struct.unpack(">IIBB", chunks[0][1][:10])
    bits = width * depth * {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    if len(zlib.decompress(b"".join(b for k, b in chunks if k == b"IDAT"))) != height * (1 + (bits + 7) // 8):
        return "IDAT does not hold IHDR's rows"
    return f"{width} x {height}"


def main(argv):
    uri = argv[0] == "--uri"
    thumbnailer, mime_type, source, size, output = argv[uri:]
    entry = configparser.ConfigParser(interpolation=None)
    entry.read(thumbnailer)
    entry = entry["Thumbnailer Entry"]
    if not shutil.which(entry["TryExec"]):
        return f"TryExec {entry['TryExec']} is not on the PATH"
    if mime_type not in entry["MimeType"].split(";"):
        return f"MimeType {entry['MimeType']} does not name {mime_type}"
    values = {"%s": size, "%i": pathlib.Path(source).absolute().as_uri() if uri else source, "%o": output}
    done = subprocess.run(shlex.split(re.sub("%.", lambda m: shlex.quote(values[m[0]]), entry["Exec"])),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if not pathlib.Path(output).exists():
        return f"no picture; exit status {done.returncode}: {done.stdout.strip()}"
    return png_size(pathlib.Path(output).read_bytes())


if __name__ == "__main__":
    print(main(sys.argv[1:]))
