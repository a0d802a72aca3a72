#!/usr/bin/python3
"""Runs a freedesktop thumbnailer as a file manager runs it, and checks its picture.

Reads the [Thumbnailer Entry] of THUMBNAILER, checks that its TryExec is on
the PATH and its MimeType names TYPE, splits its Exec line into words as
GNOME does (g_shell_parse_argv, after shell-quoting each value), puts SIZE for
%s, INPUT (with --uri as a file:// URI) for %i or %u, OUTPUT for %o, runs it
and prints the picture's "WIDTH x HEIGHT" when OUTPUT is a whole PNG file:
signature, every chunk's CRC, IHDR, IDAT inflating to the rows IHDR asks for,
IEND. Otherwise prints what is wrong.

usage: run_thumbnailer.py [--uri] THUMBNAILER TYPE INPUT SIZE OUTPUT
"""
import configparser
import pathlib
import re
import shlex
import shutil
import struct
import subprocess
import sys
import zlib


def png_size(path):
    data = pathlib.Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return "not a PNG file"
    at, chunks, idat = 8, [], b""
    while at + 12 <= len(data):
        n, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + n]
        if len(body) != n or zlib.crc32(kind + body) != struct.unpack(">I", data[at + 8 + n:at + 12 + n])[0]:
            return f"chunk {kind!r} is cut short or fails its CRC"
        chunks.append((kind, body))
        idat += body if kind == b"IDAT" else b""
        at += 12 + n
    if not chunks or chunks[0][0] != b"IHDR" or chunks[-1][0] != b"IEND" or at != len(data):
        return "no IHDR first, or no IEND last"
    width, height, depth, colour = struct.unpack(">IIBB", chunks[0][1][:10])
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    if len(zlib.decompress(idat)) != height * (1 + (width * channels * depth + 7) // 8):
        return "IDAT does not hold the rows IHDR asks for"
    return f"{width} x {height}"


def main(argv):
    uri = argv[:1] == ["--uri"]
    thumbnailer, mime_type, source, size, output = argv[1:] if uri else argv
    entry = configparser.ConfigParser(interpolation=None)
    entry.read(thumbnailer)
    entry = entry["Thumbnailer Entry"]
    if not shutil.which(entry["TryExec"]):
        return f"TryExec {entry['TryExec']} is not on the PATH"
    if mime_type not in entry["MimeType"].split(";"):
        return f"MimeType {entry['MimeType']} does not name {mime_type}"
    source = pathlib.Path(source).absolute().as_uri() if uri else source
    values = {"%s": size, "%i": source, "%u": source, "%o": output, "%%": "%"}
    command = re.sub("%.", lambda m: shlex.quote(values[m[0]]), entry["Exec"])
    done = subprocess.run(shlex.split(command), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if not pathlib.Path(output).exists():
        return f"no picture; exit status {done.returncode}: {done.stdout.strip()}"
    return png_size(output)


if __name__ == "__main__":
    print(main(sys.argv[1:]))
