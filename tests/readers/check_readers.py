#!/usr/bin/python3
"""Round trips through readers written elsewhere: meshio (python3-meshio) and
assimp (assimp-utils). A generated model is written by model_writer, converted
by the console program, and read back; what each reader finds must match
what the model means, as far as that reader can tell.

usage: check_readers.py QUARLEN MODEL_WRITER WORKDIR
Reader warnings and refusals are printed as "verdict:" lines.
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

from check_options import fail, finish


def close(got, want, absolute=0.0):
    # "%g" keeps 6 significant digits: at most 5e-6 of the value; a reader that
    # prints with a fixed number of decimals adds `absolute`.
    return abs(got - want) <= 5.1e-6 * abs(want) + absolute


def read_expected(path):
    m = {"groups": [], "v": [], "vt": [], "f": []}
    with open(path) as f:
        for line in f:
            w = line.split()
            if w[0] == "g":
                m["groups"].append(w[1])
            elif w[0] == "v":
                m["v"].append(tuple(float(x) for x in w[1:4]))
            elif w[0] == "vt":
                m["vt"].append(tuple(float(x) for x in w[1:3]))
            elif w[0] == "f":
                rest = w[3:]
                t = []
                if "|" in rest:
                    cut = rest.index("|")
                    rest, t = rest[:cut], [int(x) for x in rest[cut + 1:]]
                m["f"].append({"group": int(w[1]), "material": "" if w[2] == "-" else w[2],
                               "v": [int(x) for x in rest], "t": t})
    return m


def convert(quarlen, writer, work, kind):
    rsr, expected, obj = (os.path.join(work, kind + ext) for ext in (".rsr", ".expected", ".obj"))
    subprocess.run([writer, kind, rsr, expected], check=True)
    r = subprocess.run([quarlen, rsr, obj], capture_output=True, text=True)
    if r.returncode != 0:
        fail(f"{kind}: quarlen exit status {r.returncode}: {r.stderr}")
    return obj, read_expected(expected)


def check_meshio(kind, obj, m):
    import meshio
    try:
        mesh = meshio.read(obj)
    except Exception as e:  # a refusal is a verdict, not a crash of ours
        print(f"verdict: meshio refuses the {kind} model: {type(e).__name__}: {e}")
        return False
    if len(mesh.points) != len(m["v"]):
        fail(f"meshio {kind}: {len(mesh.points)} points, want {len(m['v'])}")
        return True
    for i, (p, want) in enumerate(zip(mesh.points, m["v"])):
        if not all(close(float(a), b) for a, b in zip(p, want)):
            fail(f"meshio {kind}: point {i} is {tuple(p)}, want {want}")
            break
    # Faces come back in file order, in blocks of equal corner count, each
    # block labelled with the number of its "g" line.
    faces = []
    for block, gids in zip(mesh.cells, mesh.cell_data["obj:group_ids"]):
        for cell, gid in zip(block.data, gids):
            faces.append((int(gid), [int(x) for x in cell]))
    want = [(f["group"], f["v"]) for f in m["f"]]
    if faces != want:
        fail(f"meshio {kind}: faces differ; first difference at "
             f"{next((i for i, (a, b) in enumerate(zip(faces, want)) if a != b), min(len(faces), len(want)))}")
    print(f"meshio {kind}: {len(mesh.points)} points, {len(faces)} faces in "
          f"{len(mesh.cells)} blocks: match")
    return True


def check_assimp(kind, obj, m, work):
    info = subprocess.run(["assimp", "info", obj, "-r"], capture_output=True, text=True)
    if info.returncode != 0:
        fail(f"assimp info {kind}: exit status {info.returncode}")
        return
    for line in (info.stdout + info.stderr).splitlines():
        if re.search(r"warn|error", line, re.I):
            print(f"verdict: assimp info on the {kind} model: {line.strip()}")
    corners = sum(len(f["v"]) for f in m["f"])
    stats = dict(re.findall(r"^(Vertices|Faces):\s+(\d+)", info.stdout, re.M))
    if stats != {"Vertices": str(corners), "Faces": str(len(m["f"]))}:
        fail(f"assimp info {kind}: {stats}, want {corners} vertices (one per corner) and {len(m['f'])} faces")

    dump = os.path.join(work, kind + ".assxml")
    r = subprocess.run(["assimp", "dump", obj, dump, "-r", "-l"], capture_output=True, text=True)
    if r.returncode != 0:
        fail(f"assimp dump {kind}: exit status {r.returncode}")
        return
    # The importer's log, with the model's names taken out so that each kind
    # of message shows once.
    names = {f["material"] for f in m["f"]} | set(m["groups"])
    said = {}
    for line in (r.stdout + r.stderr).splitlines():
        if re.match(r"(Warn|Error)", line):
            kind_of = re.sub(r"\b(" + "|".join(map(re.escape, sorted(names - {""}, key=len, reverse=True))) + r")\b",
                             "NAME", line) if len(names) > 1 else line
            said[kind_of] = said.get(kind_of, 0) + 1
    for line, n in said.items():
        print(f"verdict: assimp logs {n}x on the {kind} model: {line}")
    scene = ET.parse(dump).getroot().find("Scene")
    materials = []
    for mat in scene.find("MaterialList").findall("Material"):
        for prop in mat.iter("MatProperty"):
            if prop.get("key") == "?mat.name":
                materials.append(prop.text.strip().strip('"'))
    meshes = []
    for mesh in scene.find("MeshList").findall("Mesh"):
        nums = mesh.find("Positions").text.split()
        pos = [tuple(float(x) for x in nums[i:i + 3]) for i in range(0, len(nums), 3)]
        faces = [[pos[int(i)] for i in face.text.split()] for face in mesh.find("FaceList").findall("Face")]
        meshes.append((materials[int(mesh.get("material_index"))], faces))
    # Groups are the root's child nodes, in file order, each naming its meshes.
    nodes = scene.find("Node").find("NodeList").findall("Node")
    groups = [n.get("name") for n in nodes]
    if groups != m["groups"]:
        fail(f"assimp {kind}: groups {groups}, want {m['groups']}")
        return
    unnamed = set()
    for g, node in enumerate(nodes):
        refs = node.find("MeshRefs")
        got = [] if refs is None else [(mat, face) for i in refs.text.split() for mat, faces in [meshes[int(i)]]
                                       for face in faces]
        want = [f for f in m["f"] if f["group"] == g]
        if len(got) != len(want):
            fail(f"assimp {kind}: group {groups[g]} has {len(got)} faces, want {len(want)}")
            continue
        # assimp gathers a group's faces by material, so match each face of the
        # model with one of the group's faces: same material, same corners.
        for f in want:
            corners = [m["v"][v] for v in f["v"]]
            material = f["material"] or "DefaultMaterial"
            hit = next((k for k, (mat, face) in enumerate(got)
                        if len(face) == len(corners) and all(close(a, b, 5e-7) for p, q in zip(face, corners)
                                                            for a, b in zip(p, q))), None)
            if hit is None:
                fail(f"assimp {kind}: group {groups[g]}: no face at {corners}")
                break
            if got[hit][0] != material:
                unnamed.add((material, got[hit][0]))
            del got[hit]
    for want_mat, got_mat in sorted(unnamed):
        print(f"verdict: assimp gives a face of material {want_mat!r} the material {got_mat!r}")
    print(f"assimp {kind}: {len(m['f'])} faces, {len(groups)} groups, {len(materials)} materials: "
          f"corners match{'' if not unnamed else ', materials differ as above'}")
    return unnamed


def main():
    quarlen, writer, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    for kind in ("plain", "mixed"):
        obj, m = convert(quarlen, writer, work, kind)
        read = check_meshio(kind, obj, m)
        if kind == "plain" and not read:
            fail("meshio refuses a model without texture data")
        unnamed = check_assimp(kind, obj, m, work)
        if unnamed:
            fail(f"assimp {kind}: materials of faces differ")
    return finish("all readers agree with the models")


if __name__ == "__main__":
    sys.exit(main())
