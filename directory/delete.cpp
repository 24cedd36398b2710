// Deletion: slot marks, chain freeing and the giving back of emptied folder clusters. Every
// location and link read from the image is checked before it is used.
#include <cstring>
#include <vector>

#include "directory/dir_entry.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"

namespace {

const uint16_t kBadCluster = 0xFF7;
const uint16_t kEndOfChain = 0xFFF;

bool isDataCluster(const VolumeImage& im, uint32_t cluster) {
    return im.clusterData(cluster) != nullptr;
}

int rootSlots(const VolumeImage& im) {
    return im.rootEntryCount() < kMaxRootEntries ? im.rootEntryCount() : kMaxRootEntries;
}

int clusterSlots(const VolumeImage& im) {
    return im.entriesPerCluster < kMaxClusterBytes / de::kSize ? im.entriesPerCluster
                                                               : kMaxClusterBytes / de::kSize;
}

// 0x00 when the slot after `index` is in the same table and free; else 0xE5. The root's last
// slot gets 0x00 (nothing follows it); a folder cluster's last slot 0xE5 (the next cluster may
// hold used slots).
uint8_t markAfter(const uint8_t* slots, int count, int index, bool isRoot) {
    if (index + 1 >= count) return isRoot ? de::kFree : de::kDeleted;
    return slots[(index + 1) * de::kSize] == de::kFree ? de::kFree : de::kDeleted;
}

void markRange(uint8_t* slots, int from, int to, uint8_t mark) {
    for (int i = from; i < to; ++i) slots[i * de::kSize] = mark;
}

bool allSlotsFree(const VolumeImage& im, const uint8_t* slots) {
    for (int i = 0; i < clusterSlots(im); ++i)
        if (slots[i * de::kSize] != de::kFree && slots[i * de::kSize] != de::kDeleted) return false;
    return true;
}

// Frees the chain from `first`. A bad cluster keeps its mark and ends the chain; a link that
// names no data cluster (1, reserved values, beyond the last cluster) ends it after the current
// cluster; a freed cluster reads 0 when met again, so a cycle ends too, and the count bounds it.
void freeChain(VolumeImage& im, uint32_t first) {
    uint32_t cluster = first;
    for (int hops = 0; isDataCluster(im, cluster) && hops < im.clusterCount; ++hops) {
        uint16_t next = im.fatTable[cluster];
        if (next != kBadCluster) im.fatTable[cluster] = 0;
        if (next == kEndOfChain || next == kBadCluster || next == 0) break;
        cluster = next;
    }
}

// The clusters strictly between `from` and `to` in the chain, when `to` follows `from` within
// the cluster count; empty otherwise (a damaged chain: the middle is then left alone).
std::vector<uint16_t> clustersBetween(const VolumeImage& im, uint16_t from, uint16_t to) {
    std::vector<uint16_t> middle;
    uint32_t cluster = im.fatTable[from];
    for (int hops = 0; isDataCluster(im, cluster) && hops < im.clusterCount; ++hops) {
        if (cluster == to) return middle;
        middle.push_back(static_cast<uint16_t>(cluster));
        cluster = im.fatTable[cluster];
    }
    middle.clear();
    return middle;
}

// deleteEntry with a choice: a folder that is being emptied as a whole keeps its clusters until
// its own entry frees the chain, so the walk through it never loses the cluster it stands in.
void removeEntry(VolumeImage& im, uint16_t firstCluster, int32_t entryCluster, int32_t entryIndex,
                 int32_t longNameCluster, int32_t longNameIndex, bool reclaim) {
    if (entryCluster == 0) {
        int n = rootSlots(im);
        if (entryIndex >= 0 && entryIndex < n) {
            uint8_t mark = markAfter(im.rootDir, n, entryIndex, true);
            im.rootDir[entryIndex * de::kSize] = mark;
            if (longNameIndex >= 0 && longNameIndex < entryIndex)
                markRange(im.rootDir, longNameIndex, entryIndex, mark);
        }
        freeChain(im, firstCluster);
        return;
    }

    int n = clusterSlots(im);
    uint8_t* a = entryCluster > 0 ? im.clusterData(static_cast<uint32_t>(entryCluster)) : nullptr;
    uint8_t* b = nullptr;
    std::vector<uint16_t> middle;
    if (a != nullptr && entryIndex >= 0 && entryIndex < n) {
        uint8_t mark = markAfter(a, n, entryIndex, false);
        a[entryIndex * de::kSize] = mark;
        if (longNameIndex >= 0 && longNameCluster == entryCluster && longNameIndex < entryIndex) {
            markRange(a, longNameIndex, entryIndex, mark);
        } else if (longNameIndex >= 0 && longNameCluster != entryCluster) {
            markRange(a, 0, entryIndex, mark);
            b = longNameCluster > 0 ? im.clusterData(static_cast<uint32_t>(longNameCluster))
                                    : nullptr;
            if (b != nullptr && longNameIndex < n) {
                markRange(b, longNameIndex, n, markAfter(b, n, longNameIndex, false));
                // A name of 209 characters or more on 512-byte clusters spans three clusters:
                // the ones in between hold nothing but its slots and are marked whole.
                middle = clustersBetween(im, static_cast<uint16_t>(longNameCluster),
                                         static_cast<uint16_t>(entryCluster));
                for (uint16_t c : middle) markRange(im.clusterData(c), 0, n, de::kDeleted);
            } else {
                b = nullptr;
            }
        }
    }
    freeChain(im, firstCluster);
    if (!reclaim || a == nullptr) return;
    if (allSlotsFree(im, a)) im.reclaimCluster(static_cast<uint16_t>(entryCluster), a);
    for (uint16_t c : middle)
        if (im.fatTable[c] != 0 && allSlotsFree(im, im.clusterData(c)))
            im.reclaimCluster(c, im.clusterData(c));
    if (b != nullptr && longNameIndex > 0 && allSlotsFree(im, b))
        im.reclaimCluster(static_cast<uint16_t>(longNameCluster), b);
}

// One deletion of a folder tree: which folders it has entered, by first cluster.
struct DeleteRun {
    VolumeImage* image;
    std::vector<uint8_t> entered;
};

void emptyFolder(DeleteRun& run, uint16_t folder) {
    VolumeImage& im = *run.image;
    // Never the root (first cluster 0) nor anything outside the image: such a folder entry has
    // no content of its own.
    if (!isDataCluster(im, folder)) return;
    uint8_t entry[de::kSize];
    int32_t entryCluster, entryIndex, longNameCluster, longNameIndex;
    uint8_t found = im.startWalk(folder, entry, nullptr, 0, entryCluster, entryIndex,
                                 longNameCluster, longNameIndex);
    while (found == 1) {
        uint16_t first = readLe16(entry + de::kFirstCluster);
        bool isFolder = (entry[de::kAttributes] & de::kAttrDirectory) != 0;
        if (isFolder && isDotEntry(entry)) {
            // "." and ".." stay.
        } else if (isFolder && isDataCluster(im, first) && run.entered[first]) {
            // A folder that leads back to one being emptied (a cycle) or to one emptied before
            // (a cross-link): its slots go, its chain belongs to that other folder and stays.
            removeEntry(im, 0, entryCluster, entryIndex, longNameCluster, longNameIndex, false);
        } else {
            if (isFolder && isDataCluster(im, first)) {
                run.entered[first] = 1;
                WalkCursor saved = im.saveCursor();
                emptyFolder(run, first);
                im.restoreCursor(saved);
            }
            removeEntry(im, first, entryCluster, entryIndex, longNameCluster, longNameIndex, false);
        }
        found = im.nextEntry(entry, nullptr, 0, entryCluster, entryIndex, longNameCluster,
                             longNameIndex);
    }
}

}  // namespace

int VolumeImage::deleteEntry(uint16_t firstCluster, int32_t entryCluster, int32_t entryIndex,
                             int32_t longNameCluster, int32_t longNameIndex) {
    removeEntry(*this, firstCluster, entryCluster, entryIndex, longNameCluster, longNameIndex,
                true);
    return 0;
}

int VolumeImage::deleteFolderContents(uint16_t firstCluster) {
    if (!isDataCluster(*this, firstCluster)) return 0;
    DeleteRun run{this, std::vector<uint8_t>(kFatTableEntries, 0)};
    run.entered[firstCluster] = 1;
    emptyFolder(run, firstCluster);
    // The clusters after the first are empty now: give them back, as deleting their last entries
    // one by one would have done. A cluster that still holds a used slot (a damaged chain that
    // runs into another folder) is kept.
    uint32_t cluster = fatTable[firstCluster];
    for (int hops = 0; isDataCluster(*this, cluster) && hops < clusterCount; ++hops) {
        uint16_t next = fatTable[cluster];
        uint8_t* data = clusterData(cluster);
        if (allSlotsFree(*this, data)) reclaimCluster(static_cast<uint16_t>(cluster), data);
        cluster = next;
    }
    return 0;
}

int VolumeImage::reclaimCluster(uint16_t cluster, uint8_t* workingCopy) {
    uint8_t* data = clusterData(cluster);
    if (data == nullptr) return 0;
    uint32_t predecessor = 0;
    for (uint32_t c = 2; c <= static_cast<uint32_t>(clusterCount) + 1; ++c) {
        if (fatTable[c] == cluster) {
            predecessor = c;
            break;
        }
    }
    // A cluster that no other cluster links to is the first of its folder, which the folder's
    // entry still names; giving it back would leave that entry pointing at a free cluster.
    // Folders keep "." and ".." in their first cluster, so only a damaged folder gets here.
    if (predecessor == 0) return 0;
    std::memset(workingCopy, 0, clusterBytes);
    if (workingCopy != data) std::memcpy(data, workingCopy, clusterBytes);
    uint16_t successor = fatTable[cluster];
    fatTable[cluster] = 0;
    fatTable[predecessor] = successor;
    return 0;
}
