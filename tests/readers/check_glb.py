#!/usr/bin/python3
"""GLB output (--glb) against the Khronos glTF validator and readers written
elsewhere: three.js's GLTFLoader under Node, Blender's glTF importer, assimp
and F3D.

Models: the generated odd models of the reader checks, the bundled sample,
the sample with a group name that is not UTF-8, one large group (32-bit
indices) and odd models cut short (a failed run still writes a whole file).
For each GLB:
- the validator reports no error and no warning;
- the file holds what the model means: its node names are the group names as
  UTF-8 (bytes that are not UTF-8 read as Latin-1), its triangles (position
  triples and texture coordinates, with their material's colour) are those
  of the OBJ output of --clean --mtl --triangulate --scale 2.62128 --exact,
  group by group;
- each reader finds the nodes, meshes, triangles and names the file holds.

usage: check_glb.py [--installed-only] CONVERT MODEL_WRITER BENCH SAMPLE WORKDIR [COUNT]
  --installed-only  install nothing: the readers that are not installed (and
                the JavaScript ones without tests/readers/glb/node_modules)
                are left out and named, and so is the large group (its
                32-bit indices: test_glb.cpp); the file checks always run
                (ctest)
  CONVERT       quarlen_convert_opts (several IN OUT pairs, the console
                program's output options)
  BENCH         quarlen_bench, which writes the large model
  COUNT         odd models (default 300, or $READER_MODELS)
Node and npm are installed on demand (apt-get), the JavaScript readers with
npm ci from tests/readers/glb/package-lock.json.
"""
import codecs
import concurrent.futures
import contextlib
import html
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_options import Xvfb, fail, finish, install_on_demand, read_expected  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
JS = os.path.join(HERE, "glb")
OBJ_OPTIONS = ["--clean", "--mtl", "--triangulate", "--scale", "2.62128", "--exact"]


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


# Bytes that do not begin a well-formed UTF-8 sequence are read as Latin-1.
codecs.register_error("latin1", lambda e: (e.object[e.start:e.start + 1].decode("latin-1"), e.start + 1))


def utf8_name(raw):
    return raw.split(b"\0")[0].decode("utf-8", errors="latin1")




# --- reading a GLB and an OBJ ----------------------------------------------

COMPONENTS = {5126: "f", 5123: "H", 5125: "I"}
WIDTH = {"SCALAR": 1, "VEC2": 2, "VEC3": 3}


def read_glb(path):
    """The JSON part and, per node, its name and its triangles: each a tuple
    of three corners (position triple, texture pair or None) and the
    material's base colour (None without a material)."""
    data = open(path, "rb").read()
    magic, version, length = struct.unpack_from("<4sII", data)
    assert (magic, version, length) == (b"glTF", 2, len(data)), (magic, version, length, len(data))
    jlen, jtype = struct.unpack_from("<I4s", data, 12)
    assert jtype == b"JSON"
    doc = json.loads(data[20:20 + jlen])
    binary = b""
    if 20 + jlen < len(data):
        blen, btype = struct.unpack_from("<I4s", data, 20 + jlen)
        assert btype == b"BIN\0"
        binary = data[28 + jlen:28 + jlen + blen]

    def values(index):
        a = doc["accessors"][index]
        view = doc["bufferViews"][a["bufferView"]]
        n = a["count"] * WIDTH[a["type"]]
        flat = struct.unpack_from("<%d%s" % (n, COMPONENTS[a["componentType"]]), binary, view["byteOffset"])
        w = WIDTH[a["type"]]
        return flat if w == 1 else [flat[i:i + w] for i in range(0, n, w)]

    nodes = []
    for node in doc.get("nodes", []):
        triangles, primitives = [], []
        for p in doc["meshes"][node["mesh"]]["primitives"] if "mesh" in node else []:
            pos = values(p["attributes"]["POSITION"])
            uv = values(p["attributes"]["TEXCOORD_0"]) if "TEXCOORD_0" in p["attributes"] else None
            idx = values(p["indices"])
            colour = None
            if "material" in p:
                colour = tuple(doc["materials"][p["material"]]["pbrMetallicRoughness"]["baseColorFactor"][:3])
            tris = [idx[i:i + 3] for i in range(0, len(idx), 3)]
            primitives.append(tris)
            for t in tris:
                triangles.append((tuple((pos[k], uv[k] if uv else None) for k in t), colour))
        nodes.append({"name": node.get("name", ""), "triangles": triangles, "primitives": primitives})
    return doc, nodes


def read_obj(path):
    """Per "g" line, the triangles as read_glb gives them; positions and
    texture coordinates as floats, V turned to glTF's (1 - v), colours from
    the material file. A group's facets before its first "usemtl" have no
    material."""
    kd = {}
    mtl = path[:-4] + ".mtl"
    if os.path.exists(mtl):
        name = None
        for line in open(mtl, encoding="utf-8", errors="surrogateescape"):
            w = line.split()
            if w and w[0] == "newmtl":
                name = w[1]
            elif w and w[0] == "Kd":
                kd[name] = tuple(float(x) for x in w[1:4])
    v, vt, groups = [], [], []
    material = None
    for line in open(path, "rb"):
        w = line.split()
        if not w:
            continue
        if w[0] == b"v":
            v.append(tuple(f32(float(x)) for x in w[1:4]))
        elif w[0] == b"vt":
            vt.append((f32(float(w[1])), f32(1.0 - f32(float(w[2])))))
        elif w[0] == b"g":
            groups.append([])
            material = None
        elif w[0] == b"usemtl":
            material = kd[w[1].decode("utf-8", errors="surrogateescape")]
        elif w[0] == b"f":
            corners = []
            for c in w[1:]:
                parts = c.split(b"/")
                corners.append((v[int(parts[0]) - 1], vt[int(parts[1]) - 1] if len(parts) > 1 else None))
            groups[-1].append((tuple(corners), material))
    return groups


def same_triangles(glb, obj):
    """Equal as multisets, colours to the .mtl file's 3 decimals."""
    def key(t):
        corners, colour = t
        return (corners, tuple(round(c, 3) for c in colour) if colour else None)
    a, b = sorted(map(key, glb), key=repr), sorted(map(key, obj), key=repr)
    if len(a) != len(b):
        return False
    for (ca, ka), (cb, kb) in zip(a, b):
        if ca != cb or (ka is None) != (kb is None) or (ka and max(abs(x - y) for x, y in zip(ka, kb)) > 0.0011):
            return False
    return True


def same_name(got, want, unique):
    """A reader's name for a node: the name, perhaps with the suffix the
    reader adds to make names unique; any name for a node without one, for
    which readers make one up."""
    return not want or got == want or re.fullmatch(re.escape(want) + unique, got) is not None


def blender_polygons(node):
    """Blender's importer removes triangles with a repeated vertex and
    repeats of a triangle (mesh.validate)."""
    n = 0
    for tris in node["primitives"]:
        n += len({tuple(sorted(t)) for t in tris if len(set(t)) == 3})
    return n


# --- the readers ------------------------------------------------------------

BLENDER_SCRIPT = r"""
import bpy, json, sys
import numpy
numpy.bool = numpy.bool_  # Blender 3.4's importer still uses the alias newer numpy removed
for path in sys.argv[sys.argv.index('--') + 1:]:
    bpy.ops.wm.read_factory_settings(use_empty=True)
    r = bpy.ops.import_scene.gltf(filepath=path)
    objs = [(o.name, o.type, len(o.data.polygons) if o.type == 'MESH' else 0) for o in bpy.data.objects]
    print('RESULT ' + json.dumps({'file': path, 'result': sorted(r), 'objects': objs}), flush=True)
"""


def run_blender(files, work):
    script = os.path.join(work, "import_glb.py")
    with open(script, "w") as f:
        f.write(BLENDER_SCRIPT)
    r = subprocess.run(["blender", "-b", "--factory-startup", "--python", script, "--"] + files,
                       capture_output=True, text=True, errors="replace", timeout=3600)
    found = {}
    for line in r.stdout.splitlines():
        if line.startswith("RESULT "):
            d = json.loads(line[7:])
            found[d["file"]] = d
    if r.returncode != 0 or len(found) != len(files):
        fail(f"blender exit status {r.returncode}, {len(found)} of {len(files)} files read: {r.stderr[-800:]}")
    return found


def f3d_polygons(path):
    r = subprocess.run(["f3d", "--verbose", "--no-render", path], capture_output=True, text=True, errors="replace",
                       timeout=120)
    out = re.sub(r"\x1b\[[0-9;]*m", "", r.stdout + r.stderr)
    said = [l for l in out.splitlines() if re.match(r"\s*(ERROR|Warning|Generic Warning)", l)]
    return r.returncode, said, sum(int(n) for n in re.findall(r"Number of polygons: (\d+)", out))


def assimp_read(path, work):
    info = subprocess.run(["assimp", "info", path], capture_output=True, text=True, errors="replace")
    faces = re.search(r"^Faces:\s+(\d+)", info.stdout, re.M)
    xml = os.path.join(work, os.path.basename(path) + ".assxml")
    dump = subprocess.run(["assimp", "dump", path, xml, "-l"], capture_output=True, text=True, errors="replace")
    said = [l for l in (info.stdout + info.stderr + dump.stdout + dump.stderr).splitlines()
            if re.match(r"(ERROR|Warn|Error)", l)]
    names = []
    if os.path.exists(xml):
        text = open(xml, encoding="utf-8", errors="replace").read()
        names = [html.unescape(n) for n in re.findall(r'<Node name="([^"]*)"', text, re.S)]
        # A scene of one node has it as its root; else the root is ROOT.
        names = names[1:] if names[:1] == ["ROOT"] else names
    return info.returncode, said, int(faces.group(1)) if faces else None, names


# --- the check --------------------------------------------------------------

def convert(converter, pairs, options):
    args = [converter] + options
    for rsr, out in pairs:
        args += [rsr, out]
    return subprocess.run(args, capture_output=True, text=True, errors="replace")


def models(writer, bench, sample, work, count, big=True):
    """Returns [(name, rsr, group names or None, complete)]; the large group
    only with `big`."""
    d = os.path.join(work, "models")
    os.makedirs(d)
    subprocess.run([writer, "odd", "1", str(count), d], check=True)
    out = []
    for i in range(1, count + 1):
        base = os.path.join(d, f"odd-{i}")
        names = [bytes.fromhex(h) for h in read_expected(base + ".expected")["group"]]
        out.append((f"odd-{i}", base + ".rsr", names, True))
    data = open(sample, "rb").read()
    out.append(("sample", sample, None, True))
    # A group name that is not UTF-8: "roof" with an o-umlaut in Latin-1.
    at = data.index(b"\0\0\0\x04roof")
    latin1 = os.path.join(d, "latin1.rsr")
    open(latin1, "wb").write(data[:at + 5] + b"\xf6" + data[at + 6:])
    out.append(("latin1", latin1, None, True))
    if big:
        path = os.path.join(d, "big.rsr")
        subprocess.run([bench, "--model", path, "1", "150000"], check=True)
        out.append(("big", path, None, True))
    for i in range(1, 11):
        whole = open(os.path.join(d, f"odd-{i}.rsr"), "rb").read()
        cut = os.path.join(d, f"cut-{i}.rsr")
        open(cut, "wb").write(whole[:len(whole) * 3 // 5])
        out.append((f"cut-{i}", cut, None, False))
    return out


def main():
    args = [a for a in sys.argv[1:] if a != "--installed-only"]
    installed_only = len(args) < len(sys.argv) - 1
    converter, writer, bench, sample, work = args[:5]
    work = os.path.abspath(work)
    count = int(args[5]) if len(args) > 5 else int(os.environ.get("READER_MODELS", "300"))
    t_start = time.time()
    if not installed_only:
        install_on_demand((("nodejs", "node"), ("npm", "npm")))
        subprocess.run(["npm", "ci", "--no-audit", "--no-fund", "--silent"], cwd=JS, check=True)
    has = {name: shutil.which(name) is not None for name in ("node", "assimp", "f3d", "Xvfb", "blender")}
    has["node"] = has["node"] and os.path.isdir(os.path.join(JS, "node_modules"))
    left_out = [name for name, there in has.items() if not there]
    if left_out:
        print("left out, not installed: " + ", ".join(left_out))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    cases = models(writer, bench, sample, work, count, big=not installed_only)
    glbs = {name: os.path.join(work, name + ".glb") for name, *_ in cases}
    objs = {name: os.path.join(work, name + ".obj") for name, *_ in cases}

    # Each conversion alone, so that a cut model's failure is its own.
    for name, rsr, _, complete in cases:
        r = convert(converter, [(rsr, glbs[name])], ["--glb"])
        if r.returncode != (0 if complete else 1):
            fail(f"{name}: --glb exit status {r.returncode}: {r.stderr[-300:]}")
    r = convert(converter, [(rsr, objs[name]) for name, rsr, _, complete in cases if complete], OBJ_OPTIONS)
    if r.returncode != 0:
        fail(f"--clean --mtl --triangulate: exit status {r.returncode}: {r.stderr[-300:]}")

    # The validator.
    v = None if not has["node"] else subprocess.run(["node", os.path.join(JS, "validate.mjs")] + list(glbs.values()), capture_output=True,
                       text=True, check=True)
    judged = 0 if v else len(glbs)
    for line in v.stdout.splitlines() if v else []:
        d = json.loads(line)
        judged += 1
        if d["errors"] or d["warnings"]:
            fail(f"validator on {d['file']}: {d['errors']} errors, {d['warnings']} warnings: {d['messages']}")
    if judged != len(glbs):
        fail(f"the validator judged {judged} of {len(glbs)} files")

    # The files against the models and the OBJ path.
    files = {}
    for name, rsr, names, complete in cases:
        doc, nodes = read_glb(glbs[name])
        files[name] = nodes
        if names is not None and [n["name"] for n in nodes] != [utf8_name(n) for n in names]:
            fail(f"{name}: node names {[n['name'] for n in nodes]}, want {[utf8_name(n) for n in names]}")
        if name == "latin1" and "r\u00f6of" not in [n["name"] for n in nodes]:
            fail(f"latin1: no node named r\u00f6of: {[n['name'] for n in nodes]}")
        if name == "big" and not any(a["componentType"] == 5125 for a in doc["accessors"]):
            fail("big: no 32-bit indices")
        if not complete:
            if nodes and nodes[-1]["triangles"]:
                fail(f"{name}: the failing group's node has triangles")
            continue
        groups = read_obj(objs[name])
        if len(groups) != len(nodes):
            fail(f"{name}: {len(nodes)} nodes, {len(groups)} groups in the OBJ output")
        for k, (node, obj) in enumerate(zip(nodes, groups)):
            if not same_triangles(node["triangles"], obj):
                fail(f"{name}: node {k} ({node['name']!r}): {len(node['triangles'])} triangles differ from the "
                     f"OBJ path's {len(obj)}")

    # three.js.
    expected = os.path.join(work, "names.json")
    json.dump({glbs[n]: [x["name"] for x in nodes] for n, nodes in files.items()}, open(expected, "w"))
    three = None if not has["node"] else subprocess.run(["node", os.path.join(JS, "three_load.mjs"), expected],
                                                        capture_output=True, text=True, check=True)
    by_file = {glb: name for name, glb in glbs.items()}
    seen = 0 if three else len(glbs)
    for line in three.stdout.splitlines() if three else []:
        d = json.loads(line)
        nodes = files[by_file[d["file"]]]
        seen += 1
        want = (len(nodes), sum(len(n["primitives"]) for n in nodes), sum(len(n["triangles"]) for n in nodes))
        got = (d.get("nodes"), d.get("meshes"), d.get("triangles"))
        names_ok = "names" in d and all(same_name(g, w, r"_\d+") for g, w in zip(d["names"], d["want"]))
        if "error" in d or got != want or not names_ok:
            fail(f"three on {d['file']}: {d.get('error')} nodes, meshes, triangles {got}, want {want}; "
                 f"names {d.get('names')}, want {d.get('want')}")
    if seen != len(glbs):
        fail(f"three read {seen} of {len(glbs)} files")

    # assimp and F3D. Neither takes a scene without triangles: assimp refuses
    # it ("No materials remaining"), F3D 1.3.1 dies of SIGSEGV.
    empty = [name for name, nodes in files.items() if not any(n["triangles"] for n in nodes)]
    # Each starts once per file: two files at a time.
    def read(name):
        glb = glbs[name]
        assimp = assimp_read(glb, work) if has["assimp"] else None
        f3d = f3d_polygons(glb) if has["f3d"] and has["Xvfb"] else None
        return assimp, f3d

    with Xvfb() if has["Xvfb"] and has["f3d"] else contextlib.nullcontext(), \
            concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        shown = [name for name in glbs if name not in empty]
        for name, (assimp, f3d) in zip(shown, pool.map(read, shown)):
            nodes = files[name]
            triangles = sum(len(n["triangles"]) for n in nodes)
            status, said, faces, names = assimp or (0, [], triangles, [])
            want = [n["name"] for n in nodes] if assimp else []
            if status or said or faces != triangles or len(names) != len(want) or \
                    not all(same_name(g, w, "") for g, w in zip(names, want)):
                fail(f"assimp on {name}: status {status} {said[:3]}, {faces} faces (want {triangles}), "
                     f"names {names} (want {[n['name'] for n in nodes]})")
            if f3d is None:
                continue
            status, said, polygons = f3d
            if status or said or polygons != triangles:
                fail(f"f3d on {name}: status {status} {said[:3]}, {polygons} polygons (want {triangles})")

    # Blender: an object per node, a mesh object per node with a mesh; names
    # are cut at 63 bytes and made unique with ".NNN".
    for glb, d in run_blender(list(glbs.values()), work).items() if has["blender"] else []:
        nodes = files[by_file[glb]]
        meshes = [(o[0], o[2]) for o in d["objects"] if o[1] == "MESH"]
        want = (len(nodes), sorted(blender_polygons(n) for n in nodes if n["triangles"]))
        got = (len(d["objects"]), sorted(p for _, p in meshes))
        names = sorted(re.sub(r"\.\d{3}$", "", o[0]) for o in d["objects"])
        want_names = {n["name"].encode()[:63].decode(errors="ignore") for n in nodes if n["name"]}
        if d["result"] != ["FINISHED"] or got != want or not want_names <= set(names):
            fail(f"blender on {glb}: {d['result']} objects and polygons {got}, want {want}; names {names}, "
                 f"want {want_names}")

    print(f"{len(glbs)} GLB files ({count} odd models, the sample, a Latin-1 name, one large group unless "
          f"--installed-only, 10 cut short): "
          f"validator, the OBJ path, three.js, assimp, F3D, Blender ({', '.join(left_out) or 'nothing'} left out); "
          f"{len(empty)} without triangles not given to assimp and F3D")
    print(f"whole check {time.time() - t_start:.0f} s")
    return finish("every GLB is valid, matches the OBJ path and reads the same in every reader")


if __name__ == "__main__":
    sys.exit(main())
