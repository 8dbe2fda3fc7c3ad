# Windows ARM64: the same code for native ARM64 hosts, built with the clang, mingw-w64 runtime and
# libc++ of the ziglang package (scripts/zig/ calls it from the virtual environment that
# scripts/install-deps makes under build/). No emulator: its programs do not run on this machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
get_filename_component(VARNO_ZIG ${CMAKE_CURRENT_LIST_DIR}/../scripts/zig ABSOLUTE)
set(CMAKE_C_COMPILER ${VARNO_ZIG}/cc)
set(CMAKE_CXX_COMPILER ${VARNO_ZIG}/c++)
set(CMAKE_RC_COMPILER ${VARNO_ZIG}/rc)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
