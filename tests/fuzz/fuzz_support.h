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
#include <vector>

#include "directory/dir_entry.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"

namespace fuzz_support {

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
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

// One entry as the walker gave it, with the path of folders that leads to it.
struct WalkedEntry {
    uint8_t entry[32];
    uint8_t longName[kLongNameBytes];
    int32_t entryCluster, entryIndex, longNameCluster, longNameIndex;
    int depth;
};

inline bool isFolder(const uint8_t* entry) { return (entry[11] & de::kAttrDirectory) != 0; }

// Walks the folder at `first` (0 = root) and every folder below it, each folder once (a damaged
// image may lead back to a folder on the way), with nested walks that save and restore the
// cursor as the directory operations do. The walker must end every folder by itself; a hang
// shows up as a libFuzzer timeout.
inline void walkTree(VolumeImage& image, uint16_t first, int depth, std::vector<bool>& walked,
                     std::vector<WalkedEntry>* out) {
    WalkedEntry e;
    uint8_t more = image.startWalk(first, e.entry, e.longName, kLongNameBytes, e.entryCluster,
                                   e.entryIndex, e.longNameCluster, e.longNameIndex);
    while (more) {
        // Every location the walker reports lies in the folder's own area.
        if (e.entryCluster == 0) {
            FUZZ_CHECK(e.entryIndex >= 0 && e.entryIndex < image.rootEntryCount());
        } else {
            FUZZ_CHECK(image.clusterData(static_cast<uint32_t>(e.entryCluster)) != nullptr);
            FUZZ_CHECK(e.entryIndex >= 0 && e.entryIndex < image.entriesPerCluster);
        }
        if (e.longNameIndex >= 0) {
            FUZZ_CHECK(e.longNameCluster == 0 ||
                       image.clusterData(static_cast<uint32_t>(e.longNameCluster)) != nullptr);
        }
        e.depth = depth;
        if (out != nullptr) out->push_back(e);
        uint16_t child = readLe16(e.entry + de::kFirstCluster);
        if (isFolder(e.entry) && !isDotEntry(e.entry) && child < walked.size() && !walked[child]) {
            walked[child] = true;
            WalkCursor cursor = image.saveCursor();
            walkTree(image, child, depth + 1, walked, out);
            image.restoreCursor(cursor);
        }
        more = image.nextEntry(e.entry, e.longName, kLongNameBytes, e.entryCluster, e.entryIndex,
                               e.longNameCluster, e.longNameIndex);
    }
}

inline std::vector<WalkedEntry> walkAll(VolumeImage& image) {
    std::vector<bool> walked(kFatTableEntries, false);
    walked[0] = true;
    std::vector<WalkedEntry> entries;
    walkTree(image, 0, 0, walked, &entries);
    return entries;
}

}  // namespace fuzz_support

#endif
