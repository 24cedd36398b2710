// The directory walker: one entry per call, with its composed long name and the locations of its
// slots. Everything read from the image is bounded here: links are followed only to data
// clusters, a walk enters each cluster at most once, and long-name pieces are placed only where
// the 260-unit name has room.
#include <cstring>

#include "directory/dir_entry.h"
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
        std::memcpy(out, name, outBytes < kLongNameBytes ? outBytes : kLongNameBytes);
}

void resetLocations(int32_t& entryCluster, int32_t& entryIndex, int32_t& longNameCluster,
                    int32_t& longNameIndex) {
    entryCluster = entryIndex = longNameCluster = longNameIndex = -1;
}

bool isDataCluster(const VolumeImage& im, uint32_t cluster) {
    return cluster >= 2 && cluster <= static_cast<uint32_t>(im.clusterCount) + 1;
}

// Slots of one cluster as far as the walker's copy holds them (the loader keeps clusters within
// the copy; the bound guards a caller that set the geometry by hand).
int slotsPerCluster(const VolumeImage& im) {
    int slots = im.entriesPerCluster;
    return slots < kMaxClusterBytes / de::kSize ? slots : kMaxClusterBytes / de::kSize;
}

bool rootSkips(const uint8_t* slot) {
    return slot[0] == de::kDeleted || (slot[de::kAttributes] & 0x0F) == de::kAttrVolumeLabel;
}

bool folderSkips(const VolumeImage& im, const uint8_t* slot) {
    return slot[0] == de::kDeleted || slot[0] == de::kFree ||
           readLe16(slot + de::kFirstCluster) == im.cursorCluster;
}

void endWalk(VolumeImage& im) {
    im.cursorIndex = static_cast<uint16_t>(slotsPerCluster(im));
    im.cursorWalk = kWalkEnded;
}

// Marks `cluster` as entered by the current walk; false when this walk entered it before.
bool enterCluster(VolumeImage& im, uint16_t cluster) {
    if (!isDataCluster(im, cluster)) return true;
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
        uint16_t next = isDataCluster(im, im.cursorCluster) ? im.fatTable[im.cursorCluster] : 0xFFF;
        // A link of 0, 1, a reserved, bad or end value, or one beyond the last cluster names no
        // data cluster: the folder ends there, like at its end of chain. A link back to a cluster
        // of this walk (a cyclic chain) ends it too, so every cluster is walked once.
        if (!isDataCluster(im, next) || !enterCluster(im, next)) {
            endWalk(im);
            return false;
        }
        im.cursorCluster = next;
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

bool VolumeImage::advanceCluster() {
    return stepCluster(*this, true);
}

uint8_t VolumeImage::nextEntry(uint8_t* entry, uint8_t* longName, int longNameBytes,
                               int32_t& entryCluster, int32_t& entryIndex, int32_t& longNameCluster,
                               int32_t& longNameIndex) {
    resetLocations(entryCluster, entryIndex, longNameCluster, longNameIndex);
    PieceSet pieces;
    pieces.clear();

    if (cursorCluster == 0) {
        int n = rootEntryCount() < kMaxRootEntries ? rootEntryCount() : kMaxRootEntries;
        for (;;) {
            while (cursorIndex < n && rootSkips(rootDir + cursorIndex * de::kSize)) ++cursorIndex;
            if (cursorIndex >= n) return 0;
            while (cursorIndex < n &&
                   rootDir[cursorIndex * de::kSize + de::kAttributes] == de::kAttrLongName) {
                const uint8_t* slot = rootDir + cursorIndex * de::kSize;
                if (slot[de::kSequence] & de::kLastPiece) {
                    longNameCluster = 0;
                    longNameIndex = cursorIndex;
                }
                pieces.keep(slot);
                ++cursorIndex;
            }
            if (cursorIndex >= n) return 0;
            const uint8_t* slot = rootDir + cursorIndex * de::kSize;
            if (slot[0] == de::kFree) {
                cursorIndex = static_cast<uint16_t>(n);  // the end of the root stays the end
                return 0;
            }
            if (rootSkips(slot)) {
                pieces.clear();
                resetLocations(entryCluster, entryIndex, longNameCluster, longNameIndex);
                continue;
            }
            composeLongName(pieces, slot, longName, longNameBytes);
            std::memcpy(entry, slot, de::kSize);
            entryCluster = 0;
            entryIndex = cursorIndex++;
            return 1;
        }
    }

    if (!advanceCluster()) return 0;
    for (;;) {
        while (folderSkips(*this, clusterCopy + cursorIndex * de::kSize)) {
            ++cursorIndex;
            if (!stepCluster(*this, false)) return 0;
        }
        while (clusterCopy[cursorIndex * de::kSize + de::kAttributes] == de::kAttrLongName) {
            const uint8_t* slot = clusterCopy + cursorIndex * de::kSize;
            if (slot[de::kSequence] & de::kLastPiece) {
                longNameCluster = cursorCluster;
                longNameIndex = cursorIndex;
            }
            pieces.keep(slot);
            ++cursorIndex;
            if (!stepCluster(*this, false)) return 0;
        }
        const uint8_t* slot = clusterCopy + cursorIndex * de::kSize;
        if (slot[0] == de::kFree) {
            endWalk(*this);
            return 0;
        }
        if (folderSkips(*this, slot)) {
            pieces.clear();
            resetLocations(entryCluster, entryIndex, longNameCluster, longNameIndex);
            continue;
        }
        composeLongName(pieces, slot, longName, longNameBytes);
        std::memcpy(entry, slot, de::kSize);
        entryCluster = cursorCluster;
        entryIndex = cursorIndex++;
        return 1;
    }
}
