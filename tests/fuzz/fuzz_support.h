// Shared pieces of the fuzz targets: a private scratch folder per process (on tmpfs where the
// host has one, so that handing an input to a loader that takes a path costs a memory copy, not
// a disk write) and a check that aborts with a message, so libFuzzer keeps the input.
#ifndef TOLVEN_TESTS_FUZZ_SUPPORT_H
#define TOLVEN_TESTS_FUZZ_SUPPORT_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "image/volume_image.h"

namespace fuzz_support {

#define FUZZ_CHECK(condition)                                                            \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__,    \
                         #condition);                                                    \
            std::abort();                                                                \
        }                                                                                \
    } while (0)

inline std::string& scratchRoot() {
    static std::string root;
    return root;
}

inline void removeScratch() {
    std::error_code ec;
    if (!scratchRoot().empty()) std::filesystem::remove_all(scratchRoot(), ec);
}

// The process's scratch folder, made on first use and removed at exit; ends in '/'.
inline const std::string& scratchDir() {
    std::string& root = scratchRoot();
    if (root.empty()) {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::filesystem::path dir = base / ("tolven-fuzz-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir);
        root = dir.string() + "/";
        std::atexit(removeScratch);
    }
    return root;
}

// Writes the input to `name` in the scratch folder (the same file every run) and returns its path.
inline std::string writeInput(const char* name, const uint8_t* data, size_t size) {
    std::string path = scratchDir() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);
    return path;
}

// The four counts cover every data cluster exactly once.
inline void checkCounts(const VolumeImage& image) {
    int sum = image.countFreeClusters() + image.countUsedClusters() +
              image.countReservedClusters() + image.countBadClusters();
    FUZZ_CHECK(sum == image.getClusterCount());
}

}  // namespace fuzz_support

#endif
