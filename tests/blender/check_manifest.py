#!/usr/bin/python3
"""The add-on's zip as Blender installs it: one folder holding every file
with __init__.py (3.4 to 4.1, "Install..."), and beside it the one
blender_manifest.toml of an extension (4.2 and later), whose keys are those
of manifest schema 1.0.0: each required key, each key's type and rules,
blender_version_min 4.2.0 or later, and the project's VERSION. Prints each
problem; exit status 1 if any.
usage: check_manifest.py ZIP VERSION"""
import re
import sys
import tomllib
import zipfile


def terse(text):  # a tagline or a permission's reason
    return isinstance(text, str) and 0 < len(text) <= 64 and text[-1].isalnum()


def blender_version(text):
    return re.fullmatch(r"\d+\.\d+\.\d+", text) and tuple(map(int, text.split("."))) >= (4, 2, 0)


# key: (required, type, rule)
SCHEMA = {
    "schema_version": (True, str, lambda v: v == "1.0.0"),
    "id": (True, str, lambda v: v.isidentifier() and not v.startswith("_")),
    "version": (True, str, lambda v: re.fullmatch(r"\d+\.\d+\.\d+([-+][0-9A-Za-z.+-]+)?", v)),
    "name": (True, str, str.strip),
    "tagline": (True, str, terse),
    "maintainer": (True, str, str.strip),
    "type": (True, str, lambda v: v in ("add-on", "theme")),
    "license": (True, list, lambda v: v and all(str(x).startswith("SPDX:") for x in v)),
    "blender_version_min": (True, str, blender_version),
    "blender_version_max": (False, str, blender_version),
    "website": (False, str, str.strip),
    "permissions": (False, dict, lambda v: all(k in ("files", "network", "clipboard", "camera", "microphone")
                                               and terse(r) for k, r in v.items())),
    "build": (False, dict, bool),
    **{key: (False, list, bool) for key in ("tags", "copyright", "platforms", "wheels")},
}


def problems(z, version):
    names = [n for n in z.namelist() if not n.endswith("/")]
    folder = names[0].split("/")[0] + "/"
    if not all(n.startswith(folder) for n in names) or folder + "__init__.py" not in names or \
            [n for n in names if n.endswith("blender_manifest.toml")] != [folder + "blender_manifest.toml"]:
        return [f"want one folder holding every file, __init__.py and blender_manifest.toml: {names}"]
    manifest = tomllib.loads(z.read(folder + "blender_manifest.toml").decode())
    found = [f"{key} is missing" for key, (required, _, _) in SCHEMA.items() if required and key not in manifest]
    found += [f"{key} = {value!r} is not of the schema" for key, value in manifest.items()
              if key not in SCHEMA or not isinstance(value, SCHEMA[key][1]) or not SCHEMA[key][2](value)]
    return found + [f"version {manifest.get('version')!r}, not {version}"] * (manifest.get("version") != version)


if __name__ == "__main__":
    with zipfile.ZipFile(sys.argv[1]) as z:
        found = problems(z, sys.argv[2])
    for p in found:
        print(f"{sys.argv[1]}: {p}")
    sys.exit(1 if found else 0)
