# Tolven: `make` builds everything, `make test` runs every test, `make run` starts the window.
# All three first install what a fresh Debian machine lacks (scripts/install-deps.sh).
# `make check` is the everyday lane: native and sanitizer tests and the fuzz seeds, without Wine.
# `make fuzz` runs every libFuzzer target for FUZZ_SECONDS each.

JOBS ?= 2
# WERROR=ON (what .ci/run passes; a CI=true environment does the same) makes every warning of the
# project's own code an error, in build folders configured anew.
WERROR ?= $(if $(CI),ON,OFF)
NATIVE := build/native
ASAN := build/asan
WIN32 := build/win32
FUZZ := build/fuzz
# Machines without IA-32 emulation cannot run 32-bit programs, so neither 32-bit Wine: there the
# Windows suites run on a 64-bit build of the same code under wine64 (build/win64, a test build
# only), and the 32-bit programs are still built and checked.
WIN64 := build/win64
FUZZ_SECONDS ?= 180

.PHONY: all deps native asan windows windows64 fuzz-build test check test-native test-asan test-windows test-fuzz \
	fuzz run clean

all: deps native asan windows fuzz-build

deps:
	@scripts/install-deps.sh

$(NATIVE)/CMakeCache.txt: | deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVEN_WERROR=$(WERROR)
$(ASAN)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DTOLVEN_SANITIZE=ON -DTOLVEN_WERROR=$(WERROR)
$(FUZZ)/CMakeCache.txt: | deps
	cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVEN_FUZZ=ON -DTOLVEN_WERROR=$(WERROR) \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
$(WIN64)/CMakeCache.txt: | deps
	cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	  -DTOLVEN_WERROR=OFF
$(WIN32)/CMakeCache.txt: | deps
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DTOLVEN_WERROR=$(WERROR)

native: deps $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j$(JOBS)
asan: deps $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j$(JOBS)
windows: deps $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j$(JOBS)
windows64: deps $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j$(JOBS)
fuzz-build: deps $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j$(JOBS)

# Native tests, the same tests under the sanitizers, every fuzz target once over its seeds and its
# kept reproducers, then the Windows build under Wine (core tests and window tests); ctest's
# summary closes the run.
test: all
	@if scripts/runs-32bit.sh; then scripts/run-tests.sh $(NATIVE) $(ASAN) $(WIN32) $(FUZZ); \
	else $(MAKE) --no-print-directory windows64 && \
	  scripts/run-tests.sh $(NATIVE) $(ASAN) $(WIN64) $(FUZZ) $(WIN32); fi

check: deps native asan fuzz-build
	@scripts/run-tests.sh $(NATIVE) $(ASAN) "" $(FUZZ)

test-native: native
	cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)
test-asan: asan
	cd $(ASAN) && ctest --output-on-failure -j$(JOBS)
test-windows: windows
	@if scripts/runs-32bit.sh; then scripts/run-tests.sh "" "" $(WIN32); \
	else $(MAKE) --no-print-directory windows64 && scripts/run-tests.sh "" "" $(WIN64) "" $(WIN32); fi
test-fuzz: fuzz-build
	scripts/fuzz.sh check $(FUZZ)

fuzz: fuzz-build
	scripts/fuzz.sh run $(FUZZ) $(FUZZ_SECONDS)

run: deps windows
	@scripts/run-window.sh $(WIN32)/tolven.exe

clean:
	rm -rf build
