#!/usr/bin/python3
"""The add-on's zip: one folder holding every file (what Blender 3.4 to 4.1
install), __init__.py and the one blender_manifest.toml of an extension (4.2
and later) in it, the manifest's keys, types and rules those of Blender's
manifest schema 1.0.0, its version the project's VERSION.
usage: check_manifest.py ZIP VERSION   (prints each problem; exit status 1 if any)"""
import re
import sys
import tomllib
import zipfile


def terse(text):  # a tagline or a permission's reason
    return isinstance(text, str) and 0 < len(text) <= 64 and text[-1].isalnum()


def blender(text):
    return re.fullmatch(r"\d+\.\d+\.\d+", text) and tuple(map(int, text.split("."))) >= (4, 2, 0)


SCHEMA = {  # key: (required, type, rule)
    "schema_version": (True, str, lambda v: v == "1.0.0"),
    "id": (True, str, lambda v: v.isidentifier() and not v.startswith("_")),
    "version": (True, str, lambda v: v == sys.argv[2]),
    "name": (True, str, str.strip), "maintainer": (True, str, str.strip), "tagline": (True, str, terse),
    "type": (True, str, lambda v: v in ("add-on", "theme")),
    "license": (True, list, lambda v: v and all(str(x).startswith("SPDX:") for x in v)),
    "blender_version_min": (True, str, blender), "blender_version_max": (False, str, blender),
    "permissions": (False, dict, lambda v: all(k in ("files", "network", "clipboard", "camera", "microphone")
                                               and terse(r) for k, r in v.items())),
    "website": (False, str, str.strip), "build": (False, dict, bool),
    **{key: (False, list, bool) for key in ("tags", "copyright", "platforms", "wheels")},
}
with zipfile.ZipFile(sys.argv[1]) as z:
    names = [n for n in z.namelist() if not n.endswith("/")]
    folder = names[0].split("/")[0] + "/"
    laid_out = all(n.startswith(folder) for n in names) and folder + "__init__.py" in names and \
        [n for n in names if n.endswith("blender_manifest.toml")] == [folder + "blender_manifest.toml"]
    manifest = tomllib.loads(z.read(folder + "blender_manifest.toml").decode()) if laid_out else {}
problems = [] if laid_out else [f"want one folder holding every file, __init__.py and the manifest: {names}"]
problems += [f"{key} is missing" for key, (required, _, _) in SCHEMA.items() if required and key not in manifest]
problems += [f"{key} = {value!r} is not of the schema" for key, value in manifest.items()
             if key not in SCHEMA or not isinstance(value, SCHEMA[key][1]) or not SCHEMA[key][2](value)]
for p in problems:
    print(f"{sys.argv[1]}: {p}")
sys.exit(1 if problems else 0)
