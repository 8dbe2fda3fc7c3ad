"""Varnocketile's edge selection for numpy arrays, and batches of pictures on Dask.

The selections come from the plug-in module itself (``libvarnocketile.so``, shipped in
this package), loaded once per process through its entry point and run through the
project's host library exactly as ``varno select`` runs it: the same pixels give the
same selection, byte for byte. ``edges`` runs one method directly, as ``varno edges``.

Methods: ``"traditional"`` (3), ``"skinny"`` (4), ``"smoother"`` (5, the default),
``"fine"`` (6), ``"variable"`` (7), by name or number; radius 1..3 (the width of
Variable width).

Settings: every run plays the method and radius back to the module as an action with
its dialog suppressed. The module keeps its preferences file and run log where varno's
module keeps them, by the same rules: fixed names ``c:\\NAME`` live in the directory
``$VARNO_DRIVE_C`` (default ``~/.local/share/varno/drive_c``), the install directory
comes from ``$MORVELAN_PATH``, and the run log ``VEXAlog.txt`` is written only when it
exists there. Set those variables before the first run.

Runs: one at a time per process (the host is not reentrant); the GIL is released while
the module runs, and Ctrl-C (KeyboardInterrupt) reaches the module's abort test: the run
stops, nothing is returned or written, and KeyboardInterrupt is raised.
"""

import numbers
import os

import numpy

from . import _core
from ._errors import VarnocketileError

__all__ = ["select", "edges", "read", "write", "select_files", "VarnocketileError"]

_METHOD_NAMES = _core.METHOD_NAMES
_FIRST_METHOD, _LAST_METHOD = _core.METHOD_RANGE
_MIN_RADIUS, _MAX_RADIUS = _core.RADIUS_RANGE


def _method(method):
    if isinstance(method, str):
        value = _core.parse_method(method)
        if value == 0:
            raise ValueError(
                f"method must be one of {', '.join(_METHOD_NAMES)} or {_FIRST_METHOD}..{_LAST_METHOD}, not {method!r}")
        return value
    if isinstance(method, bool) or not isinstance(method, numbers.Integral):
        raise TypeError(f"method must be a name or a number, not {type(method).__name__}")
    if not _FIRST_METHOD <= method <= _LAST_METHOD:
        raise ValueError(f"method must be {_FIRST_METHOD}..{_LAST_METHOD}, not {method}")
    return int(method)


def _radius(radius):
    if isinstance(radius, bool) or not isinstance(radius, numbers.Integral):
        raise TypeError(f"radius must be an integer, not {type(radius).__name__}")
    if not _MIN_RADIUS <= radius <= _MAX_RADIUS:
        raise ValueError(f"radius must be {_MIN_RADIUS}..{_MAX_RADIUS}, not {radius}")
    return int(radius)


def _array(value, what):
    if not isinstance(value, numpy.ndarray):
        raise TypeError(f"{what} must be a numpy array, not {type(value).__name__}")
    return value


def _path(path):
    """``os.fspath(path)``, refused as Python's own file functions refuse it when it holds a NUL
    (the system would take the name only up to the NUL: another file's)."""
    path = os.fspath(path)
    if ("\0" if isinstance(path, str) else b"\0") in path:
        raise ValueError("embedded null byte")
    return path


def select(image, method="smoother", radius=2, selection=None, mode=None):
    """The selection the module makes of ``image``: a new HxW uint8 array (255 selected).

    ``image``: HxW (grey) or HxWx3 (RGB) numpy array of uint8 or uint16 (either byte
    order: one in the other than this machine's is read from a copy), any strides
    (16-bit samples are reduced to 8 bits by the host as varno does); ``mode="cmyk"``
    takes HxWx4 CMYK with 255 (65535) meaning no ink, ``mode="lab"`` HxWx3 Lab with a
    and b centred on 128 (32768), the way ``read`` hands such files out. ``selection``:
    the current selection, an HxW uint8 array. Sides 1..32767. The host reads the array
    in place while the module runs (no copy): leave it unchanged until select returns.

    Raises TypeError or ValueError for a bad array or argument (before the module
    runs), VarnocketileError when the run fails, KeyboardInterrupt on Ctrl-C.
    """
    method, radius = _method(method), _radius(radius)
    image = _array(image, "image")
    if selection is not None:
        selection = _array(selection, "selection")
    return _core.select(image, method, radius, selection, mode or "")


def edges(image, method="smoother", radius=2, mode=None):
    """The method's own picture of ``image``, as ``varno edges`` writes it.

    Grey stays grey (HxW), colour gives HxWx3 RGB (CMYK and Lab converted as the module
    converts them), uint8, flat areas white and edges dark. ``image`` and ``mode`` as
    for ``select``. Raises as ``select`` does.
    """
    method, radius = _method(method), _radius(radius)
    return _core.edges(_array(image, "image"), method, radius, mode or "")


def read(path, with_mode=False):
    """A picture file as a numpy array, through varno's readers (PNG, JPEG, TIFF, BMP).

    HxW for grey, HxWx3 for RGB and Lab, HxWx4 for CMYK; uint8, or uint16 for 16-bit
    files; alpha dropped; CMYK and Lab in the conventions ``select`` takes. With
    ``with_mode=True`` returns ``(array, mode)``, mode one of "grey", "rgb", "cmyk",
    "lab". Raises VarnocketileError (code None) with varno's line for a file it cannot
    read, with the same limits and checks as varno; ValueError for a path holding a NUL,
    as ``open`` does.
    """
    array, mode = _core.read(_path(path))
    return (array, mode) if with_mode else array


def write(path, array):
    """Writes an HxW (grey) or HxWx3 (RGB) uint8 array as PNG, JPEG or BMP (by the
    extension of ``path``), whole or not at all, as varno writes its outputs.

    Raises TypeError/ValueError for a bad array or a path holding a NUL,
    VarnocketileError when the file cannot be written (the destination is then left as
    it was).
    """
    _core.write(_path(path), _array(array, "array"))


def select_files(paths, out_dir, method="smoother", radius=2, client=None, progress=True):
    """Each picture's selection into ``out_dir/NAME-selection.png``, as
    ``varno select PATHS... -o OUT_DIR/ -m METHOD -r RADIUS`` writes them.

    Runs in this process by default, or, given a ``dask.distributed.Client``, as one
    task per picture on the cluster's workers (each worker process loads the module
    once; the workers must share ``out_dir`` and reach the pictures by the same paths).
    Returns one entry per path, in order: the output path (str), or the
    VarnocketileError for a picture that failed, whose text is varno's line for it. A
    failing picture never stops the others; pictures whose selections would overwrite
    one another or one of the pictures are refused, as varno refuses them. A progress
    bar shows on long batches when ``progress`` is true and tqdm is installed. A path
    holding a NUL raises ValueError before anything is made.
    """
    from ._batch import run_batch

    if isinstance(paths, (str, bytes, os.PathLike)):
        raise TypeError("paths must be a list of paths, not one path")
    return run_batch([_path(p) for p in paths], _path(out_dir), _method(method), _radius(radius),
                     client, progress)
