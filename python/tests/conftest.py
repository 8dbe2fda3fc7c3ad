"""Fixtures of the package's tests: varno beside the package, a drive C of their own, and the
photographs that ship with python3-skimage (with 16-bit versions of two of them)."""

import os
import struct
import subprocess
import zlib
from pathlib import Path

import numpy
import pytest

ROOT = Path(__file__).resolve().parents[2]
PHOTOS = Path("/usr/lib/python3/dist-packages/skimage/data")
VARNO = os.environ.get("VARNO", str(ROOT / "build" / "native" / "varno"))


@pytest.fixture(scope="session", autouse=True)
def drive(tmp_path_factory):
    """Where the module keeps its preferences and run log, for varno and this process alike
    (set before the first run); the run log is kept, one line per successful run."""
    path = tmp_path_factory.mktemp("drive_c")
    os.environ["VARNO_DRIVE_C"] = str(path)
    os.environ.pop("MORVELAN_PATH", None)
    (path / "VEXAlog.txt").write_bytes(b"")
    return path


def varno(*args, check=True):
    return subprocess.run([VARNO, *map(str, args), "--quiet"], capture_output=True, text=True, check=check)


def png16(path, array):
    """A 16-bit grey or RGB PNG, for pictures that varno and read() take at 16 bits."""
    height, width = array.shape[:2]
    raw = b"".join(b"\0" + row.astype(">u2").tobytes() for row in array)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", width, height, 16, 0 if array.ndim == 2 else 2, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) +
                     chunk(b"IEND", b""))
    return path


@pytest.fixture(scope="session")
def photos(tmp_path_factory):
    """name -> path: grey and RGB photographs, and 16-bit ones whose low bits vary."""
    import varnocketile

    out = tmp_path_factory.mktemp("photos")
    noise = numpy.random.default_rng(1)
    paths = {"grey": PHOTOS / "camera.png", "rgb": PHOTOS / "astronaut.png", "rgb2": PHOTOS / "coffee.png"}
    for name in ("grey", "rgb"):
        eight = varnocketile.read(paths[name]).astype(numpy.uint16)
        sixteen = eight * 257 + noise.integers(-128, 128, eight.shape).clip(-eight * 257, 65535 - eight * 257)
        paths[name + "16"] = png16(out / f"{name}16.png", sixteen.astype(numpy.uint16))
    return paths
