#!/usr/bin/python3
"""The add-on's zip against both ways Blender installs it:
- as an extension (4.2 and later): one blender_manifest.toml, at the zip's
  root or in its one folder that holds everything, beside __init__.py, with
  the fields of Blender's manifest schema 1.0.0: each required key there with
  its type, the documented rules on id, tagline, type, license, permissions
  and blender_version_min (4.2.0 or later), and no key the schema lacks;
- as a legacy add-on (3.4 to 4.1, "Install..."): one folder, the package,
  whose bl_info names Blender 3.4 and the manifest's version.
Both versions are the project's (VERSION). Prints each problem; exit status 1
if any.

usage: check_manifest.py ZIP VERSION
"""
import ast
import re
import sys
import tomllib
import zipfile

SEMVER = re.compile(r"^(0|[1-9]\d*)\.(0|[1-9]\d*)\.(0|[1-9]\d*)(-[0-9A-Za-z.-]+)?(\+[0-9A-Za-z.-]+)?$")
PERMISSIONS = {"files", "network", "clipboard", "camera", "microphone"}


def terse(text):
    """A one-line text as the schema wants taglines and permission reasons:
    at most 64 characters, not ending in punctuation."""
    return isinstance(text, str) and 0 < len(text) <= 64 and text == text.strip() and \
        (text[-1].isalnum() or text[-1] in ")]}")


def version_at_least(text, least):
    parts = text.split(".") if isinstance(text, str) else []
    return len(parts) == 3 and all(p.isdigit() for p in parts) and tuple(map(int, parts)) >= least


# key: (required, type, rule, what the rule wants)
SCHEMA = {
    "schema_version": (True, str, lambda v: v == "1.0.0", "1.0.0"),
    "id": (True, str, lambda v: v.isidentifier() and not v.startswith("_"), "an identifier, not starting with _"),
    "version": (True, str, SEMVER.match, "semantic versioning"),
    "name": (True, str, lambda v: v.strip() == v != "", "a name"),
    "tagline": (True, str, terse, "at most 64 characters, no closing punctuation"),
    "maintainer": (True, str, lambda v: v.strip() == v != "", "a name"),
    "type": (True, str, lambda v: v in ("add-on", "theme"), "add-on or theme"),
    "license": (True, list, lambda v: v and all(isinstance(x, str) and x.startswith("SPDX:") for x in v),
                "SPDX: identifiers"),
    "blender_version_min": (True, str, lambda v: version_at_least(v, (4, 2, 0)), "X.Y.Z, 4.2.0 or later"),
    "blender_version_max": (False, str, lambda v: version_at_least(v, (4, 2, 0)), "X.Y.Z"),
    "website": (False, str, lambda v: v.startswith(("http://", "https://")), "a web address"),
    "tags": (False, list, lambda v: v and all(isinstance(x, str) and x for x in v), "names"),
    "copyright": (False, list, lambda v: all(isinstance(x, str) and x for x in v), "texts"),
    "platforms": (False, list, lambda v: v and all(isinstance(x, str) and x for x in v), "names"),
    "wheels": (False, list, lambda v: all(isinstance(x, str) and x.endswith(".whl") for x in v), "paths"),
    "permissions": (False, dict, lambda v: v and all(k in PERMISSIONS and terse(r) for k, r in v.items()),
                    "reasons for " + ", ".join(sorted(PERMISSIONS))),
    "build": (False, dict, lambda v: True, "a table"),
}


def manifest_problems(manifest, version):
    problems = []
    for key, (required, kind, rule, wanted) in SCHEMA.items():
        if key not in manifest:
            if required:
                problems.append(f"the manifest lacks {key}")
        elif not isinstance(manifest[key], kind):
            problems.append(f"{key} is a {type(manifest[key]).__name__}, not a {kind.__name__}")
        elif not rule(manifest[key]):
            problems.append(f"{key} = {manifest[key]!r}: wants {wanted}")
    problems += [f"{key} is not a key of the manifest schema" for key in manifest if key not in SCHEMA]
    if manifest.get("version") != version:
        problems.append(f"the manifest's version {manifest.get('version')!r} is not the project's {version}")
    return problems


def zip_problems(names, version, read):
    manifests = [n for n in names if n.rsplit("/", 1)[-1] == "blender_manifest.toml"]
    if len(manifests) != 1 or manifests[0].count("/") > 1:
        return [f"manifests at the root or one folder deep: {manifests}, want exactly one"]
    folder = manifests[0][:-len("blender_manifest.toml")]
    problems = [f"{n} is outside the manifest's folder" for n in names if not n.startswith(folder)]
    if folder + "__init__.py" not in names:
        problems.append("no __init__.py beside the manifest")
        return problems
    problems += manifest_problems(tomllib.loads(read(manifests[0]).decode()), version)
    if not folder:
        problems.append("the files are at the zip's root, which Blender 3.4 to 4.1 install as loose modules")
    tree = ast.parse(read(folder + "__init__.py"))
    info = next((ast.literal_eval(node.value) for node in tree.body if isinstance(node, ast.Assign)
                 and any(getattr(t, "id", "") == "bl_info" for t in node.targets)), {})
    if info.get("blender") != (3, 4, 0) or info.get("version") != tuple(map(int, version.split("."))):
        problems.append(f"bl_info names Blender {info.get('blender')} and version {info.get('version')}, "
                        f"want (3, 4, 0) and {version}")
    return problems


def main():
    path, version = sys.argv[1:3]
    with zipfile.ZipFile(path) as z:
        problems = zip_problems([n for n in z.namelist() if not n.endswith("/")], version, z.read)
    for p in problems:
        print(f"{path}: {p}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
