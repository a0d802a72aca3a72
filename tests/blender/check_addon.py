#!/usr/bin/python3
"""The Blender add-on, installed from its release zip in headless Blender,
against Blender's own OBJ importer on the console program's --clean --mtl
output of the same generated models: the same polygons and corners, vertex
counts, bounding boxes, material names and colours, and UVs, for each row
of options below, and meshio.read (quarlen_rsr.meshio) of the same files.
Then a damaged file (its failure reported, the groups before it imported)
and several files in one import.

usage: check_addon.py BUILD_DIR WORK_DIR
"""
import json
import os
import re
import shutil
import subprocess
import sys

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "python"))
import meshio  # noqa: E402
import quarlen_rsr.meshio  # noqa: E402,F401
# Row: name, console program options, OBJ importer options, add-on options.
ROWS = [
    ("defaults", [], {}, {}),
    ("Y up", [], {"forward_axis": "Y", "up_axis": "Z"}, {"up_axis": "Y"}),
    ("metres", [], {"global_scale": 2.62128}, {"scale": "METRES"}),
    ("one object", [], {}, {"objects": "FILE"}),
    ("merged points", ["--weld"], {}, {"objects": "FILE", "merge_points": True}),
]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def close(got, want, atol=1e-6):
    # "%g" keeps 6 significant digits; the OBJ importer's turn adds rounding.
    return np.shape(got) == np.shape(want) and np.allclose(got, want, rtol=5.1e-6, atol=atol)


def compare(what, g, w, bare):
    """bare: the polygons at the start that no "usemtl" line comes before,
    whose slot the importers choose freely."""
    for key in ("vertices", "polygons"):
        check(g[key] == w[key], f"{what}: {key} differ")
    check(g["materials"][bare:] == w["materials"][bare:], f"{what}: materials differ")
    check(close(g["box"], w["box"], 1e-6 * (1 + np.abs(w["box"]).max(initial=0))),
          f"{what}: bounding boxes {g['box']} and {w['box']}")
    check(close(g["uvs"], w["uvs"]), f"{what}: UVs differ")
    names = sorted(w["colours"])  # --mtl writes "%.3f"
    check(sorted(g["colours"]) == names and np.allclose([g["colours"][k] for k in names],
                                                        [w["colours"][k] for k in names], atol=6e-4),
          f"{what}: material colours {g['colours']} and {w['colours']}")


def compare_meshio(what, path, got, one_object):
    """meshio's cells come in blocks by corner count, each in file order: the
    add-on's polygons sorted (stably) by corner count."""
    mesh = meshio.read(path)
    named = {k: dict((int(v[0]), n.split(":", 1)[1]) for n, v in mesh.field_data.items() if n.startswith(k + ":"))
             for k in ("group", "material")}
    cell = {k: np.concatenate(mesh.cell_data[k] or [np.zeros(0, int)]) for k in ("group", "material")}
    if not one_object:
        per_group = [[named["group"][g], n] for g, n in enumerate(np.bincount(cell["group"])) if n]
        return check(per_group == [[o[0], n] for o, n in zip(got["objects"], got["object_polygons"]) if n],
                     f"{what}: meshio's polygons per group {per_group}")
    order = np.argsort(got["polygons"], kind="stable")
    p = mesh.points[:, [0, 2, 1]] * [1, -1, 1]  # the add-on's Z up
    materials = zip(order, cell["material"])
    centres = [p[c.data].mean(axis=1) for c in mesh.cells]
    check(len(p) == got["vertices"] and [c.data.shape[1] for c in mesh.cells for _ in c.data] ==
          [got["polygons"][i] for i in order] and close(np.c_[p.min(0), p.max(0)] if len(p) else [], got["box"], 1e-4)
          and close(np.concatenate(centres or [np.zeros((0, 3))]), np.reshape(got["centres"], (-1, 3))[order], 1e-4)
          and all(plain_name(got["materials"][i]) == named["material"][m] for i, m in materials if m >= 0),
          f"{what}: meshio's points, cells (corner counts, centres), bounding box or materials")


def outline(obj):
    """An OBJ file's group names, and how many facets come before its first
    "usemtl" line."""
    lines = open(obj, "rb").read().split(b"\n")
    heads = [line[:2] for line in lines if line[:2] in (b"f ", b"us")] + [b"us"]
    return [line[2:].rstrip(b"\r").decode("utf-8", "replace") for line in lines if line[:2] == b"g "], heads.index(b"us")


def plain_name(name):
    return re.sub(r"\.\d{3}$", "", name)  # Blender's suffix for a name taken


def main():
    build, work = (os.path.abspath(a) for a in sys.argv[1:3])
    quarlen, writer = os.path.join(build, "cli", "quarlen"), os.path.join(build, "tests", "quarlen_model_writer")
    models = os.path.join(work, "models")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(models, exist_ok=True)
    zip_path = subprocess.run([os.path.join(ROOT, "tools", "blender-zip.sh"), os.path.join(work, "dist")],
                              check=True, capture_output=True, text=True).stdout.strip()
    for kind in ("mixed", "plain"):
        subprocess.run([writer, kind, os.path.join(models, kind + ".rsr"), os.devnull], check=True)
    subprocess.run([writer, "odd", "1", "20", models], check=True)
    names = sorted(f[:-4] for f in os.listdir(models) if f.endswith(".rsr"))

    runs, expect = [], []
    for row, flags, obj_options, options in ROWS:
        out = os.path.join(work, row.replace(" ", "_"))
        os.makedirs(out, exist_ok=True)
        for name in names:
            obj = os.path.join(out, name + ".obj")
            subprocess.run([quarlen, "--clean", "--mtl"] + flags + [os.path.join(models, name + ".rsr"), obj],
                           check=True, capture_output=True)
            runs += [{"importer": "obj", "files": [obj], "options": obj_options},
                     {"importer": "rsr", "directory": models, "files": [name + ".rsr"], "options": options}]
            expect.append((f"{row}, {name}", name, *outline(obj), options))

    # A file cut short in a group: the console program's output holds the
    # groups before it and its "g" line.
    data = open(os.path.join(models, "mixed.rsr"), "rb").read()
    cut = os.path.join(models, "cut.rsr")
    open(cut, "wb").write(data[:len(data) * 3 // 5])
    said = subprocess.run([quarlen, cut, os.path.join(work, "cut.obj")], capture_output=True, text=True).stderr
    before_cut = outline(os.path.join(work, "cut.obj"))[0][:-1]
    runs.append({"importer": "rsr", "directory": models, "files": ["mixed.rsr", "plain.rsr", "cut.rsr"],
                 "options": {}})
    # The fuzz seeds, damaged in every way they know, all at once: no
    # traceback, whatever the options.
    seeds = os.path.join(work, "seeds")
    os.makedirs(seeds)
    subprocess.run([os.path.join(build, "tests", "quarlen_make_seeds"), seeds], check=True, capture_output=True)
    for seed in os.listdir(seeds):
        os.rename(os.path.join(seeds, seed), os.path.join(seeds, seed + ".rsr"))
    for options in ({}, {"objects": "FILE", "merge_points": True, "scale": "METRES", "up_axis": "Y"}):
        runs.append({"importer": "rsr", "directory": seeds, "files": sorted(os.listdir(seeds)), "options": options})
    job = os.path.join(work, "job.json")
    json.dump({"zip": zip_path, "runs": runs}, open(job, "w"))

    r = subprocess.run(["blender", "-b", "--factory-startup", "--python",
                        os.path.join(ROOT, "tests", "blender", "in_blender.py"), "--", job],
                       capture_output=True, text=True, errors="replace", env=dict(os.environ, HOME=work))
    lines = r.stdout.splitlines()
    installed = [json.loads(line[10:]) for line in lines if line.startswith("INSTALLED ")]
    check(installed == [[["FINISHED"], ["FINISHED"], True]], f"installed from {zip_path}: {installed}")
    results = [json.loads(line[4:]) for line in lines if line.startswith("RUN ")]
    check(len(results) == len(runs), f"{len(results)} imports of {len(runs)} ran: {r.stderr[-2000:]}")
    if len(results) != len(runs):
        return 1

    for i, (what, name, groups, bare, options) in enumerate(expect):
        want, got = results[2 * i], results[2 * i + 1]
        check(got["result"] == ["FINISHED"] and len(want["objects"]) == 1, f"{what}: {got['result']}")
        objects = [name] if options.get("objects") == "FILE" else groups
        check([[plain_name(n), c] for n, c in got["objects"]] == [[n, [name]] for n in objects],
              f"{what}: objects and their collections {got['objects']}")
        compare(what, got, want, bare)
        if options in ({}, {"objects": "FILE"}):
            compare_meshio(what, os.path.join(models, name + ".rsr"), got, options == {"objects": "FILE"})

    # Several files: a collection each, the damaged one with the groups
    # before its failure, which the status bar and Info log tell.
    check(all(x["result"] == ["FINISHED"] for x in results[-2:]) and "Traceback" not in r.stdout + r.stderr,
          f"the fuzz seeds: {[r['result'] for r in results[-2:]]}")
    many = results[-3]["objects"]
    for stem, groups in [(m, outline(os.path.join(work, "defaults", m + ".obj"))[0]) for m in ("mixed", "plain")] + [
            ("cut", before_cut)]:
        check([plain_name(n) for n, c in many if c == [stem]] == groups,
              f"several files: the objects of {stem}")
    failure = said.strip().split("warning: ", 1)[1]
    check(f"Warning: {cut}: {failure}" in lines and failure == "end of file",
          f"the damaged file's failure ({failure}) in the report")
    print(f"{len(expect)} imports compared with the OBJ importer's, {len(ROWS)} rows of options; "
          f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
