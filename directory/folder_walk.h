// Visiting the entries of a folder through the walker (VolumeImage::startWalk and nextEntry),
// for every reader of folders: one loop instead of the walker's seven outputs at each caller.
#ifndef TOLVEN_DIRECTORY_FOLDER_WALK_H
#define TOLVEN_DIRECTORY_FOLDER_WALK_H

#include <cstdint>
#include <type_traits>

#include "directory/dir_entry.h"
#include "image/volume_image.h"

// One entry as the walker reports it, with the locations of its slots.
struct WalkedEntry {
    uint8_t entry[de::kSize];
    uint16_t longName[kLongNameUnits];  // as the walker composed it; all zero when none
    int32_t entryCluster, entryIndex, longNameCluster, longNameIndex;

    uint8_t* longNameBytes() { return reinterpret_cast<uint8_t*>(longName); }
};

// Saves the walker's cursor and puts it back when it goes out of scope, so that a walk nested in
// another (or any walk started while another is under way) leaves the outer walk where it was.
class WalkCursorGuard {
public:
    explicit WalkCursorGuard(VolumeImage& image) : image_(image), saved_(image.saveCursor()) {}
    ~WalkCursorGuard() { image_.restoreCursor(saved_); }
    WalkCursorGuard(const WalkCursorGuard&) = delete;
    WalkCursorGuard& operator=(const WalkCursorGuard&) = delete;

private:
    VolumeImage& image_;
    WalkCursor saved_;
};

// Walks the folder whose chain begins at `firstCluster` (0: the root) and calls `visit(e)` with
// each entry, in walk order, read into `e`. A visit that returns bool stops the walk by returning
// true (a visit that returns nothing sees every entry). Returns true when a visit stopped it.
// The walk keeps its cursor to itself (WalkCursorGuard), so a visit may walk other folders; a
// visit that does so with the same `e` must be done with the entry first, since the nested walk
// reads into it (recursive walks share one `e` to keep their frames small).
template <typename Visit>
bool forEachEntry(VolumeImage& image, uint16_t firstCluster, WalkedEntry& e, Visit visit) {
    WalkCursorGuard guard(image);
    uint8_t found = image.startWalk(firstCluster, e.entry, e.longNameBytes(), kLongNameBytes,
                                    e.entryCluster, e.entryIndex, e.longNameCluster,
                                    e.longNameIndex);
    while (found == 1) {
        if constexpr (std::is_void_v<decltype(visit(e))>) {
            visit(e);
        } else {
            if (visit(e)) return true;
        }
        found = image.nextEntry(e.entry, e.longNameBytes(), kLongNameBytes, e.entryCluster,
                                e.entryIndex, e.longNameCluster, e.longNameIndex);
    }
    return false;
}

template <typename Visit>
bool forEachEntry(VolumeImage& image, uint16_t firstCluster, Visit visit) {
    WalkedEntry e;
    return forEachEntry(image, firstCluster, e, visit);
}

#endif
