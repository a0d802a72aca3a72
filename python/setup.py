"""The wheel's version is the project's one version, read from the
CMakeLists.txt beside python/ (tools/python-wheel.sh keeps that layout)."""
import os
import re

from setuptools import setup

HERE = os.path.dirname(os.path.abspath(__file__))


def project_version():
    with open(os.path.join(HERE, os.pardir, "CMakeLists.txt")) as f:
        found = re.search(r"^project\(quarlen VERSION ([0-9.]+)", f.read(), re.M)
    if not found:
        raise SystemExit("setup.py: no project(quarlen VERSION ...) in ../CMakeLists.txt")
    return found.group(1)


setup(version=project_version())
