# The two commands: `make demo` runs the main job, `make check` runs every test suite.
# `make` builds the native release; `make win32` / `make win64` cross-build the Windows plug-ins.

PRESETS := native native-asan win32 win64
JOBS ?= $(shell nproc)

.PHONY: all native native-asan win32 win64 check deps demo bench clean $(addprefix test-,$(PRESETS))

all: native

deps:
	@scripts/install-deps

build/%/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset $* >/dev/null

native native-asan win32 win64: %: build/%/build.ninja
	cmake --build --preset $* -j $(JOBS)

test-native test-native-asan: test-%: %
	ctest --preset $* -j $(JOBS)

# Wine programs run one after another; the dialog tests get a virtual display.
test-win32 test-win64: test-%: %
	scripts/with-display ctest --preset $*

check: deps
	$(MAKE) native native-asan win32 win64
	$(MAKE) test-native test-native-asan test-win32 test-win64

demo:
	@scripts/install-deps native
	$(MAKE) native
	scripts/demo

bench: deps
	scripts/bench

clean:
	rm -rf build
