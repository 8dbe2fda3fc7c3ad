"""varnocketile against varno: the same selections and pictures, the documented errors, Ctrl-C, and
batches here and on a cluster of two worker processes."""

import ast
import ctypes
import errno
import fcntl
import os
import shutil
import signal
import threading
import traceback
from pathlib import Path

import numpy
import pytest
from skimage.util import img_as_ubyte

import varnocketile as v
from conftest import PHOTOS, varno

METHODS = {"traditional": 3, "skinny": 4, "smoother": 5, "fine": 6, "variable": 7}


@pytest.mark.parametrize("method", list(METHODS))
def test_select_and_edges_equal_varno(photos, tmp_path, method):
    radius = 3 if method == "variable" else 2
    names = ["grey", "rgb", "grey16", "rgb16"]
    varno("select", *(photos[n] for n in names), "-o", f"{tmp_path}/", "-m", method, "-r", radius)
    for name in names:
        image = v.read(photos[name])
        assert image.dtype == (numpy.uint16 if name.endswith("16") else numpy.uint8)
        expected = v.read(tmp_path / f"{photos[name].stem}-selection.png")
        # By name and by number, as varno takes them.
        assert numpy.array_equal(v.select(image, method, radius), expected), name
        assert numpy.array_equal(v.select(image, METHODS[method], radius), expected), name
        varno("edges", photos[name], "-o", tmp_path / "edges.png", "-m", method, "-r", radius)
        assert numpy.array_equal(v.edges(image, method, radius), v.read(tmp_path / "edges.png")), name


def test_views_selection_and_remembered_settings(photos, tmp_path):
    rgb = v.read(photos["rgb"])
    mask = numpy.zeros(rgb.shape[:2], numpy.uint8)
    mask[100:400, 50:300] = 255
    v.write(tmp_path / "mask.png", mask)
    varno("select", photos["rgb"], "-o", tmp_path / "a.png", "-m", "fine", "--selection", tmp_path / "mask.png")
    assert numpy.array_equal(v.select(rgb, "fine", selection=mask), v.read(tmp_path / "a.png"))
    views = [rgb[::2, ::3], rgb[::-1, :, ::-1], numpy.asfortranarray(rgb), rgb[:, :, 1], mask[10:, 5:]]
    for view in views:
        assert numpy.array_equal(v.select(view, "traditional"), v.select(numpy.ascontiguousarray(view), "traditional"))
    # uint16 and uint8 samples in either byte order or with metadata: as in this machine's order.
    wide = v.read(photos["rgb16"])
    for same, native in ((wide.astype(">u2"), wide), (wide.view(numpy.dtype("u2", metadata={"a": 1})), wide),
                         (rgb.view(numpy.dtype("u1", metadata={"a": 1})), rgb)):
        assert numpy.array_equal(v.select(same, "traditional"), v.select(native, "traditional"))
    # The module remembers the last run where varno's module looks for it.
    ours = v.select(rgb, "variable", 1)
    varno("select", photos["rgb"], "-o", tmp_path / "b.png")
    assert numpy.array_equal(ours, v.read(tmp_path / "b.png"))


def run_log_lines(drive):
    return (drive / "VEXAlog.txt").read_text(errors="replace").count("\n")


GOOD = numpy.zeros((8, 8, 3), numpy.uint8)
BAD_CALLS = [
    (lambda: v.select(GOOD.astype(numpy.int16)), TypeError),
    (lambda: v.select(GOOD.astype(">i2")), TypeError),
    (lambda: v.select(GOOD.tolist()), TypeError),
    (lambda: v.select(GOOD[None]), ValueError),
    (lambda: v.select(numpy.zeros((8, 8, 6), numpy.uint8)), ValueError),
    (lambda: v.select(GOOD + 1j), TypeError),
    (lambda: v.select(numpy.zeros((8, 8), [("r", "u1"), ("g", "u2")])), TypeError),
    (lambda: v.select(GOOD + 1.01), ValueError),
    (lambda: v.select(GOOD - 0.1), ValueError),
    (lambda: v.select(GOOD * numpy.nan), ValueError),
    (lambda: v.select(GOOD, "fine", 2, GOOD[:, :, 0]), TypeError),
    (lambda: v.select(GOOD, combine="xor"), ValueError),
    (lambda: v.select(GOOD, combine=1), TypeError),
    (lambda: v.select(GOOD, threads=0), ValueError),
    (lambda: v.edges(GOOD, threads=65), ValueError),
    (lambda: v.select(GOOD, threads=2.0), TypeError),
    (lambda: v.select(GOOD, mode="cmyk"), ValueError),
    (lambda: v.select(GOOD[:0]), ValueError),
    (lambda: v.select(numpy.broadcast_to(numpy.uint8(0), (2, 32768))), ValueError),
    (lambda: v.select(GOOD, selection=GOOD[:, :, 0].astype(numpy.uint16)), TypeError),
    (lambda: v.select(GOOD, selection=GOOD[:7, :, 0]), ValueError),
    (lambda: v.select(GOOD, "nope"), ValueError),
    (lambda: v.select(GOOD, 8), ValueError),
    (lambda: v.select(GOOD, 5.0), TypeError),
    (lambda: v.select(GOOD, radius=4), ValueError),
    (lambda: v.edges(GOOD, mode="lab", radius=0), ValueError),
    (lambda: v.write("x.png", GOOD.astype(numpy.uint16)), TypeError),
]


def test_bad_arrays_are_refused_before_the_module_runs(drive):
    v.select(GOOD)
    before = run_log_lines(drive)
    assert before > 0
    for call, error in BAD_CALLS:
        with pytest.raises(error):
            call()
    assert run_log_lines(drive) == before


def test_bad_files(photos, tmp_path):
    damaged = tmp_path / "damaged.png"
    damaged.write_bytes(photos["rgb"].read_bytes()[:20000])
    for path in (damaged, PHOTOS / "README.txt"):
        line = varno("select", path, "-o", tmp_path / "x.png", check=False).stderr.strip()
        with pytest.raises(v.VarnocketileError) as error:
            v.read(path)
        assert (str(error.value), error.value.code) == (line.removeprefix("varno: "), None)
    # A NUL ends a name for the system: refused as open() refuses it, nothing read or made.
    for call in (lambda: v.read(f"{photos['rgb']}\0.txt"), lambda: v.write(tmp_path / "x.png\0.bmp", GOOD),
                 lambda: v.select_files([f"{photos['rgb']}\0"], tmp_path / "out", progress=False)):
        with pytest.raises(ValueError, match="embedded null byte"):
            call()
    assert not (tmp_path / "x.png").exists() and not (tmp_path / "out").exists()


def _opening_error(path):
    """The OSError class and errno Python's own open() meets writing `path`."""
    try:
        open(path, "wb").close()
    except OSError as error:
        return type(error), error.errno
    raise AssertionError(f"{path} could be written")


FILE_ERRORS = [  # (call given the scratch directory and the path it names, error, errno)
    (lambda d, path: v.read(path / "missing.png"), FileNotFoundError, errno.ENOENT),
    (lambda d, path: v.read(path), IsADirectoryError, errno.EISDIR),
    (lambda d, path: v.write(path / "no" / "such.png", GOOD), FileNotFoundError, errno.ENOENT),
    (lambda d, path: v.write(os.fsencode(d / "dir.png"), GOOD), IsADirectoryError, errno.EISDIR),
    # Refused even to root where /sys is writable (PermissionError), read-only elsewhere.
    (lambda d, path: v.write("/sys/varnocketile.png", GOOD), *_opening_error("/sys/varnocketile.png")),
]


@pytest.mark.parametrize("call, error, code", FILE_ERRORS)
def test_file_errors_are_the_systems(tmp_path, call, error, code):
    (tmp_path / "dir.png").mkdir()
    with pytest.raises(error) as raised:
        call(tmp_path, tmp_path)
    assert raised.value.errno == code and os.fsdecode(raised.value.filename).startswith(("/sys/", str(tmp_path)))


@pytest.fixture(scope="module")
def pictures(photos):
    grey, rgb, rgb16 = (v.read(photos[n])[:160, :200] for n in ("grey", "rgb", "rgb16"))
    noise = numpy.random.default_rng(2).random(grey.shape)
    return {"grey": grey, "rgb": rgb, "rgb16": rgb16, "noise": noise, "mask": (grey > 100) * numpy.uint8(255)}


SAME_SELECTIONS = [  # (image, selection) given, and the (image, selection) to select the same as
    (lambda p: (p["noise"].tolist(), None), lambda p: (img_as_ubyte(p["noise"]), None)),
    (lambda p: (p["noise"].astype(">f4"), None), lambda p: (img_as_ubyte(p["noise"].astype("f4")), None)),
    (lambda p: (p["rgb"] / numpy.float16(255), None), lambda p: (img_as_ubyte(p["rgb"] / numpy.float16(255)), None)),
    (lambda p: (p["grey"] > 99, p["mask"] > 0), lambda p: ((p["grey"] > 99) * numpy.uint8(255), p["mask"])),
    (lambda p: (memoryview(p["grey"]), p["mask"] / 255), lambda p: (p["grey"], p["mask"])),
    (lambda p: (numpy.dstack([p["rgb"], p["grey"]]), None), lambda p: (p["rgb"], None)),
    (lambda p: (numpy.dstack([p["rgb16"][:, :, 0]] * 2)[:, ::-1], None), lambda p: (p["rgb16"][:, ::-1, 0], None)),
    (lambda p: (p["rgb16"].astype(">u2").view([("r", ">u2"), ("g", ">u2"), ("b", ">u2")])[:, :, 0], None),
     lambda p: (p["rgb16"], None)),
]


@pytest.mark.parametrize("given, same", SAME_SELECTIONS)
def test_array_likes(pictures, given, same):
    (image, selection), (expected, current) = given(pictures), same(pictures)
    assert numpy.array_equal(v.select(image, "fine", selection=selection),
                             v.select(expected, "fine", selection=current))


@pytest.mark.parametrize("combine, combined", [
    ("replace", lambda old, new: new), ("add", numpy.maximum), ("intersect", numpy.minimum),
    ("subtract", lambda old, new: numpy.minimum(old, 255 - new))])
def test_combine(pictures, combine, combined):
    new = v.select(pictures["rgb"], selection=pictures["mask"])
    assert numpy.array_equal(v.select(pictures["rgb"], selection=pictures["mask"], combine=combine),
                             combined(pictures["mask"], new))


def c_environment():
    getenv = ctypes.CDLL(None).getenv
    getenv.restype = ctypes.c_char_p
    return getenv(b"VARNOCKETILE_THREADS")


@pytest.mark.parametrize("setting, threads, made", [
    (None, 1, 1), (None, 3, 4), ("2", None, 3), ("5", 2, 3), ("x", 1, 1), ("x", None, ValueError),
    ("0", None, ValueError), ("", None, None)])
def test_threads(photos, monkeypatch, setting, threads, made):
    """`made`: the threads a run makes (its own and the methods' workers), counted while it runs."""
    if setting is not None:
        monkeypatch.setenv("VARNOCKETILE_THREADS", setting)
    big, most, done = numpy.tile(v.read(photos["rgb"]), (3, 3, 1)), [0], threading.Event()
    count = lambda: len(os.listdir("/proc/self/task"))
    def watch():
        while not done.wait(0.0002):
            most[0] = max(most[0], count())
    watcher = threading.Thread(target=watch)
    watcher.start()
    before = count()
    try:
        if made is not ValueError:
            v.select(big, "skinny", threads=threads)
        for call in (v.select, v.edges) if made is ValueError else ():
            with pytest.raises(ValueError, match="VARNOCKETILE_THREADS"):
                call(big, "skinny", threads=threads)
    finally:
        done.set()
        watcher.join()
    assert c_environment() == (None if setting is None else setting.encode())
    assert made in (None, ValueError) or most[0] - before == made


def test_version_and_stub_names():
    stub = ast.parse((Path(v.__file__).parent / "__init__.pyi").read_text())
    literals = {node.targets[0].id: ast.literal_eval(node.value.slice) for node in stub.body
                if isinstance(node, ast.Assign) and isinstance(node.value, ast.Subscript)}
    assert (literals["MethodName"], literals["CombineName"]) == (v.METHOD_NAMES, v.COMBINE_NAMES)
    assert v.__version__ == varno("--version").stdout.split()[1]


def interrupted_select(image):
    """select() with Ctrl-C pressed every 20 ms until it returns; only the first press counts. Whether
    the interrupt came from within the module's run (not from the Python code around it)."""
    done, raised = threading.Event(), []

    def first_only(*_):
        if not raised:
            raised.append(1)
            raise KeyboardInterrupt

    def press():
        while not done.wait(0.02):
            os.kill(os.getpid(), signal.SIGINT)

    previous = signal.signal(signal.SIGINT, first_only)
    presser = threading.Thread(target=press)
    presser.start()
    try:
        with pytest.raises(KeyboardInterrupt) as stopped:
            v.select(image, "skinny")
    finally:
        done.set()
        presser.join()
        signal.signal(signal.SIGINT, previous)
    return "_core.select" in traceback.extract_tb(stopped.tb)[-2].line


def test_ctrl_c_stops_the_run(photos, drive):
    big = numpy.tile(v.read(photos["rgb"]), (6, 6, 1))
    files = sorted((p.name, p.read_bytes()) for p in drive.iterdir())
    # A loaded machine may let a press land before the run begins: that attempt does not count.
    assert any(interrupted_select(big) for _ in range(3))
    # The run stopped at an abort test: no log line, settings or output left behind.
    assert sorted((p.name, p.read_bytes()) for p in drive.iterdir()) == files
    assert v.select(big[:64, :64]).shape == (64, 64)


def test_a_failure_after_the_run_leaves_the_settings_and_log(photos, drive, tmp_path):
    v.select(GOOD, "fine", 1)
    files = sorted((p.name, p.read_bytes()) for p in drive.iterdir())
    # A directory where the selection goes: the picture fails after the module's run.
    (tmp_path / f"{photos['grey'].stem}-selection.png").mkdir()
    [failed] = v.select_files([photos["grey"]], tmp_path, "variable", 3, progress=False)
    assert isinstance(failed, v.VarnocketileError) and "cannot write" in str(failed)
    assert sorted((p.name, p.read_bytes()) for p in drive.iterdir()) == files
    # Preferences another program holds: the run goes on with the defaults and says so.
    with open(drive / "QUENpref.xxx", "rb+") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        with pytest.warns(RuntimeWarning, match="the remembered settings were not available"):
            v.select(GOOD)


def test_select_files_here_and_on_a_cluster(tmp_path):
    from distributed import Client, LocalCluster

    pictures = tmp_path / "in"
    pictures.mkdir()
    names = ["camera", "astronaut", "coffee", "chelsea", "coins", "moon", "page", "text", "brick", "cell", "ihc"]
    paths = [shutil.copy(PHOTOS / f"{n}.png", pictures) for n in names]
    damaged = pictures / "damaged.png"
    damaged.write_bytes((PHOTOS / "moon.png").read_bytes()[:3000])
    paths.insert(5, str(damaged))
    lines = varno("select", *paths, "-o", f"{tmp_path}/varno/", "-m", "fine", check=False).stderr.splitlines()
    failed = [line for line in lines if not line.startswith("varno: warning: ")]  # profiles some photographs carry
    assert len(failed) == 2
    local = v.select_files(paths, tmp_path / "local", "fine", progress=False)
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        remote = v.select_files(paths, tmp_path / "remote", "fine", client=client, progress=False)
        assert list(client.run(v._batch.module_loads).values()) == [1, 1]
    for results, where in ((local, "local"), (remote, "remote")):
        assert [str(r) for r in results if isinstance(r, v.VarnocketileError)] == [failed[0].removeprefix("varno: ")]
        for path, result in zip(paths, results):
            if path != str(damaged):
                stem = os.path.basename(path)[:-4]
                assert result == f"{tmp_path}/{where}/{stem}-selection.png"
                assert open(result, "rb").read() == (tmp_path / "varno" / f"{stem}-selection.png").read_bytes()
