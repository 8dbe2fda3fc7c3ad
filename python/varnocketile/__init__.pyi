from os import PathLike
from typing import Any, Literal, Sequence, overload

import numpy
import numpy.typing as npt

# The names of the plug-in's parameter table and of the host's combine modes; the package's tests
# check them against METHOD_NAMES and COMBINE_NAMES.
MethodName = Literal["traditional", "skinny", "smoother", "fine", "variable"]
CombineName = Literal["replace", "add", "subtract", "intersect"]
Method = MethodName | str | int
Mode = Literal["grey", "gray", "rgb", "cmyk", "lab"]
StrPath = str | bytes | PathLike[str] | PathLike[bytes]

__version__: str
METHOD_NAMES: tuple[MethodName, ...]
COMBINE_NAMES: tuple[CombineName, ...]

class VarnocketileError(Exception):
    message: str
    code: int | None
    def __init__(self, message: str, code: int | None = ...) -> None: ...

def select(
    image: npt.ArrayLike,
    method: Method = ...,
    radius: int = ...,
    *,
    selection: npt.ArrayLike | None = ...,
    combine: CombineName = ...,
    threads: int | None = ...,
    mode: Mode | None = ...,
) -> npt.NDArray[numpy.uint8]: ...
def edges(
    image: npt.ArrayLike,
    method: Method = ...,
    radius: int = ...,
    *,
    threads: int | None = ...,
    mode: Mode | None = ...,
) -> npt.NDArray[numpy.uint8]: ...
@overload
def read(path: StrPath, with_mode: Literal[False] = ...) -> npt.NDArray[Any]: ...
@overload
def read(path: StrPath, with_mode: Literal[True]) -> tuple[npt.NDArray[Any], Mode]: ...
def write(path: StrPath, array: npt.ArrayLike) -> None: ...
def select_files(
    paths: Sequence[str | PathLike[str]],
    out_dir: str | PathLike[str],
    method: Method = ...,
    radius: int = ...,
    client: Any = ...,
    progress: bool = ...,
) -> list[str | VarnocketileError]: ...
