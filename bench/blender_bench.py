#!/usr/bin/python3
"""Times the import of the 1,000,000-point benchmark model (quarlen_bench
--model: 40 groups of 25000 points, quads with texture corners) into
headless Blender with the add-on, against the two steps it replaces:
converting with quarlen --clean --mtl, then Blender's own OBJ importer.
Prints figures, best of RUNS; asserts nothing. bench/python_bench.py times
the Python reader alone.

usage: bench/blender_bench.py [BUILD_DIR [RUNS]]   (default build, 3)
"""
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
work = os.path.join(build, "blender-bench")
os.makedirs(work, exist_ok=True)
env = dict(os.environ, HOME=work)  # the add-on is installed here, not for the user
model, obj = os.path.join(work, "model.rsr"), os.path.join(work, "model.obj")
quarlen = os.path.join(build, "cli", "quarlen")
subprocess.run([os.path.join(build, "bench", "quarlen_bench"), "--model", model], check=True)
zip_path = subprocess.run([os.path.join(ROOT, "tools", "blender-zip.sh"), os.path.join(work, "dist")],
                          check=True, capture_output=True, text=True).stdout.strip()
subprocess.run(["blender", "-b", "--factory-startup", "--python-expr",
                f"import bpy; bpy.ops.preferences.addon_install(filepath={zip_path!r}, overwrite=True)"],
               check=True, capture_output=True, env=env)


def seconds(command):
    start = time.perf_counter()
    r = subprocess.run(command, check=True, capture_output=True, text=True, env=env)
    return time.perf_counter() - start, r.stdout


def blender_import(kind, path):
    """Whole process, and the import alone as Blender's script timed it."""
    whole, out = seconds(["blender", "-b", "--factory-startup", "--python",
                          os.path.join(ROOT, "bench", "blender_import.py"), "--", kind, path])
    line = next(line for line in out.splitlines() if line.startswith("IMPORT "))
    return whole, float(line.split()[2]), line


addon, two_steps = [], []
for _ in range(runs):
    addon.append(blender_import("rsr", model))
    convert, _ = seconds([quarlen, "--clean", "--mtl", model, obj])
    whole, inside, line = blender_import("obj", obj)
    two_steps.append((convert + whole, convert + inside, line, convert))
print(f"model: {os.path.getsize(model) / 1e6:.1f} MB, 1000000 points; best of {runs}")
print(f"add-on:             {min(a[0] for a in addon):6.2f} s whole Blender process, "
      f"{min(a[1] for a in addon):6.2f} s the import ({addon[0][2]})")
print(f"quarlen + OBJ:      {min(t[0] for t in two_steps):6.2f} s conversion and whole Blender process, "
      f"{min(t[1] for t in two_steps):6.2f} s conversion and import; conversion alone "
      f"{min(t[3] for t in two_steps):.2f} s ({two_steps[0][2]})")

