# Cross build for 64-bit Windows (a test build only, for machines that cannot run 32-bit
# programs) with Debian's MinGW-w64 (posix threads variant).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
