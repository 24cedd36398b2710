// The directory walker: one entry per call, with its composed long name and the locations of its
// slots. Everything read from the image is bounded here: links are followed only to data
// clusters, a walk enters each cluster at most once, and long-name pieces are placed only where
// the 260-unit name has room.
#include <cstring>

#include "directory/dir_entry.h"
#include "directory/slot_scan.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"

namespace {

// cursorWalk of a walk that has ended; later steps keep returning 0 instead of walking again.
const uint32_t kWalkEnded = 0;

// The long-name pieces met in one step, placed by their piece number.
struct PieceSet {
    uint8_t text[kLongNamePieces + 1][kUnitsPerPiece * 2];
    uint8_t checksum[kLongNamePieces + 1];
    bool present[kLongNamePieces + 1];
    int count;

    void clear() {
        std::memset(present, 0, sizeof present);
        count = 0;
    }
    // Piece numbers 0 and 21-31 have no place in the 260-unit name (a damaged or foreign run).
    // They are counted but not kept, so the name is cut before the first missing piece and the
    // short entry is still returned.
    void keep(const uint8_t* slot) {
        ++count;
        int n = slot[de::kSequence] & de::kPieceMask;
        if (n < 1 || n > kLongNamePieces) return;
        copyLongNamePiece(slot, text[n]);
        checksum[n] = slot[de::kChecksum];
        present[n] = true;
    }
};

void composeLongName(const PieceSet& pieces, const uint8_t* entry, uint8_t* out, int outBytes) {
    uint8_t name[kLongNameBytes];
    std::memset(name, 0, sizeof name);
    uint8_t sum = shortNameChecksum(entry);
    for (int k = 1; k <= pieces.count && k <= kLongNamePieces; ++k) {
        if (!pieces.present[k] || pieces.checksum[k] != sum) break;
        std::memcpy(name + (k - 1) * kUnitsPerPiece * 2, pieces.text[k], kUnitsPerPiece * 2);
    }
    if (out != nullptr && outBytes > 0)
        std::memcpy(out, name,
                    static_cast<size_t>(outBytes < kLongNameBytes ? outBytes : kLongNameBytes));
}

void resetLocations(int32_t& entryCluster, int32_t& entryIndex, int32_t& longNameCluster,
                    int32_t& longNameIndex) {
    entryCluster = entryIndex = longNameCluster = longNameIndex = -1;
}

// Slots of one cluster as far as the walker's copy holds them (the loader keeps clusters within
// the copy; the bound guards a caller that set the geometry by hand).
int slotsPerCluster(const VolumeImage& im) {
    int slots = im.entriesPerCluster;
    return slots < kMaxClusterBytes / de::kSize ? slots : kMaxClusterBytes / de::kSize;
}

int rootSlots(const VolumeImage& im) {
    return im.rootEntryCount() < kMaxRootEntries ? im.rootEntryCount() : kMaxRootEntries;
}

void endWalk(VolumeImage& im) {
    im.cursorIndex = static_cast<uint16_t>(slotsPerCluster(im));
    im.cursorWalk = kWalkEnded;
}

// Marks `cluster` as entered by the current walk; false when this walk entered it before.
bool enterCluster(VolumeImage& im, uint16_t cluster) {
    if (!im.isDataCluster(cluster)) return true;
    if (im.walkStamps[cluster] == im.cursorWalk) return false;
    im.walkStamps[cluster] = im.cursorWalk;
    return true;
}

// Moves to the next cluster of the chain when the current one is used up, and copies the cluster
// into clusterCopy when it changed or when `refresh` asks for it (the start of every step, since a
// nested walk or a deletion may have changed the cluster or the copy in between).
bool stepCluster(VolumeImage& im, bool refresh) {
    if (im.cursorWalk == kWalkEnded) return false;
    if (im.cursorIndex >= slotsPerCluster(im)) {
        // Anything but a link to a data cluster ends the folder, like its end of chain; so does
        // a link back to a cluster of this walk (a cyclic chain), so every cluster is walked once.
        ChainLink link = im.nextLink(im.cursorCluster);
        if (link.kind != kLinkData || !enterCluster(im, link.next)) {
            endWalk(im);
            return false;
        }
        im.cursorCluster = link.next;
        im.cursorIndex = 0;
        refresh = true;
    }
    const uint8_t* data = im.clusterData(im.cursorCluster);
    if (data == nullptr) {
        // A folder whose first cluster names no data cluster has no content.
        endWalk(im);
        return false;
    }
    if (refresh)
        std::memcpy(im.clusterCopy, data, static_cast<size_t>(slotsPerCluster(im)) * de::kSize);
    return true;
}

// The walker's cursor as the slots scanToEntry reads: the root directory in place, a subfolder
// through clusterCopy, cluster by cluster.
struct CursorSlots {
    VolumeImage& im;
    bool root;
    int rootCount;

    const uint8_t* current() const {
        return (root ? im.rootDir : im.clusterCopy) + im.cursorIndex * de::kSize;
    }
    bool advance() {
        ++im.cursorIndex;
        return root ? im.cursorIndex < rootCount : stepCluster(im, false);
    }
    bool isRoot() const { return root; }
    uint16_t currentCluster() const { return im.cursorCluster; }
    int32_t location() const { return root ? 0 : im.cursorCluster; }
};

}  // namespace

WalkCursor VolumeImage::saveCursor() const {
    return WalkCursor{cursorCluster, cursorIndex, cursorWalk};
}

void VolumeImage::restoreCursor(const WalkCursor& cursor) {
    cursorCluster = cursor.cluster;
    cursorIndex = cursor.index;
    cursorWalk = cursor.walk;
}

uint8_t VolumeImage::startWalk(uint16_t firstCluster, uint8_t* entry, uint8_t* longName,
                               int longNameBytes, int32_t& entryCluster, int32_t& entryIndex,
                               int32_t& longNameCluster, int32_t& longNameIndex) {
    cursorCluster = firstCluster;
    cursorIndex = 0;
    // Every walk gets a number of its own; on the (theoretical) wrap the old stamps are cleared
    // so that none can match a new walk.
    if (++walkCounter == kWalkEnded) {
        std::memset(walkStamps, 0, sizeof walkStamps);
        walkCounter = 1;
    }
    cursorWalk = walkCounter;
    enterCluster(*this, firstCluster);
    return nextEntry(entry, longName, longNameBytes, entryCluster, entryIndex, longNameCluster,
                     longNameIndex);
}

bool VolumeImage::advanceCluster() { return stepCluster(*this, true); }

uint8_t VolumeImage::nextEntry(uint8_t* entry, uint8_t* longName, int longNameBytes,
                               int32_t& entryCluster, int32_t& entryIndex, int32_t& longNameCluster,
                               int32_t& longNameIndex) {
    resetLocations(entryCluster, entryIndex, longNameCluster, longNameIndex);
    PieceSet pieces;
    pieces.clear();

    CursorSlots slots{*this, cursorCluster == 0, rootSlots(*this)};
    if (slots.root ? cursorIndex >= slots.rootCount : !advanceCluster()) return 0;
    ScanStop stop = scanToEntry(
        slots,
        [&](const uint8_t* slot) {
            if (slot[de::kSequence] & de::kLastPiece) {
                longNameCluster = slots.location();
                longNameIndex = cursorIndex;
            }
            pieces.keep(slot);
        },
        [&] {
            pieces.clear();
            resetLocations(entryCluster, entryIndex, longNameCluster, longNameIndex);
        });
    if (stop == kScanEndMark) {
        // The end of the root stays the end; a subfolder's walk ends for good.
        if (slots.root) cursorIndex = static_cast<uint16_t>(slots.rootCount);
        else endWalk(*this);
    }
    if (stop != kScanEntry) return 0;
    const uint8_t* slot = slots.current();
    composeLongName(pieces, slot, longName, longNameBytes);
    std::memcpy(entry, slot, de::kSize);
    entryCluster = slots.location();
    entryIndex = cursorIndex++;
    return 1;
}
