#!/usr/bin/python3
"""README.md's commands run as written, and the documents' links lead somewhere.

- A ```sh fence of README.md right after a line <!-- checked --> runs under
  /bin/sh -e; a ```python fence so marked runs under /usr/bin/python3.
  <!-- checked, needs PROGRAM... --> runs it only where each PROGRAM is on
  the PATH, and says so when it does not. Each block runs on its own in a
  fresh copy of the source tree (without .git, build trees, dist/ and
  node_modules), with BIN_DIR first on the PATH, HOME in the scratch folder
  and the copy's python/ on PYTHONPATH.
- A ```sh or ```python fence after <!-- not checked: WHY --> is left alone;
  one with neither line is a failure.
- Every relative link and image of README.md and docs/*.md names a file that
  exists, and a #part names a heading of it.

usage: check_docs.py SOURCE_DIR BIN_DIR   (BIN_DIR holds quarlen)
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

TIMEOUT = 600  # seconds for one block; building the wheel takes the longest
RUNNERS = {"sh": ["/bin/sh", "-e"], "python": ["/usr/bin/python3"]}
SKIPPED = {".git", "node_modules", "dist", "venv", "__pycache__"}  # left out of the copy at any depth
failures = []


def fail(where, what):
    failures.append(where)
    print(f"FAIL {where}: {what}", flush=True)


def blocks(lines):
    """(line number, language, marking line, body) of each fence, indented or
    not; the marking line is the one before the fence, stripped."""
    found, at = [], 0
    while at < len(lines):
        m = re.match(r"^( *)(`{3,})(\w*)\s*$", lines[at])
        if not m:
            at += 1
            continue
        indent, fence = len(m.group(1)), m.group(2)
        end = at + 1
        while end < len(lines) and not lines[end].lstrip().startswith(fence):
            end += 1
        mark = lines[at - 1].strip() if at > 0 else ""
        body = "".join((line[indent:] if not line[:indent].strip() else line) + "\n" for line in lines[at + 1:end])
        found.append((at + 1, m.group(3), mark, body))
        at = end + 1
    return found


def scratch_copy(source, into):
    def ignored(folder, names):
        top = os.path.samefile(folder, source)
        return [n for n in names if n in SKIPPED or (top and n.startswith("build"))]
    shutil.copytree(source, into, symlinks=True, ignore=ignored)


def run_block(source, bin_dir, where, language, body):
    with tempfile.TemporaryDirectory(prefix="quarlen-docs-") as tmp:
        tree = os.path.join(tmp, "quarlen")
        scratch_copy(source, tree)
        home = os.path.join(tmp, "home")
        os.mkdir(home)
        env = dict(os.environ, HOME=home, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""),
                   PYTHONPATH=os.path.join(tree, "python"))
        try:
            done = subprocess.run(RUNNERS[language], input=body, cwd=tree, env=env, text=True,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=TIMEOUT)
            status, output = done.returncode, done.stdout
        except subprocess.TimeoutExpired as e:
            status, output = f"no end after {TIMEOUT} s", e.stdout or ""
        if status != 0:
            fail(where, f"exit status {status}\n--- the block\n{body}--- its output\n{output}---")
        else:
            print(f"ok   {where}: {body.splitlines()[0] if body.strip() else '(empty)'}", flush=True)


def check_commands(source, bin_dir):
    path = os.path.join(source, "README.md")
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    ran = 0
    for line, language, mark, body in blocks(lines):
        if language not in RUNNERS:
            continue
        where = f"README.md:{line}"
        checked = re.fullmatch(r"<!-- checked(?:, needs ([\w .+-]+))? -->", mark)
        if re.fullmatch(r"<!-- not checked: .+ -->", mark):
            continue
        if not checked:
            fail(where, f"a ```{language} block with neither <!-- checked --> nor <!-- not checked: WHY --> before it")
            continue
        missing = [p for p in (checked.group(1) or "").split() if shutil.which(p) is None]
        if missing:
            print(f"skip {where}: needs {' '.join(missing)}, which is not installed", flush=True)
            continue
        run_block(source, bin_dir, where, language, body)
        ran += 1
    if ran == 0:
        fail("README.md", "no block is marked <!-- checked -->")


def slug(heading):
    """The anchor GitHub gives a heading."""
    text = re.sub(r"[`*_]|<[^>]*>", "", heading).strip().lower()
    return re.sub(r"[^\w\- ]", "", text).replace(" ", "-")


def anchors(path):
    seen, result = {}, set()
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    fenced = set()
    for line, _, _, body in blocks(lines):
        fenced.update(range(line, line + body.count("\n") + 2))
    for number, text in enumerate(lines, 1):
        m = re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", text)
        if m and number not in fenced:
            base = slug(m.group(1))
            n = seen.get(base, 0)
            seen[base] = n + 1
            result.add(base if n == 0 else f"{base}-{n}")
    return result


def check_links(source):
    documents = [os.path.join(source, "README.md")] + sorted(glob.glob(os.path.join(source, "docs", "*.md")))
    checked = 0
    for doc in documents:
        name = os.path.relpath(doc, source)
        with open(doc, encoding="utf-8") as f:
            lines = f.read().split("\n")
        fenced = set()
        for line, _, _, body in blocks(lines):
            fenced.update(range(line, line + body.count("\n") + 2))
        for number, text in enumerate(lines, 1):
            if number in fenced:
                continue
            text = re.sub(r"(`+).*?\1", "", text)  # code spans hold no links
            targets = re.findall(r"\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)", text)
            targets += re.findall(r"\bsrc=\"([^\"]+)\"", text)
            for target in targets:
                if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                    continue  # a web address
                file_part, _, part = target.partition("#")
                linked = os.path.normpath(os.path.join(os.path.dirname(doc), file_part)) if file_part else doc
                where = f"{name}:{number}"
                checked += 1
                if not os.path.exists(linked):
                    fail(where, f"{target}: there is no {os.path.relpath(linked, source)}")
                elif part and linked.endswith(".md") and part not in anchors(linked):
                    fail(where, f"{target}: {os.path.relpath(linked, source)} has no heading #{part}")
    print(f"links: {checked} relative links in {len(documents)} documents checked", flush=True)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, bin_dir = (os.path.abspath(a) for a in sys.argv[1:])
    check_links(source)
    check_commands(source, bin_dir)
    if failures:
        print(f"{len(failures)} failure(s): {', '.join(failures)}")
        sys.exit(1)


main()
