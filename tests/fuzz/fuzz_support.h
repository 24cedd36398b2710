// Shared pieces of the fuzz targets: a private scratch folder per process (on tmpfs where the
// host has one, so that handing an input to a loader that takes a path costs a memory copy, not
// a disk write) and a check that aborts with a message, so libFuzzer keeps the input.
#ifndef TOLVEN_TESTS_FUZZ_SUPPORT_H
#define TOLVEN_TESTS_FUZZ_SUPPORT_H

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "image/boot_sector.h"
#include "image/chain_cursor.h"
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
    uint16_t folder;  // first cluster of the folder it lies in (0: the root)
};

inline bool isFolder(const uint8_t* entry) { return (entry[11] & de::kAttrDirectory) != 0; }
using SlotAt = std::pair<int32_t, int32_t>;  // an entry's slot: cluster (0: root), index

// Walks the folder at `first` (0 = root) and every folder below it, each folder once (a damaged
// image may lead back to a folder on the way), with nested walks that save and restore the
// cursor as the directory operations do. The walker must end every folder by itself; a hang
// shows up as a libFuzzer timeout.
// The entry at `skip` (cluster, index), when given, is neither reported nor entered.
inline void walkTree(VolumeImage& image, uint16_t first, int depth, std::vector<bool>& walked,
                     std::vector<WalkedEntry>* out, const SlotAt* skip = nullptr) {
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
        e.folder = first;
        bool skipped = skip != nullptr && *skip == SlotAt(e.entryCluster, e.entryIndex);
        if (out != nullptr && !skipped) out->push_back(e);
        uint16_t child = readLe16(e.entry + de::kFirstCluster);
        if (!skipped && isFolder(e.entry) && !isDotEntry(e.entry) && child < walked.size() &&
            !walked[child]) {
            walked[child] = true;
            WalkCursor cursor = image.saveCursor();
            walkTree(image, child, depth + 1, walked, out, skip);
            image.restoreCursor(cursor);
        }
        more = image.nextEntry(e.entry, e.longName, kLongNameBytes, e.entryCluster, e.entryIndex,
                               e.longNameCluster, e.longNameIndex);
    }
}

inline std::vector<WalkedEntry> walkAll(VolumeImage& image, const SlotAt* skip = nullptr) {
    std::vector<bool> walked(kFatTableEntries, false);
    walked[0] = true;
    std::vector<WalkedEntry> entries;
    walkTree(image, 0, 0, walked, &entries, skip);
    return entries;
}

// What an edit must leave of every entry it does not name: its bytes and long name, the bytes a
// file's size covers, and the chain ("." and ".." have none of their own).
struct EntryState {
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> chain;
    uint16_t first;
};
using Survey = std::map<SlotAt, EntryState>;

inline Survey survey(VolumeImage& image, const SlotAt* skip = nullptr) {
    Survey out;
    for (const WalkedEntry& e : walkAll(image, skip)) {
        EntryState& s = out[{e.entryCluster, e.entryIndex}];
        s.bytes.assign(e.entry, e.entry + 32);
        s.bytes.insert(s.bytes.end(), e.longName, e.longName + kLongNameBytes);
        s.first = isFolder(e.entry) ? readLe16(e.entry + de::kFirstCluster) : 0;
        size_t left = isFolder(e.entry) ? 0 : readLe32(e.entry + de::kFileSize);
        for (ChainCursor c(image, isDotEntry(e.entry) ? 0 : readLe16(e.entry + de::kFirstCluster));
             c.atCluster(); c.advance(), left -= std::min<size_t>(left, image.clusterBytes)) {
            s.chain.push_back(c.cluster());
            const uint8_t* d = image.clusterData(c.cluster());
            s.bytes.insert(s.bytes.end(), d, d + std::min<size_t>(left, image.clusterBytes));
        }
    }
    return out;
}

// Every entry of `before` is still there with its bytes and chain; the chains of folder `changed`
// (a subfolder, under any of its names) may only grow at their end (`grows`) or lose clusters.
inline void checkUnchanged(const Survey& before, const Survey& after, uint16_t changed,
                           bool grows) {
    for (const auto& b : before) {
        auto a = after.find(b.first);
        FUZZ_CHECK(a != after.end() && a->second.bytes == b.second.bytes);
        const std::vector<uint16_t>&was = b.second.chain, &now = a->second.chain;
        if (changed == 0 || b.second.first != changed) FUZZ_CHECK(now == was);
        else if (grows)
            FUZZ_CHECK(now.size() >= was.size() && std::equal(was.begin(), was.end(), now.begin()));
        else
            for (uint16_t c : now) FUZZ_CHECK(std::find(was.begin(), was.end(), c) != was.end());
    }
}

}  // namespace fuzz_support

#endif
