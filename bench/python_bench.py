#!/usr/bin/python3
"""The Python reader's speed beside the converter's reading of the same
file, on the two benchmark models quarlen_bench --model writes: one group of
1,000,000 points, and 40 groups of 25,000 (quads with texture corners).
For each, MB/s of the file's size by wall-clock time and by CPU time (user
and system, which other work on a busy machine moves less), best of RUNS:
  quarlen_rsr.read   in this process, Python and numpy started, the file in
                     the page cache;
  meshio.read        the same file through quarlen_rsr.meshio (the reader,
                     then what --clean keeps, as the Blender add-on imports it);
  quarlen --info     the whole process, which reads every array and walks
                     every facet.
Prints figures; asserts nothing.

usage: bench/python_bench.py [BUILD_DIR [RUNS]]   (default build, 5)
"""
import os
import resource
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "python"))
import meshio  # noqa: E402
import quarlen_rsr  # noqa: E402
import quarlen_rsr.meshio  # noqa: E402,F401

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
work = os.path.join(build, "python-bench")
os.makedirs(work, exist_ok=True)


def cpu():
    """CPU seconds of this process and of its finished children."""
    return sum(getattr(resource.getrusage(who), field) for who in (resource.RUSAGE_SELF, resource.RUSAGE_CHILDREN)
               for field in ("ru_utime", "ru_stime"))


def best(action):
    """The least wall-clock and the least CPU seconds of RUNS runs."""
    wall, used = [], []
    for _ in range(runs):
        start, start_cpu = time.perf_counter(), cpu()
        action()
        wall.append(time.perf_counter() - start)
        used.append(cpu() - start_cpu)
    return min(wall), min(used)


for groups, points in ((1, 1000000), (40, 25000)):
    model = os.path.join(work, f"model-{groups}x{points}.rsr")
    subprocess.run([os.path.join(build, "bench", "quarlen_bench"), "--model", model, str(groups), str(points)],
                   check=True, capture_output=True)
    mb = os.path.getsize(model) / 1e6
    quarlen_rsr.read(model)  # into the page cache
    figures = [("quarlen_rsr.read", best(lambda: quarlen_rsr.read(model))),
               ("meshio.read", best(lambda: meshio.read(model))),
               ("quarlen --info", best(lambda: subprocess.run([os.path.join(build, "cli", "quarlen"), "--info", model],
                                                              check=True, capture_output=True)))]
    print(f"{groups} x {points} points, {mb:.1f} MB, best of {runs}:")
    for what, (wall, used) in figures:
        print(f"  {what:18s} {mb / wall:7.0f} MB/s ({wall:.3f} s), {mb / used:7.0f} MB/s of CPU time ({used:.3f} s)")
