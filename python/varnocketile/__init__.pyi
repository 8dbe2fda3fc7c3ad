from os import PathLike
from typing import Any, Literal, Sequence, overload

import numpy
import numpy.typing as npt

Method = Literal["traditional", "skinny", "smoother", "fine", "variable", "3", "4", "5", "6", "7"] | int
Mode = Literal["grey", "gray", "rgb", "cmyk", "lab"]
StrPath = str | PathLike[str]

class VarnocketileError(Exception):
    message: str
    code: int | None
    def __init__(self, message: str, code: int | None = ...) -> None: ...

def select(
    image: npt.NDArray[numpy.uint8] | npt.NDArray[numpy.uint16],
    method: Method = ...,
    radius: int = ...,
    selection: npt.NDArray[numpy.uint8] | None = ...,
    mode: Mode | None = ...,
) -> npt.NDArray[numpy.uint8]: ...
def edges(
    image: npt.NDArray[numpy.uint8] | npt.NDArray[numpy.uint16],
    method: Method = ...,
    radius: int = ...,
    mode: Mode | None = ...,
) -> npt.NDArray[numpy.uint8]: ...
@overload
def read(path: StrPath, with_mode: Literal[False] = ...) -> npt.NDArray[Any]: ...
@overload
def read(path: StrPath, with_mode: Literal[True]) -> tuple[npt.NDArray[Any], Mode]: ...
def write(path: StrPath, array: npt.NDArray[numpy.uint8]) -> None: ...
def select_files(
    paths: Sequence[StrPath],
    out_dir: StrPath,
    method: Method = ...,
    radius: int = ...,
    client: Any = ...,
    progress: bool = ...,
) -> list[str | VarnocketileError]: ...
