# Tolven: `make` builds everything, `make test` runs every test, `make run` starts the window.
# All three first install what a fresh Debian machine lacks (scripts/install-deps.sh).

JOBS ?= 2
NATIVE := build/native
ASAN := build/asan
WIN32 := build/win32

.PHONY: all deps native asan windows test test-native test-asan test-windows run clean

all: deps native asan windows

deps:
	@scripts/install-deps.sh

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo
$(ASAN)/CMakeCache.txt:
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DTOLVEN_SANITIZE=ON
$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

native: deps $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j$(JOBS)
asan: deps $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j$(JOBS)
windows: deps $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j$(JOBS)

# Native tests, the same tests under the sanitizers, then the Windows build under Wine
# (core tests and window tests); ctest's summary closes each part.
test: all
	@scripts/run-tests.sh $(NATIVE) $(ASAN) $(WIN32)

test-native: native
	cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)
test-asan: asan
	cd $(ASAN) && ctest --output-on-failure -j$(JOBS)
test-windows: windows
	scripts/run-tests.sh "" "" $(WIN32)

run: deps windows
	@scripts/run-window.sh $(WIN32)/tolven.exe

clean:
	rm -rf build
