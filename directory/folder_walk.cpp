// The directory walker: one entry per call, with its composed long name and the locations of its
// slots. Everything read from the image is bounded here: a folder's chain is followed with a
// ChainCursor (links only to data clusters, each cluster at most once), and long-name pieces are
// placed only where the 260-unit name has room.
#include <cstring>

#include "directory/dir_entry.h"
#include "directory/slot_scan.h"
#include "image/boot_sector.h"
#include "image/chain_cursor.h"
#include "image/volume_image.h"

namespace {

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

// A subfolder's walk that has ended stands on no cluster; later steps keep returning 0.
void endWalk(VolumeImage& im) { im.walkCursor.chain = ChainCursor(); }

// Moves to the next cluster of the chain when the current one is used up, and copies the cluster
// into clusterCopy when it changed or when `refresh` asks for it (the start of every step, since a
// nested walk or a deletion may have changed the cluster or the copy in between). A folder whose
// first cluster names no data cluster has no content; anything but a link to a data cluster ends
// the folder, like its end of chain, and so does the chain coming back to one of its clusters.
bool stepCluster(VolumeImage& im, bool refresh) {
    WalkCursor& w = im.walkCursor;
    if (!w.chain.atCluster()) return false;
    if (w.index >= slotsPerCluster(im)) {
        if (!w.chain.advance()) return false;
        w.index = 0;
        refresh = true;
    }
    if (refresh)
        std::memcpy(im.clusterCopy, im.clusterData(w.chain.cluster()),
                    static_cast<size_t>(slotsPerCluster(im)) * de::kSize);
    return true;
}

// The walker's cursor as the slots scanToEntry reads: the root directory in place, a subfolder
// through clusterCopy, cluster by cluster.
struct CursorSlots {
    VolumeImage& im;
    WalkCursor& w;
    int rootCount;

    const uint8_t* current() const {
        return (w.root ? im.rootDir : im.clusterCopy) + w.index * de::kSize;
    }
    bool advance() {
        ++w.index;
        return w.root ? w.index < rootCount : stepCluster(im, false);
    }
    bool isRoot() const { return w.root; }
    uint16_t currentCluster() const { return w.chain.cluster(); }
    int32_t location() const { return w.root ? 0 : w.chain.cluster(); }
};

}  // namespace

WalkCursor VolumeImage::saveCursor() const { return walkCursor; }

void VolumeImage::restoreCursor(const WalkCursor& cursor) { walkCursor = cursor; }

uint8_t VolumeImage::startWalk(uint16_t firstCluster, uint8_t* entry, uint8_t* longName,
                               int longNameBytes, int32_t& entryCluster, int32_t& entryIndex,
                               int32_t& longNameCluster, int32_t& longNameIndex) {
    walkCursor.root = firstCluster == 0;
    walkCursor.chain = ChainCursor(*this, firstCluster);
    walkCursor.index = 0;
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

    WalkCursor& w = walkCursor;
    CursorSlots slots{*this, w, rootSlots(*this)};
    if (w.root ? w.index >= slots.rootCount : !advanceCluster()) return 0;
    ScanStop stop = scanToEntry(
        slots,
        [&](const uint8_t* slot) {
            if (slot[de::kSequence] & de::kLastPiece) {
                longNameCluster = slots.location();
                longNameIndex = w.index;
            }
            pieces.keep(slot);
        },
        [&] {
            pieces.clear();
            resetLocations(entryCluster, entryIndex, longNameCluster, longNameIndex);
        });
    if (stop == kScanEndMark) {
        // The end of the root stays the end; a subfolder's walk ends for good.
        if (w.root) w.index = static_cast<uint16_t>(slots.rootCount);
        else endWalk(*this);
    }
    if (stop != kScanEntry) return 0;
    const uint8_t* slot = slots.current();
    composeLongName(pieces, slot, longName, longNameBytes);
    std::memcpy(entry, slot, de::kSize);
    entryCluster = slots.location();
    entryIndex = w.index++;
    return 1;
}
