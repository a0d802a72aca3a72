"""The Python reader against the converter: on generated models, the fuzz
seeds, the sample and damaged copies of them, the same groups bit for bit
as the converter's reader finds (rsr_dump), and the same outcome and
notices as the console program prints."""
import os
import subprocess

import pytest

import quarlen_rsr

BUILD = os.environ["QUARLEN_BUILD"]
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def tool(*path):
    return os.path.join(BUILD, *path)


def damaged(data):
    """Copies cut short at many lengths, and with one byte changed at many
    places (counts, indices, name lengths and material numbers among them)."""
    for n in range(0, len(data), 7):
        yield "cut%d" % n, data[:n]
    for at in range(268, len(data), 11):
        for flip in (0x80, 0x01):
            yield "flip%d-%x" % (at, flip), data[:at] + bytes([data[at] ^ flip]) + data[at + 1:]


@pytest.fixture(scope="module")
def corpus(tmp_path_factory):
    work = tmp_path_factory.mktemp("corpus")
    seeds = work / "seeds"
    seeds.mkdir()
    subprocess.run([tool("tests", "quarlen_make_seeds"), str(seeds)], check=True)
    for seed in seeds.iterdir():  # the console program takes only .rsr names
        seed.rename(str(seed) + ".rsr")
    writer = tool("tests", "quarlen_model_writer")
    subprocess.run([writer, "odd", "1", "40", str(work)], check=True)
    for kind in ("mixed", "plain"):
        subprocess.run([writer, kind, str(work / (kind + ".rsr")), os.devnull], check=True)
    files = sorted(str(p) for p in list(seeds.iterdir()) + list(work.glob("*.rsr")))
    files.append(os.path.join(ROOT, "examples", "sample.rsr"))
    for model in ("mixed", "odd-1", "odd-2"):
        for name, data in damaged((work / (model + ".rsr")).read_bytes()):
            path = work / ("%s-%s.rsr" % (model, name))
            path.write_bytes(data)
            files.append(str(path))
    return files


def dump(path):
    """The Python reader's view, in rsr_dump's form."""
    lines = ["file " + path]
    try:
        groups, end = quarlen_rsr.read(path), "finished"
    except quarlen_rsr.RsrError as e:
        groups, end = e.groups, "failed"
    for g in groups:
        lines.append("group " + (g.name.hex() or "-"))
        lines += ["v " + " ".join("%08x" % b for b in p) for p in g.points.view("uint32")]
        lines += ["vt " + " ".join("%08x" % b for b in t) for t in g.uvs.view("uint32")]
        lines += ["m " + (m.hex() or "-") for m in g.materials]
        for j in range(g.facet_count):
            a, b = g.facet_offsets[j], g.facet_offsets[j + 1]
            f = "f %d" % g.facet_materials[j] + "".join(" %d" % v for v in g.corners[a:b])
            t = g.uv_corners[a:a + g.uv_counts[j]]
            lines.append(f + (" |" + "".join(" %d" % v for v in t) if len(t) else ""))
    return lines + ["end " + end]


def test_groups_are_the_converters_bit_for_bit(corpus):
    want = []
    for at in range(0, len(corpus), 500):
        r = subprocess.run([tool("tests", "quarlen_rsr_dump")] + corpus[at:at + 500], check=True,
                           capture_output=True)
        want += r.stdout.decode("latin-1").splitlines()
    got = [line for path in corpus for line in dump(path)]
    ends = [line for line in got if line.startswith("end ")]
    assert ends.count("end failed") > len(corpus) // 3 and ends.count("end finished") > 50
    assert got == want


def test_outcome_and_notices_are_the_console_programs(corpus, tmp_path):
    out = str(tmp_path / "out.obj")
    for path in corpus:
        r = subprocess.run([tool("cli", "quarlen"), path, out], capture_output=True)
        try:
            quarlen_rsr.read(path)
            status, lines = 0, [b"%s: Finished." % out.encode()]
        except quarlen_rsr.RsrError as e:
            status = 1
            lines = [b"%s: %s%s" % ((caption or path).encode(), b"warning: " if warning else b"", text)
                     for caption, warning, text in e.notices]
        said = r.stderr.splitlines()
        if status == 0:  # the "Finished" notice, cut after its first sentence
            said = [line[:len(lines[0])] for line in said]
        assert (r.returncode, said) == (status, lines), path
