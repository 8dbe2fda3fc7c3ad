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
exists there. Set those variables before the first run, which makes that directory
(owner-only) when it is missing; one that cannot be made gives a ``RuntimeWarning``.

Arrays: anything ``numpy.asarray`` takes. uint8 and uint16 samples are read in place; float
images in [0, 1] are made 8-bit as ``skimage.img_as_ubyte`` makes them, bool ones 0 or 255;
an alpha channel (HxWx2 grey, HxWx4 RGB) is dropped, as varno drops it from files.

Threads: ``threads=`` sets the methods' worker threads for one run (through
``VARNOCKETILE_THREADS``, which the module reads from the process environment: set for the
run and put back after it); without it a ``VARNOCKETILE_THREADS`` the module would not take
(not a whole number 1..64) raises ValueError rather than being quietly ignored.

Runs: one at a time per process (the host is not reentrant); the GIL is released while
the module runs, and Ctrl-C (KeyboardInterrupt) reaches the module's abort test: the run
stops, nothing is returned or written, and KeyboardInterrupt is raised.
"""

import numbers
import os

import numpy

from . import _core
from ._errors import VarnocketileError

__all__ = ["select", "edges", "read", "write", "select_files", "VarnocketileError", "METHOD_NAMES",
           "COMBINE_NAMES", "__version__"]

#: The project's version, the one ``varno --version`` prints.
__version__ = _core.VERSION
#: The methods' names, for the numbers 3..7 in order (the plug-in's own parameter table).
METHOD_NAMES = _core.METHOD_NAMES
#: How ``select`` can put its new selection together with the current one.
COMBINE_NAMES = _core.COMBINE_NAMES

_FIRST_METHOD, _LAST_METHOD = _core.METHOD_RANGE
_MIN_RADIUS, _MAX_RADIUS = _core.RADIUS_RANGE
_MIN_THREADS, _MAX_THREADS = _core.THREADS_RANGE
# The colour channels of each mode; one more is an alpha channel, dropped as varno drops it.
_MODE_CHANNELS = {None: (1, 3), "": (1, 3), "grey": (1,), "gray": (1,), "rgb": (3,), "lab": (3,), "cmyk": (4,)}


def _method(method):
    if isinstance(method, str):
        value = _core.parse_method(method)
        if value == 0:
            raise ValueError(
                f"method must be one of {', '.join(METHOD_NAMES)} or {_FIRST_METHOD}..{_LAST_METHOD}, not {method!r}")
        return value
    if isinstance(method, bool) or not isinstance(method, numbers.Integral):
        raise TypeError(f"method must be a name or a number, not {type(method).__name__}")
    if not _FIRST_METHOD <= method <= _LAST_METHOD:
        raise ValueError(f"method must be {_FIRST_METHOD}..{_LAST_METHOD}, not {method}")
    return int(method)


def _whole(value, what, low, high):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{what} must be an integer, not {type(value).__name__}")
    if not low <= value <= high:
        raise ValueError(f"{what} must be {low}..{high}, not {value}")
    return int(value)


def _radius(radius):
    return _whole(radius, "radius", _MIN_RADIUS, _MAX_RADIUS)


def _threads(threads):
    """0 (the environment's setting) for None."""
    return 0 if threads is None else _whole(threads, "threads", _MIN_THREADS, _MAX_THREADS)


def _combine(combine):
    if not isinstance(combine, str):
        raise TypeError(f"combine must be a name, not {type(combine).__name__}")
    if combine not in COMBINE_NAMES:
        raise ValueError(f"combine must be one of {', '.join(COMBINE_NAMES)}, not {combine!r}")
    return combine


def _float_to_ubyte(array, what):
    """8-bit samples of a float image as ``skimage.util.img_as_ubyte`` makes them: times 255 in
    the image's own float type, rounded half to even. Values outside [0, 1] are refused (that
    function would clip negative ones to 0), and so is NaN (which it would make any byte)."""
    if array.size:
        if numpy.isnan(array).any():
            raise ValueError(f"{what} holds NaN; a float picture's samples are 0..1")
        low, high = array.min(), array.max()
        if low < 0 or high > 1:
            raise ValueError(f"a float {what}'s samples must be 0..1, not {low}..{high}")
    scaled = numpy.multiply(array, 255, dtype=array.dtype.newbyteorder("="))
    numpy.rint(scaled, out=scaled)
    return scaled.astype(numpy.uint8)


def _samples(value, what, mode=None, image=True):
    """``value`` as an array the extension takes: uint8 or uint16 samples as they are (read in
    place), bool as 0 or 255, float through ``_float_to_ubyte``; a structured dtype whose fields
    share one type as one channel per field; for an image, an alpha channel dropped and a single
    channel as HxW."""
    array = numpy.asarray(value)
    names = array.dtype.names
    if names:
        if len({array.dtype.fields[name][0] for name in names}) != 1:
            raise TypeError(f"a structured {what}'s fields must share one dtype, not {array.dtype}")
        from numpy.lib.recfunctions import structured_to_unstructured

        array = structured_to_unstructured(array)
    if image and array.ndim == 3 and (mode is None or isinstance(mode, str)):
        if array.shape[2] - 1 in _MODE_CHANNELS.get(mode, ()):
            array = array[:, :, :-1]
        if array.shape[2] == 1:
            array = array[:, :, 0]
    kind = array.dtype.kind
    if kind == "b":
        return array.astype(numpy.uint8) * numpy.uint8(255)
    if kind == "f":
        return _float_to_ubyte(array, what)
    if kind != "u":
        raise TypeError(f"{what} must be of dtype uint8, uint16, bool or float (0..1), not {array.dtype}")
    return array


def _path(path):
    """``os.fspath(path)``, refused as Python's own file functions refuse it when it holds a NUL
    (the system would take the name only up to the NUL: another file's)."""
    path = os.fspath(path)
    if ("\0" if isinstance(path, str) else b"\0") in path:
        raise ValueError("embedded null byte")
    return path


def select(image, method="smoother", radius=2, *, selection=None, combine="replace", threads=None, mode=None):
    """Select the edges of a picture, as ``varno select`` does.

    Parameters
    ----------
    image : array_like
        HxW (grey) or HxWx3 (RGB) samples; HxWx2 and HxWx4 have an alpha channel, which is
        dropped. uint8 or uint16 (either byte order, with metadata or structured with one field
        per channel) is read in place, any strides (16-bit samples are reduced to 8 bits by the
        host as varno does); float in [0, 1] is made 8-bit as ``skimage.img_as_ubyte`` does;
        bool is 0 or 255. Sides 1..32767. Leave the array unchanged until select returns.
    method : str or int, optional
        One of `METHOD_NAMES` (default ``"smoother"``) or its number 3..7.
    radius : int, optional
        1..3 (default 2); the line width of ``"variable"``.
    selection : array_like, optional
        The current selection, HxW of the image's size: uint8 (255 selected), bool or float in
        [0, 1]. None for no selection.
    combine : {"replace", "add", "subtract", "intersect"}, optional
        How the new selection is put together with `selection` (see `COMBINE_NAMES`): replace
        it (default), add to it (the larger value), subtract from it or intersect with it (the
        smaller value).
    threads : int, optional
        Worker threads of the methods for this run, 1..64 (1: none besides the run's own). By
        default ``VARNOCKETILE_THREADS`` when set, else one per processor.
    mode : {"grey", "rgb", "cmyk", "lab"}, optional
        ``"cmyk"`` takes HxWx4 CMYK with 255 (65535) meaning no ink, ``"lab"`` HxWx3 Lab with a
        and b centred on 128 (32768), as `read` hands such files out; each may carry alpha.

    Returns
    -------
    numpy.ndarray
        A new HxW uint8 selection, 255 selected.

    Raises
    ------
    TypeError, ValueError
        A bad array or argument, before the module runs (also a float sample outside [0, 1] or
        NaN, and a ``VARNOCKETILE_THREADS`` that is not 1..64 when `threads` is None).
    VarnocketileError
        The run failed; ``code`` is the module's result code.
    KeyboardInterrupt
        Ctrl-C stopped the run; nothing is returned.
    """
    method, radius, combine, threads = _method(method), _radius(radius), _combine(combine), _threads(threads)
    image = _samples(image, "image", mode)
    if selection is not None:
        selection = _samples(selection, "selection", image=False)
    return _core.select(image, method, radius, selection, mode or "", combine, threads)


def edges(image, method="smoother", radius=2, *, threads=None, mode=None):
    """The method's own picture of an image, as ``varno edges`` writes it.

    Parameters
    ----------
    image : array_like
        As for `select`.
    method : str or int, optional
        As for `select`.
    radius : int, optional
        As for `select`.
    threads : int, optional
        As for `select`.
    mode : {"grey", "rgb", "cmyk", "lab"}, optional
        As for `select`.

    Returns
    -------
    numpy.ndarray
        uint8, HxW for grey, HxWx3 RGB for colour (CMYK and Lab converted as the module
        converts them); flat areas white and edges dark.

    Raises
    ------
    TypeError, ValueError, VarnocketileError, KeyboardInterrupt
        As `select` raises them.
    """
    method, radius, threads = _method(method), _radius(radius), _threads(threads)
    return _core.edges(_samples(image, "image", mode), method, radius, mode or "", threads)


def read(path, with_mode=False):
    """Read a picture file (PNG, JPEG, TIFF, BMP) through varno's readers.

    Parameters
    ----------
    path : str, bytes or os.PathLike
        The file.
    with_mode : bool, optional
        Also return the picture's mode.

    Returns
    -------
    numpy.ndarray or (numpy.ndarray, str)
        HxW for grey, HxWx3 for RGB and Lab, HxWx4 for CMYK; uint8, or uint16 for 16-bit files;
        alpha dropped; CMYK and Lab in the conventions `select` takes. With `with_mode`, also
        the mode: one of ``"grey"``, ``"rgb"``, ``"cmyk"``, ``"lab"``.

    Raises
    ------
    OSError
        The system's failure, as its subclass (FileNotFoundError, PermissionError,
        IsADirectoryError, ...) with ``errno`` and ``filename``.
    VarnocketileError
        A file varno cannot read (not a picture, damaged, beyond its limits), with varno's line
        and ``code`` None.
    ValueError
        A path holding a NUL, as ``open`` refuses it.
    """
    array, mode = _core.read(_path(path))
    return (array, mode) if with_mode else array


def write(path, array):
    """Write a picture file as PNG, JPEG or BMP (by the extension of `path`), whole or not at
    all, as varno writes its outputs.

    Parameters
    ----------
    path : str, bytes or os.PathLike
        The file; an existing one is replaced in one step.
    array : array_like
        HxW (grey) or HxWx3 (RGB) uint8 (bool as 0 or 255, float 0..1 made 8-bit as for
        `select`).

    Raises
    ------
    OSError
        The system's failure, as its subclass, with ``errno`` and ``filename``; the
        destination is left as it was.
    VarnocketileError
        Any other failure to write the file (``code`` None).
    TypeError, ValueError
        A bad array, or a path holding a NUL.
    """
    _core.write(_path(path), _samples(array, "array", image=False))


def select_files(paths, out_dir, method="smoother", radius=2, client=None, progress=True):
    """Select the edges of picture files into ``out_dir/NAME-selection.png``, as
    ``varno select PATHS... -o OUT_DIR/ -m METHOD -r RADIUS`` writes them.

    Parameters
    ----------
    paths : sequence of str or os.PathLike
        The pictures.
    out_dir : str or os.PathLike
        Where the selections go.
    method, radius : optional
        As for `select`.
    client : distributed.Client, optional
        Runs one task per picture on the cluster's workers (each worker process loads the
        module once; the workers must share `out_dir` and reach the pictures by the same
        paths). By default the pictures run in this process.
    progress : bool, optional
        A progress bar on long batches when tqdm is installed.

    Returns
    -------
    list of str or VarnocketileError
        One entry per path, in order: the output path, or the VarnocketileError for a picture
        that failed, whose text is varno's line for it. A failing picture never stops the
        others; pictures whose selections would overwrite one another or one of the pictures
        are refused, as varno refuses them.

    Raises
    ------
    TypeError
        One path given instead of a list.
    ValueError
        A path holding a NUL, before anything is made.
    """
    from ._batch import run_batch

    if isinstance(paths, (str, bytes, os.PathLike)):
        raise TypeError("paths must be a list of paths, not one path")
    return run_batch([_path(p) for p in paths], _path(out_dir), _method(method), _radius(radius),
                     client, progress)
