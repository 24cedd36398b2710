// Room for a new entry: runs of free slots in a folder, growing a subfolder, free clusters lowest
// first and their chains. Nothing here changes the image until a caller has found room for all
// of an entry and commits it.
#ifndef TOLVEN_DIRECTORY_INSERT_SPACE_H
#define TOLVEN_DIRECTORY_INSERT_SPACE_H

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "directory/cluster_owners.h"
#include "directory/folder_names.h"
#include "image/volume_image.h"

struct InsertClash;  // directory/name_clash.h

// The slots of one folder, in the order the walker meets them.
struct FolderSlots {
    uint16_t firstCluster;        // 0 for the root directory
    std::vector<uint16_t> chain;  // the folder's clusters; empty for the root
    bool canGrow;                 // a subfolder whose chain ends in a proper end mark
    int slotCount;
    int walkEnd;   // where the walker stops listing; slotCount when it reads all
    int scanFrom;  // the slots before it are all in use
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
    int firstFree;     // the first free slot from folder.scanFrom on (start when the run is there)
};
// The first run of `count` free slots (first byte 0x00 or 0xE5) where the walker will list the
// entry, looked for from folder.scanFrom on. In the root every slot from its end mark on is free;
// in a subfolder nothing after the point where the walker stops is used, and no run begins after
// a free slot that used slots follow. When none fits, a growable folder takes the free slots at its
// end and new clusters after them. False for a full root directory or a subfolder that may not
// grow.
bool findSlotRun(const VolumeImage& image, const FolderSlots& folder, int count, SlotRun* run);

// The `count` lowest free clusters that nothing uses: a damaged FAT may call a cluster free that
// the folder's own chain, another entry or another chain still holds, and new data must not
// land there. False when fewer are free. (An insertion keeps them in an InsertRun instead.)
bool findFreeClusters(const VolumeImage& image, const FolderSlots& folder, int count,
                      std::vector<uint16_t>* found);
// Chains clusters[0 .. count-1] in that order, the last one marked 0xFFF.
void linkClusters(VolumeImage& image, const uint16_t* clusters, int count);
// After a run written at or past the root's end mark: the slot behind it becomes the new end, so
// stale bytes beyond the old end stay unlisted.
void keepRootEnd(VolumeImage& image, const FolderSlots& folder, int start, int count);
// Zeroes `count` clusters, links them to the end of the folder and adds them to `folder`.
void growFolder(VolumeImage& image, FolderSlots* folder, const uint16_t* clusters, int count);

// One folder as an insertion operation keeps it from one entry to the next.
struct CachedFolder {
    FolderSlots slots;
    FolderNames names;  // as collectNames (directory/entry_names.h) gathers them
};

// What one insertion operation (one call of the image's insert methods) learns about the image
// once and keeps true as its entries go in, so that an entry costs the same however many went in
// before it: the clusters the tree references, and per folder its slots and its names.
//
// What an entry changes is known: its slots, its clusters, its folder's growth. An operation
// writes only into its target folder and the folders it creates, whose clusters were free, so no
// two kept folders share a cluster. The new slots are free or deleted ones, which the walker
// passes over; only where a long-name run of a damaged folder reaches them does writing there
// change how the walker reads the rest, and then the folder is read again for its next entry.
// Where an overwritten stale root entry held a reference, the referenced clusters are gathered
// again. Either way the image gets exactly the bytes it would get with everything read anew for
// each entry.
class InsertRun {
public:
    explicit InsertRun(VolumeImage& image)
        : image_(image), stale_(false), built_(false), lowestFree_(2) {}
    // The folder whose chain begins at `firstCluster` (0: the root), read from the image when it
    // is not kept; null when that names neither the root nor a data cluster.
    CachedFolder* folder(uint16_t firstCluster);
    // How the folder whose chain begins at `firstCluster` may be written into: kFolderSound, or
    // why not. A subfolder must own its clusters alone (no other entry's chain reaches them) and
    // begin with "." and ".."; else its slots may be another file's data. Folders this operation
    // made are sound; the root always is.
    enum FolderState { kFolderSound, kFolderShared, kFolderNoDots };
    FolderState folderState(uint16_t firstCluster);
    // As findFreeClusters above, for the folders of this operation.
    bool findFreeClusters(int count, std::vector<uint16_t>* found);
    // Before an entry's `count` slots are written at `run` in `folder`: notes what the write
    // would make stale. Call afterWrite once the entry is in.
    void beforeWrite(const CachedFolder& folder, const SlotRun& run, int count);
    // The entry with these names went in: the folder's names and free slots are brought up to
    // date, or the folder is dropped to be read anew.
    void afterWrite(CachedFolder* folder, const SlotRun& run, int count, const uint8_t* shortName,
                    const std::u16string& longName);
    // True when no chain but that of the entry whose short slot is at (cluster, index) reaches a
    // cluster of the chain from `first`.
    bool ownsChain(int32_t entryCluster, int32_t entryIndex, uint16_t first);
    // A replaced file's clusters, freed in the FAT: they may be found again, and who owns what
    // is read anew when next asked.
    void release(const std::vector<uint16_t>& clusters);

    // How the operation treats a name the folder holds already; null refuses it.
    InsertClash* clash = nullptr;

private:
    void readOwners();
    void markChain(const FolderSlots& folder);

    VolumeImage& image_;
    std::unordered_map<uint16_t, CachedFolder> folders_;  // by first cluster, 0 the root
    bool stale_;  // set by beforeWrite: the folder must be read anew
    bool built_;  // taken_ holds what the tree references
    std::vector<bool> taken_;
    uint32_t lowestFree_;                    // every cluster below it is used or taken
    std::unique_ptr<ClusterOwners> owners_;  // as the image was when the operation began
    std::unordered_map<uint16_t, FolderState> states_;
};

#endif
