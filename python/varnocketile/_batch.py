"""select_files: the plan of a batch's outputs and its runs, here or on a Dask cluster."""

import os

from . import _core
from ._errors import VarnocketileError

# Fewer pictures than this show no progress bar.
_BAR_FROM = 4


def _stem(path):
    name = path.replace("\\", "/").rsplit("/", 1)[-1]
    dot = name.rfind(".")
    return name if dot <= 0 else name[:dot]


def _identity(path):
    """What a path names, as varno tells files apart: an existing file by its device and number
    (links, hard links and spellings agree), else its absolute name with links followed."""
    try:
        status = os.stat(path)
        return (status.st_dev, status.st_ino)
    except OSError:
        return os.path.normpath(os.path.realpath(path))


def plan(paths, out_dir):
    """(output, refusal) per picture: varno's names, and its refusals of outputs that would
    replace a picture of the batch or another picture's selection."""
    inputs = {}
    for path in paths:
        inputs.setdefault(_identity(path), path)
    outputs, planned = {}, []
    separator = "" if out_dir.endswith(("/", "\\")) else "/"
    for path in paths:
        output = out_dir + separator + _stem(path) + "-selection.png"
        identity = _identity(output)
        refusal = None
        if identity in inputs:
            refusal = f"its selection '{output}' would replace the picture '{inputs[identity]}'"
        elif identity in outputs:
            earlier = outputs[identity]
            refusal = ("given twice" if _identity(earlier) == _identity(path)
                       else f"its selection '{output}' is the selection of '{earlier}' too")
        else:
            outputs[identity] = path
        planned.append((output, refusal))
    return planned


def select_one(path, output, method, radius):
    """One picture: its output path, or the VarnocketileError that stopped it (a task of its own
    on a cluster; the module is loaded once per worker process)."""
    try:
        _core.select_file(path, output, method, radius)
        return output
    except VarnocketileError as error:
        return error


def _bar(total, progress):
    if not progress or total < _BAR_FROM:
        return None
    try:
        from tqdm import tqdm
    except ImportError:
        return None
    return tqdm(total=total, unit="picture")


def run_batch(paths, out_dir, method, radius, client, progress):
    try:
        os.makedirs(out_dir, exist_ok=True)
    except OSError as error:
        raise VarnocketileError(f"cannot create '{out_dir}': {error.strerror or error}") from error
    planned = plan(paths, out_dir)
    results = [VarnocketileError(f"'{path}': {refusal}") if refusal else None
               for path, (_, refusal) in zip(paths, planned)]
    todo = [i for i, result in enumerate(results) if result is None]
    bar = _bar(len(todo), progress)
    try:
        if client is None:
            for i in todo:
                try:
                    results[i] = select_one(paths[i], planned[i][0], method, radius)
                except Exception as error:  # an unexpected failure stays this picture's
                    results[i] = error
                if bar:
                    bar.update()
        else:
            from distributed import as_completed

            futures = {client.submit(select_one, paths[i], planned[i][0], method, radius, pure=False): i for i in todo}
            try:
                for future in as_completed(futures):
                    i = futures[future]
                    results[i] = future.exception() if future.status == "error" else future.result()
                    if bar:
                        bar.update()
            except BaseException:
                # Ctrl-C here: the pictures not begun yet are not begun at all.
                client.cancel(list(futures))
                raise
    finally:
        if bar:
            bar.close()
    return results


def module_loads():
    """How many times this process loaded the plug-in module (0 before its first run, then 1)."""
    return _core.plugin_loads()
