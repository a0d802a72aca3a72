#!/usr/bin/python3
"""README.md's commands run as written, and the documents' links lead somewhere.

A ```sh block of README.md after a line <!-- checked --> runs under /bin/sh -e,
a ```python one under /usr/bin/python3; <!-- checked, needs PROGRAM... --> runs
only where each PROGRAM is installed. Each block runs alone in a fresh copy of
the source tree (without .git, build trees, dist/ and node_modules), with
BIN_DIR first on the PATH, HOME in the scratch folder and the copy's python/ on
PYTHONPATH. A block after <!-- not checked: WHY --> is left alone; a block with
neither line fails. Every relative link and image of README.md and docs/*.md
must name a file that exists, and a #part a heading of that file.

usage: check_docs.py SOURCE_DIR BIN_DIR   (BIN_DIR holds quarlen)
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

RUNNERS = {"sh": ["/bin/sh", "-e"], "python": ["/usr/bin/python3"]}
failures = []


def fail(where, what):
    failures.append(where)
    print(f"FAIL {where}: {what}", flush=True)


def fences(lines):
    """(first line, last line, language, the line before, body) of each fenced
    block, indented or not; lines count from 1."""
    found, at = [], 0
    while at < len(lines):
        m = re.match(r"( *)(`{3,})(\w*)\s*$", lines[at])
        if m:
            end = next((i for i in range(at + 1, len(lines)) if lines[i].lstrip().startswith(m[2])), len(lines))
            cut = len(m[1])
            body = "".join((line if line[:cut].strip() else line[cut:]) + "\n" for line in lines[at + 1:end])
            found.append((at + 1, end + 1, m[3], lines[at - 1].strip() if at else "", body))
            at = end
        at += 1
    return found


def run_block(source, bin_dir, where, language, body):
    with tempfile.TemporaryDirectory(prefix="quarlen-docs-") as tmp:
        tree, home = os.path.join(tmp, "quarlen"), os.path.join(tmp, "home")
        skipped = {".git", "node_modules", "dist", "venv", "__pycache__"}
        shutil.copytree(source, tree, symlinks=True, ignore=lambda folder, names: [
            n for n in names if n in skipped or (folder == source and n.startswith("build"))])
        os.mkdir(home)
        env = dict(os.environ, HOME=home, PATH=bin_dir + os.pathsep + os.environ["PATH"],
                   PYTHONPATH=os.path.join(tree, "python"))
        try:
            done = subprocess.run(RUNNERS[language], input=body, cwd=tree, env=env, text=True,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
            status, output = done.returncode, done.stdout
        except subprocess.TimeoutExpired as e:
            status, output = "none after 600 s", e.stdout or ""
    if status != 0:
        fail(where, f"exit status {status}\n--- the block\n{body}--- its output\n{output}---")
    else:
        print(f"ok   {where}: {body.splitlines()[0]}", flush=True)


def check_commands(source, bin_dir):
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        blocks = fences(f.read().split("\n"))
    ran = 0
    for first, _, language, mark, body in blocks:
        where = f"README.md:{first}"
        checked = re.fullmatch(r"<!-- checked(?:, needs ([\w .+-]+))? -->", mark)
        if language not in RUNNERS or re.fullmatch(r"<!-- not checked: .+ -->", mark):
            continue
        if not checked:
            fail(where, f"a ```{language} block with neither <!-- checked --> nor <!-- not checked: WHY --> before it")
        elif missing := [p for p in (checked[1] or "").split() if not shutil.which(p)]:
            print(f"skip {where}: needs {' '.join(missing)}, which is not installed", flush=True)
        else:
            run_block(source, bin_dir, where, language, body)
            ran += 1
    if ran == 0:
        fail("README.md", "no block marked <!-- checked --> ran")


def outside_fences(path):
    """(line number, text) of the lines of a Markdown file outside fenced blocks."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    fenced = {n for first, last, *_ in fences(lines) for n in range(first, last + 1)}
    return [(n, text) for n, text in enumerate(lines, 1) if n not in fenced]


def anchors(path):
    """The anchors GitHub gives the headings of a Markdown file."""
    names, seen = set(), {}
    for _, text in outside_fences(path):
        if m := re.match(r"#{1,6}\s+(.*?)\s*$", text):
            slug = re.sub(r"[^\w\- ]", "", re.sub(r"[`*_]", "", m[1]).lower()).replace(" ", "-")
            names.add(f"{slug}-{seen[slug]}" if slug in seen else slug)
            seen[slug] = seen.get(slug, 0) + 1
    return names


def check_links(source):
    documents = [os.path.join(source, "README.md")] + sorted(glob.glob(os.path.join(source, "docs", "*.md")))
    count = 0
    for doc in documents:
        for n, text in outside_fences(doc):
            text = re.sub(r"(`+).*?\1", "", text)  # code spans hold no links
            for target in re.findall(r"\]\(<?([^)\s>]+)>?[^)]*\)", text) + re.findall(r'\bsrc="([^"]+)"', text):
                if re.match(r"[a-zA-Z][\w+.-]*:", target):
                    continue  # a web address
                name, _, part = target.partition("#")
                linked = os.path.normpath(os.path.join(os.path.dirname(doc), name)) if name else doc
                where, count = f"{os.path.relpath(doc, source)}:{n}", count + 1
                if not os.path.exists(linked):
                    fail(where, f"{target}: there is no {os.path.relpath(linked, source)}")
                elif part and linked.endswith(".md") and part not in anchors(linked):
                    fail(where, f"{target}: {os.path.relpath(linked, source)} has no heading #{part}")
    print(f"links: {count} relative links in {len(documents)} documents checked", flush=True)


if len(sys.argv) != 3:
    sys.exit(__doc__)
source_dir, bin_path = (os.path.abspath(a) for a in sys.argv[1:])
check_links(source_dir)
check_commands(source_dir, bin_path)
if failures:
    sys.exit(f"{len(failures)} failure(s): {', '.join(failures)}")
