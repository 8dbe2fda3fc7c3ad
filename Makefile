# The two commands: `make demo` runs the main job, `make check` runs every test suite.
# `make` builds the native release; `make win32` / `make win64` / `make winarm64` cross-build the
# Windows plug-ins; `make dist` packs the three into the installer and the zip in build/dist/;
# `make arm64` cross-builds the plug-in's suites for ARM64 Linux, which `make test-arm64` runs.

PRESETS := native native-asan win32 win64 arm64 winarm64
JOBS ?= $(shell nproc)

.PHONY: all native native-demo native-asan win32 win64 arm64 winarm64 fuzz dist check deps demo bench install-gimp test-gimp3 install deb test-install clean $(addprefix test-,$(PRESETS)) test-fuzz test-dist python test-python

all: native

deps:
	@scripts/install-deps

# A build is configured again when packages were installed since it was configured (Debian's
# package database changed): what the configuration found missing then (GIMP's development files,
# installed by `make check` after `make demo` configured the native build) is looked for again.
build/%/build.ninja: CMakeLists.txt CMakePresets.json $(wildcard /var/lib/dpkg/status)
	cmake --preset $* >/dev/null
	@touch $@

native native-demo native-asan win32 win64 arm64 winarm64 fuzz: %: build/%/build.ninja
	cmake --build --preset $* -j $(JOBS)

# The Windows ARM64 build's compiler: the ziglang package in a virtual environment under build/.
build/winarm64/build.ninja: build/ziglang/installed
build/ziglang/installed:
	@scripts/install-deps winarm64

# A test skipped for anything but an instruction-set level the processor lacks fails the check.
test-native test-native-asan: test-%: %
	ctest --preset $* -j $(JOBS)
	scripts/no-skips build/$*

# Wine programs run one after another; the dialog tests get a virtual display.
test-win32 test-win64: test-%: %
	scripts/with-display ctest --preset $*
	scripts/no-skips build/$*

# The ARM64 Linux suites under qemu-user (NEON and plain kernels against the x86 builds' hashes);
# the Windows ARM64 module read from its PE headers (nothing on this machine runs it).
test-arm64 test-winarm64: test-%: %
	ctest --preset $* -j $(JOBS)
	scripts/no-skips build/$*

# The libFuzzer targets (clang), each run briefly over its seed corpus; long runs: scripts/fuzz long.
test-fuzz: fuzz
	scripts/fuzz smoke

# The installer (NSIS) and the zip, from the three Windows builds.
dist: win32 win64 winarm64
	dist/package

# Installs, runs and uninstalls the release in a fresh 64-bit wine prefix; runs the zip's plug-ins.
test-dist: dist
	tests/dist/release_test

# The Python package, installed by pip (as `pip install ./python` does) into build/python-site, with
# Debian's own interpreter and packages only.
PYTHON := /usr/bin/python3
python:
	$(PYTHON) -m pip install --quiet --root-user-action=ignore --no-build-isolation --no-deps --no-index \
	  --upgrade --target build/python-site ./python

# Its tests, against varno of the native build; any failure, and no tests at all, fail the target.
test-python: python native
	VARNO=build/native/varno PYTHONPATH=build/python-site PYTHONDONTWRITEBYTECODE=1 \
	  $(PYTHON) -m pytest -q -p no:cacheprovider python/tests

check: deps
	$(MAKE) native native-asan win32 win64 arm64 winarm64 fuzz dist python
	$(MAKE) test-native test-native-asan test-win32 test-win64 test-arm64 test-winarm64 test-fuzz test-dist test-python test-install test-gimp3

# The GIMP 3 plug-in, built and tested in the Debian 13 root of scripts/gimp3-root (made when
# missing; a root that cannot be made fails the target): the batch cases of the GIMP suite in
# gimp-console-3.0 and the dialog on a virtual display, in build/gimp3.
test-gimp3:
	@scripts/install-deps gimp3
	scripts/gimp3-root make
	VARNO_JOBS=$(JOBS) scripts/gimp3-root run sh -c 'set -e; cmake -S . -B build/gimp3 -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; \
	  cmake --build build/gimp3 -j "$$VARNO_JOBS" --target test_gimp; \
	  ctest --test-dir build/gimp3 -R "^(gimp|gimp_dialog)$$" --output-on-failure; scripts/no-skips build/gimp3'

# Only what the demo runs: varno and the plug-in (the native-demo preset: no tests, no benchmark,
# no GIMP plug-in, the host side compiled as one unit per library).
demo:
	@scripts/install-deps native
	$(MAKE) native-demo
	scripts/demo build/native-demo/varno

# The GIMP plug-in of each GIMP that is installed (2.10, or 3 where the system has its development
# files) into the profile GIMP has made, else GIMP's system plug-ins folder (scripts/install-gimp).
# The configuration runs again so that GIMP's development files, when just installed, are found.
install-gimp:
	@scripts/install-deps gimp
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS) --target gimp_plugins
	scripts/install-gimp

# varno, its module, manual page and bash completion into $(DESTDIR)$(PREFIX), from the native
# build (only varno and the module are built).
PREFIX ?= /usr/local
install:
	@scripts/install-deps native
	$(MAKE) build/native/build.ninja
	cmake --build --preset native -j $(JOBS) --target varno plugin
	DESTDIR="$(DESTDIR)" cmake --install build/native --prefix "$(PREFIX)"

# The same files as a Debian package, build/dist/varnocketile_VERSION_ARCH.deb (dpkg-deb).
deb:
	@scripts/install-deps deb
	$(MAKE) build/native/build.ninja
	cmake --build --preset native -j $(JOBS) --target varno plugin
	dist/linux/deb build/native build/dist

# Installs into a scratch DESTDIR and runs the moved tree, then installs, runs and removes the package.
test-install: native
	tests/install/install_test

bench: deps
	scripts/bench
	$(MAKE) python
	scripts/bench-python

clean:
	rm -rf build
