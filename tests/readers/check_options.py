#!/usr/bin/python3
"""Output options against real readers: assimp (assimp-utils), F3D (f3d) and
Blender's OBJ importer (blender), all from Debian; tinyobjloader has a C++
test of its own over the same models.

Generated models with every oddity the traditional output passes on are
converted twice: with --clean --mtl --triangulate, where every reader must
accept every file with the expected point and facet counts and without a
warning; and without options, where the readers' complaints are counted and
shown (each reader must still complain about some of them, or the models
have lost their oddities).

usage: check_options.py CONVERT MODEL_WRITER WORKDIR [COUNT]
  CONVERT       the converter with the console program's options (quarlen or
                quarlen_convert_opts), which takes several IN OUT pairs
  COUNT         models (default 300, or $READER_MODELS)
Blender and F3D are installed on demand (apt-get), which is timed.
"""
import concurrent.futures
import os
import re
import shutil
import signal
import subprocess
import sys
import time

OPTIONS = ["--clean", "--mtl", "--triangulate"]
failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL:", msg, flush=True)


def finish(done):
    """The check's exit status: 1 after the number of failures, else 0 after done."""
    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    print(done)
    return 0


def install_on_demand(more=()):
    """The readers, and `more` (package, program) pairs, from Debian."""
    missing = [pkg for pkg, prog in (("blender", "blender"), ("f3d", "f3d"), ("assimp-utils", "assimp"),
                                     ("xvfb", "Xvfb")) + tuple(more) if shutil.which(prog) is None]
    if not missing:
        print("readers already installed")
        return
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    t0 = time.time()
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    # Waits for a package manager that another job holds.
    lock = ["-o", "DPkg::Lock::Timeout=900"]
    # A mirror in the middle of a sync fails an index now and then: try again,
    # then go on with the lists there are (the install says what it cannot find).
    for attempt in range(3):
        if subprocess.run(sudo + ["apt-get"] + lock + ["update", "-q"], env=env,
                          stdout=subprocess.DEVNULL).returncode == 0:
            break
        print(f"apt-get update failed (try {attempt + 1} of 3)", flush=True)
        time.sleep(30 if attempt < 2 else 0)
    subprocess.run(sudo + ["apt-get"] + lock + ["install", "-y", "-q"] + missing, check=True, env=env,
                   stdout=subprocess.DEVNULL)
    print(f"installed {' '.join(missing)} in {time.time() - t0:.0f} s", flush=True)


def read_expected(path):
    e = {"material": [], "group": []}
    with open(path) as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition(" ")
            if key in e:
                e[key].append(value)
            elif key == "oddities":
                e[key] = value.split()
            else:
                e[key] = int(value)
    return e


def kind_of(line):
    """A complaint with its numbers, addresses and quoted names taken out, so
    that each kind shows once."""
    line = re.sub(r"\x1b\[[0-9;]*m", "", line).replace("\r", "\\r").strip()
    line = re.sub(r"0x[0-9a-f]+", "ADDR", line)
    line = re.sub(r"'[^']*'", "'NAME'", line)
    line = re.sub(r"(material|locate material) [^,]*,", r"\1 NAME,", line)
    return re.sub(r"\d+", "N", line)


class Tally:
    """Per reader: files accepted, and the complaints about the others."""

    def __init__(self):
        self.files = 0
        self.accepted = 0
        self.refused = 0  # files the reader would not load at all, or died on
        self.kinds = {}

    def complain(self, kinds, refused=False):
        self.files += 1
        self.refused += refused
        if not kinds:
            self.accepted += 1
        for k in set(kinds):
            self.kinds[k] = self.kinds.get(k, 0) + 1


# --- assimp ---------------------------------------------------------------

def assimp_check(obj, work):
    """Returns (complaints, faces, refused). Refusals and the importer's log
    warnings are complaints."""
    info = subprocess.run(["assimp", "info", obj], capture_output=True, text=True, errors="replace")
    complaints = [kind_of(l) for l in (info.stdout + info.stderr).splitlines() if l.startswith("ERROR")]
    if info.returncode != 0 and not complaints:
        complaints.append(f"exit status {info.returncode}")
    faces = re.search(r"^Faces:\s+(\d+)", info.stdout, re.M)
    dump = subprocess.run(["assimp", "dump", obj, os.path.join(work, os.path.basename(obj) + ".assxml"), "-l"],
                          capture_output=True, text=True, errors="replace")
    complaints += [kind_of(l) for l in (dump.stdout + dump.stderr).splitlines() if re.match(r"(Warn|Error)", l)]
    return complaints, int(faces.group(1)) if faces else None, info.returncode != 0


# --- F3D -----------------------------------------------------------------

def f3d_messages(out):
    """VTK's error and warning texts: the line after each "ERROR: In FILE,
    line N" or "Warning: In ..." header."""
    lines = [re.sub(r"\x1b\[[0-9;]*m", "", l) for l in out.splitlines()]
    said = []
    for i, l in enumerate(lines):
        if re.match(r"\s*(ERROR|Warning|Generic Warning)", l):
            said.append(kind_of(lines[i + 1] if i + 1 < len(lines) and lines[i + 1].strip() else l))
    return said


def f3d_check(obj, png):
    """Renders obj with the geometry reader (counts come from its verbose
    output), then loads it with the full importer, which reads materials.
    Returns (complaints, points, polygons)."""
    cmd = ["f3d", "--verbose", "--geometry-only", obj]
    cmd += [f"--output={png}"] if png else ["--no-render"]
    # Now and then F3D dies of a signal whatever the file (seen with SIGSEGV
    # under Xvfb, about once in a thousand runs): only a file it dies on
    # three times running counts.
    for _ in range(3):
        geo = subprocess.run(cmd, capture_output=True, text=True, errors="replace", timeout=120)
        if geo.returncode >= 0:
            break
    complaints = f3d_messages(geo.stdout + geo.stderr)
    if geo.returncode != 0:
        complaints.append(f"geometry reader: exit status {geo.returncode}")
    if png and (not os.path.exists(png) or os.path.getsize(png) == 0):
        complaints.append("no picture rendered")
    full = subprocess.run(["f3d", "--no-render", "--verbose", obj], capture_output=True, text=True,
                          errors="replace", timeout=120)
    complaints += f3d_messages(full.stdout + full.stderr)
    points = re.search(r"Number of points: (\d+)", geo.stdout + geo.stderr)
    polygons = re.search(r"Number of polygons: (\d+)", geo.stdout + geo.stderr)
    return complaints, int(points.group(1)) if points else None, int(polygons.group(1)) if polygons else None


class Xvfb:
    def __enter__(self):
        r, w = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "640x480x24", "-nolisten", "tcp"],
                                     pass_fds=(w,), stderr=subprocess.DEVNULL)
        os.close(w)
        with os.fdopen(r) as f:
            display = f.readline().strip()
        os.environ["DISPLAY"] = ":" + display
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait()


# --- Blender -------------------------------------------------------------

BLENDER_SCRIPT = r"""
import bpy, ctypes, sys
libc = ctypes.CDLL(None)
def flush():
    sys.stdout.flush(); sys.stderr.flush(); libc.fflush(None)
for path in sys.argv[sys.argv.index('--') + 1:]:
    bpy.ops.wm.read_factory_settings(use_empty=True)
    print('BEGIN', path); flush()
    r = bpy.ops.wm.obj_import(filepath=path)
    meshes = [o.data for o in bpy.data.objects if o.type == 'MESH']
    flush()
    print('RESULT', sorted(r), sum(len(m.vertices) for m in meshes), sum(len(m.polygons) for m in meshes),
          '|'.join(sorted(m.name for m in bpy.data.materials)))
    flush()
"""


def blender_batch(objs, work):
    """Imports every file, one Blender process for as many as it survives;
    a crash ends that process, and the next one starts after the file that
    crashed it. Returns {obj: (complaints, vertices, polygons, materials)}."""
    script = os.path.join(work, "import.py")
    with open(script, "w") as f:
        f.write(BLENDER_SCRIPT)
    results = {}
    todo = list(objs)
    while todo:
        r = subprocess.run(["blender", "-b", "--factory-startup", "--python", script, "--"] + todo,
                           capture_output=True, timeout=3600)
        current, said = None, []
        # Bytes, split at LF only: a CR inside a stray name stays in its message.
        for line in (r.stdout + r.stderr).decode(errors="replace").split("\n"):
            if line.startswith("BEGIN "):
                current, said = line[6:], []
            elif line.startswith("RESULT ") and current:
                m = re.match(r"RESULT \[(.*)\] (\d+) (\d+) ?(.*)$", line)
                if "'FINISHED'" not in m.group(1):
                    said.append(f"import ended {m.group(1)}")
                results[current] = (said, int(m.group(2)), int(m.group(3)), m.group(4).split("|") if m.group(4) else [])
                current = None
            elif current and line.strip() and not re.match(r"OBJ import of .* took", line):
                said.append(kind_of(line))
        if r.returncode == 0:
            break
        # The file that was being read when Blender died.
        if current is None:
            fail(f"blender exit status {r.returncode} outside an import: {r.stderr[-500:].decode(errors='replace')}")
            break
        code = -r.returncode if r.returncode < 0 else r.returncode - 128
        name = signal.Signals(code).name if 0 < code < 64 else str(r.returncode)
        results[current] = ([f"crash ({name})"], None, None, [])
        todo = todo[todo.index(current) + 1:]
    return results


# --- the check ------------------------------------------------------------

def convert(converter, rsrs, outdir, options):
    os.makedirs(outdir, exist_ok=True)
    pairs = []
    for rsr in rsrs:
        pairs += [rsr, os.path.join(outdir, os.path.basename(rsr)[:-4] + ".obj")]
    r = subprocess.run([converter] + options + pairs, capture_output=True, text=True, errors="replace")
    return r, pairs[1::2]


def main():
    converter, writer, work = sys.argv[1:4]
    count = int(sys.argv[4]) if len(sys.argv) > 4 else int(os.environ.get("READER_MODELS", "300"))
    t_start = time.time()
    install_on_demand()
    t_installed = time.time()

    shutil.rmtree(work, ignore_errors=True)
    models = os.path.join(work, "models")
    os.makedirs(models)
    subprocess.run([writer, "odd", "1", str(count), models], check=True)
    rsrs = [os.path.join(models, f"odd-{i}.rsr") for i in range(1, count + 1)]
    expected = {os.path.basename(p)[:-4]: read_expected(p[:-4] + ".expected") for p in rsrs}
    oddities = {}
    for e in expected.values():
        for o in e["oddities"]:
            oddities[o] = oddities.get(o, 0) + 1
    print(f"{count} models; oddities (models holding each): "
          + ", ".join(f"{k} {v}" for k, v in sorted(oddities.items())), flush=True)

    opt, opt_objs = convert(converter, rsrs, os.path.join(work, "options"), OPTIONS)
    if opt.returncode != 0:
        fail(f"conversion with {' '.join(OPTIONS)} exit status {opt.returncode}: {opt.stderr[-500:]}")
    raw, raw_objs = convert(converter, rsrs, os.path.join(work, "plain"), [])
    bad_values = sum(e["bad_value"] for e in expected.values())
    said_bad = raw.stderr.count("warning: bad value")
    print(f"without options: {said_bad} conversions fail with \"bad value\" ({bad_values} models have a corner "
          "outside their index list); their outputs are read as far as they go", flush=True)
    if said_bad != bad_values:
        fail(f"{said_bad} \"bad value\" failures, want {bad_values}")

    def key(obj):
        return os.path.basename(obj)[:-4]

    def check_opt_assimp(obj):
        complaints, faces, _ = assimp_check(obj, work)
        want = expected[key(obj)]["triangles"]
        if faces != want and not complaints:
            complaints.append(f"{faces} faces, want {want}")
        return complaints

    # A picture of one model in ten: rendering takes longer than reading,
    # and shows no more on the others.
    rendered = set(opt_objs[::10])

    def check_opt_f3d(obj):
        e = expected[key(obj)]
        complaints, points, polygons = f3d_check(obj, obj[:-4] + ".png" if obj in rendered else None)
        # The geometry reader gives each corner a point of its own when texture
        # numbers differ from point numbers.
        want_points = 3 * e["triangles"] if e["textured_triangles"] and not e["same_numbers"] else e["points"]
        if (points, polygons) != (want_points, e["triangles"]):
            complaints.append(f"{points} points and {polygons} polygons, want {want_points} and {e['triangles']}")
        return complaints

    readers = {"assimp": (Tally(), Tally()), "f3d": (Tally(), Tally()), "blender": (Tally(), Tally())}
    t0 = time.time()
    with Xvfb(), concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for obj, complaints in zip(opt_objs, pool.map(check_opt_assimp, opt_objs)):
            readers["assimp"][0].complain(complaints)
            if complaints:
                fail(f"assimp with options, {key(obj)}: {complaints}")
        for obj, (complaints, _, refused) in zip(raw_objs, pool.map(lambda o: assimp_check(o, work), raw_objs)):
            readers["assimp"][1].complain(complaints, refused)
        t_assimp = time.time()
        for obj, complaints in zip(opt_objs, pool.map(check_opt_f3d, opt_objs)):
            readers["f3d"][0].complain(complaints)
            if complaints:
                fail(f"f3d with options, {key(obj)}: {complaints}")
        # Refused: the geometry reader died or shows nothing. Every second
        # model: F3D starts twice for each, and half of them show its
        # complaints as well.
        for obj, (complaints, _, polygons) in zip(raw_objs[::2], pool.map(lambda o: f3d_check(o, None), raw_objs[::2])):
            readers["f3d"][1].complain(complaints, not polygons)
    t_f3d = time.time()

    for obj, (complaints, vertices, polygons, materials) in blender_batch(opt_objs, work).items():
        e = expected[key(obj)]
        # Blender keeps the points that facets use; with no facet, all.
        want = (e["used_points"] if e["triangles"] else e["points"], e["triangles"], sorted(e["material"]))
        if (vertices, polygons, sorted(materials)) != want and not complaints:
            complaints = [f"{vertices} vertices, {polygons} polygons, materials {materials}; want {want}"]
        readers["blender"][0].complain(complaints)
        if complaints:
            fail(f"blender with options, {key(obj)}: {complaints}")
    for obj, (complaints, *_rest) in blender_batch(raw_objs, work).items():
        readers["blender"][1].complain(complaints, any(c.startswith("crash") for c in complaints))
    t_blender = time.time()

    for name, (with_opt, without) in readers.items():
        print(f"{name}: with {' '.join(OPTIONS)} {with_opt.accepted}/{with_opt.files} files accepted with the expected "
              f"counts and no warning; without options {without.accepted}/{without.files} accepted without complaint, "
              f"{without.refused} refused (not loaded, nothing shown, or the reader died)")
        for k, n in sorted(without.kinds.items(), key=lambda kv: -kv[1])[:12]:
            print(f"  without options, {n} files: {k}")
        if without.accepted == without.files:
            fail(f"{name} accepts every file without options: the models lost their oddities")
    print(f"times: install {t_installed - t_start:.0f} s, assimp {t_assimp - t0:.0f} s, f3d {t_f3d - t_assimp:.0f} s, "
          f"blender {t_blender - t_f3d:.0f} s; whole check {time.time() - t_start:.0f} s")
    return finish("every reader accepts every output of the options")


if __name__ == "__main__":
    sys.exit(main())
