"""quarlen_rsr: reads Poser geometry files (.rsr) into numpy arrays.

Needs Python 3 and numpy only; runs inside Blender and outside it.

    import quarlen_rsr
    try:
        groups = quarlen_rsr.read("man.rsr")      # a path, or the file's bytes
    except quarlen_rsr.RsrError as e:
        print(e)            # the failure as the console program words it
        groups = e.groups   # every group read in full before the failure

The bounds and failure rules are those of quarlen's converter: a file it
converts is read here with the same groups, and a file it refuses raises
RsrError with its failure text. read(source, clean=True) reads as --clean
converts: a facet whose corners leave the index list has none, rather than
failing the file with "bad value".

`import quarlen_rsr.meshio` registers .rsr with meshio (see that module).
"""
from .group import Group
from .reader import RsrError, read

__all__ = ["Group", "RsrError", "read"]
