// Deletion: slot marks, chain freeing and the giving back of emptied folder clusters. Every
// location and link read from the image is checked before it is used.
#include <cstring>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "image/chain_cursor.h"
#include "image/volume_image.h"

namespace {

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
    return slotKind(slots + (index + 1) * de::kSize) == kSlotFree ? de::kFree : de::kDeleted;
}

void markRange(uint8_t* slots, int from, int to, uint8_t mark) {
    for (int i = from; i < to; ++i) slots[i * de::kSize] = mark;
}

bool allSlotsFree(const VolumeImage& im, const uint8_t* slots) {
    for (int i = 0; i < clusterSlots(im); ++i) {
        SlotKind kind = slotKind(slots + i * de::kSize);
        if (kind != kSlotFree && kind != kSlotDeleted) return false;
    }
    return true;
}

// Frees the chain from `first`. A bad cluster keeps its mark and ends the chain; any other link
// but one to a data cluster ends it after the current cluster.
void freeChain(VolumeImage& im, uint32_t first) {
    for (ChainCursor chain(im, first); chain.atCluster(); chain.advance())
        if (chain.link().kind != kLinkBad) im.setLink(chain.cluster(), 0);
}

// The clusters strictly between `from` and `to` in the chain, when `to` follows `from`; empty
// otherwise (a damaged chain: the middle is then left alone).
std::vector<uint16_t> clustersBetween(const VolumeImage& im, uint16_t from, uint16_t to) {
    std::vector<uint16_t> middle;
    ChainCursor chain(im, from);
    while (chain.advance()) {
        if (chain.cluster() == to) return middle;
        middle.push_back(chain.cluster());
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
        if (im.nextLink(c).next != 0 && allSlotsFree(im, im.clusterData(c)))
            im.reclaimCluster(c, im.clusterData(c));
    if (b != nullptr && longNameIndex > 0 && allSlotsFree(im, b))
        im.reclaimCluster(static_cast<uint16_t>(longNameCluster), b);
}

// One deletion of a folder tree: which folders it has entered, by first cluster, and the
// walker's outputs, which every level reads before going deeper and so shares.
struct DeleteRun {
    VolumeImage* image;
    std::vector<uint8_t> entered;
    WalkedEntry walked;
};

void emptyFolder(DeleteRun& run, uint16_t folder) {
    VolumeImage& im = *run.image;
    // Never the root (first cluster 0) nor anything outside the image: such a folder entry has
    // no content of its own.
    if (!im.isDataCluster(folder)) return;
    forEachEntry(im, folder, run.walked, [&](const WalkedEntry& e) {
        uint16_t first = entryFirstCluster(e.entry);
        bool isFolder = isFolderEntry(e.entry);
        int32_t entryCluster = e.entryCluster, entryIndex = e.entryIndex;
        int32_t longNameCluster = e.longNameCluster, longNameIndex = e.longNameIndex;
        if (isFolder && isDotEntry(e.entry)) {
            // "." and ".." stay.
        } else if (isFolder && im.isDataCluster(first) && run.entered[first]) {
            // A folder that leads back to one being emptied (a cycle) or to one emptied before
            // (a cross-link): its slots go, its chain belongs to that other folder and stays.
            removeEntry(im, 0, entryCluster, entryIndex, longNameCluster, longNameIndex, false);
        } else {
            if (isFolder && im.isDataCluster(first)) {
                run.entered[first] = 1;
                emptyFolder(run, first);  // reads into run.walked: `e` is used up before
            }
            removeEntry(im, first, entryCluster, entryIndex, longNameCluster, longNameIndex, false);
        }
    });
}

}  // namespace

int VolumeImage::deleteTree(const uint8_t* entry, int32_t entryCluster, int32_t entryIndex,
                            int32_t longNameCluster, int32_t longNameIndex) {
    // "." would empty the folder that holds it, ".." its parent.
    if (isDotEntry(entry)) return kResultNoEntry;
    uint16_t first = entryFirstCluster(entry);
    if (isFolderEntry(entry)) deleteFolderContents(first);
    return deleteEntry(first, entryCluster, entryIndex, longNameCluster, longNameIndex);
}

int VolumeImage::deleteEntry(uint16_t firstCluster, int32_t entryCluster, int32_t entryIndex,
                             int32_t longNameCluster, int32_t longNameIndex) {
    removeEntry(*this, firstCluster, entryCluster, entryIndex, longNameCluster, longNameIndex,
                true);
    return 0;
}

int VolumeImage::deleteFolderContents(uint16_t firstCluster) {
    if (!isDataCluster(firstCluster)) return 0;
    DeleteRun run{this, std::vector<uint8_t>(kFatTableEntries, 0), {}};
    run.entered[firstCluster] = 1;
    emptyFolder(run, firstCluster);
    // The clusters after the first are empty now: give them back, as deleting their last entries
    // one by one would have done. A cluster that still holds a used slot (a damaged chain that
    // runs into another folder) is kept. Each link is read before its cluster is given back.
    ChainCursor chain(*this, firstCluster);
    while (chain.advance()) {
        chain.link();
        uint8_t* data = clusterData(chain.cluster());
        if (allSlotsFree(*this, data)) reclaimCluster(chain.cluster(), data);
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
    uint16_t successor = nextLink(cluster).next;
    setLink(cluster, 0);
    setLink(predecessor, successor);
    return 0;
}
