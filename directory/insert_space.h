// Room for a new entry: runs of free slots in a folder, growing a subfolder, free clusters lowest
// first and their chains. Nothing here changes the image until a caller has found room for all
// of an entry and commits it.
#ifndef TOLVEN_DIRECTORY_INSERT_SPACE_H
#define TOLVEN_DIRECTORY_INSERT_SPACE_H

#include <cstdint>
#include <vector>

#include "image/volume_image.h"

// The slots of one folder, in the order the walker meets them.
struct FolderSlots {
    uint16_t firstCluster;          // 0 for the root directory
    std::vector<uint16_t> chain;    // the folder's clusters; empty for the root
    bool canGrow;                   // a subfolder whose chain ends in a proper end mark
    int slotCount;
    int walkEnd;                    // where the walker stops listing; slotCount when it reads all
};

// False when `firstCluster` names neither the root (0) nor a data cluster. A chain that leaves
// the data clusters, loops or ends without an end mark is cut there and may not grow: linking a
// new cluster to it could join it to another chain.
bool loadFolderSlots(const VolumeImage& image, uint16_t firstCluster, FolderSlots* folder);
const uint8_t* folderSlot(const VolumeImage& image, const FolderSlots& folder, int position);
uint8_t* folderSlot(VolumeImage& image, const FolderSlots& folder, int position);

struct SlotRun {
    int start;         // position of the first slot
    int growClusters;  // clusters the folder needs at its end before the run fits
};
// The first run of `count` free slots (first byte 0x00 or 0xE5) where the walker will list the
// entry. In the root every slot from its end mark on is free; in a subfolder nothing after the
// point where the walker stops is used. When none fits, a growable folder takes the free slots at
// its end and new clusters after them. False for a full root directory or a subfolder that may
// not grow.
bool findSlotRun(const VolumeImage& image, const FolderSlots& folder, int count, SlotRun* run);

// The `count` lowest free clusters that nothing uses: a damaged FAT may call a cluster free that
// the folder's own chain, another entry or another chain still holds, and new data must not
// land there. False when fewer are free.
bool findFreeClusters(const VolumeImage& image, const FolderSlots& folder, int count,
                      std::vector<uint16_t>* found);
// Chains clusters[0 .. count-1] in that order, the last one marked 0xFFF.
void linkClusters(VolumeImage& image, const uint16_t* clusters, int count);
// After a run written at or past the root's end mark: the slot behind it becomes the new end, so
// stale bytes beyond the old end stay unlisted.
void keepRootEnd(VolumeImage& image, const FolderSlots& folder, int start, int count);
// Zeroes `count` clusters, links them to the end of the folder and adds them to `folder`.
void growFolder(VolumeImage& image, FolderSlots* folder, const uint16_t* clusters, int count);

#endif
