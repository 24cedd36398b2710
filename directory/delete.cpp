// Deletion: slot marks, chain freeing and the giving back of emptied folder clusters. Every
// location and link read from the image is checked before it is used.
#include <cstring>
#include <string>
#include <vector>

#include "directory/cluster_owners.h"
#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "directory/image_path.h"
#include "directory/slot_scan.h"
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

// The root's slots from one position on, as the walker reads them.
struct RootSlots {
    const uint8_t* slots;
    int count, position;
    const uint8_t* current() const { return slots + position * de::kSize; }
    bool advance() { return ++position < count; }
    bool isRoot() const { return true; }
    uint16_t currentCluster() const { return 0; }
};

// The mark for an entry's slots, the last at `index`: 0x00 only where the walk ends at them as
// it ended behind them, so that no entry behind them drops out of the walk (a damaged table may
// hold used slots after a free one); else 0xE5. In the root a free slot ends the walk unless it
// is a long-name piece or has the label bits: 0x00 when the walk lists nothing after `index` (the
// root's last slot included). In a folder cluster the last slot gets 0xE5 (the next cluster may
// hold used slots), and 0x00 needs a free slot after `index` and, before the slots, a slot that is
// no long-name piece (`before`; null: unknown): a free slot right after a piece ends a folder.
uint8_t markAfter(const uint8_t* slots, int count, int index, bool isRoot, const uint8_t* before) {
    if (isRoot) {
        RootSlots rest{slots, count, index + 1};
        if (rest.position >= count) return de::kFree;
        return scanToEntry(
                   rest, [](const uint8_t*) {}, [] {}) == kScanEntry
                   ? de::kDeleted
                   : de::kFree;
    }
    if (index + 1 >= count || before == nullptr || hasLongNameAttributes(before))
        return de::kDeleted;
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

// What a checked deletion keeps: clusters that chains outside the deleted tree reach (1; 2 once
// counted), and which folder clusters must not be given back (shared ones, the holding folder's
// first).
struct Keep {
    const ClusterOwners* owners = nullptr;
    std::vector<uint8_t> reached;
    int kept = 0;
    // The first cluster of the folder holding the entry (0: unknown), which stays even when a
    // looping chain links back to it.
    uint16_t holder = 0;

    bool holds(uint16_t cluster) {
        if (reached.empty() || reached[cluster] == 0) return false;
        if (reached[cluster] == 1) ++kept;
        reached[cluster] = 2;
        return true;
    }
    bool mayReclaim(uint16_t cluster) const {
        return owners == nullptr ||
               (holder != 0 && cluster != holder && owners->use[cluster] != kClusterShared);
    }
};

// Frees the chain from `first`, but for the clusters `keep` holds. A bad cluster keeps its mark
// and ends the chain; any other link but one to a data cluster ends it after the current cluster.
void freeChain(VolumeImage& im, uint32_t first, Keep* keep) {
    for (ChainCursor chain(im, first); chain.atCluster(); chain.advance())
        if (chain.link().kind != kLinkBad && (keep == nullptr || !keep->holds(chain.cluster())))
            im.setLink(chain.cluster(), 0);
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
                 int32_t longNameCluster, int32_t longNameIndex, bool reclaim,
                 Keep* keep = nullptr) {
    if (entryCluster == 0) {
        int n = rootSlots(im);
        if (entryIndex >= 0 && entryIndex < n) {
            uint8_t mark = markAfter(im.rootDir, n, entryIndex, true, nullptr);
            im.rootDir[entryIndex * de::kSize] = mark;
            if (longNameIndex >= 0 && longNameIndex < entryIndex)
                markRange(im.rootDir, longNameIndex, entryIndex, mark);
        }
        freeChain(im, firstCluster, keep);
        return;
    }

    int n = clusterSlots(im);
    uint8_t* a = entryCluster > 0 ? im.clusterData(static_cast<uint32_t>(entryCluster)) : nullptr;
    uint8_t* b = nullptr;
    std::vector<uint16_t> middle;
    if (a != nullptr && entryIndex >= 0 && entryIndex < n) {
        bool sameCluster = longNameIndex >= 0 && longNameCluster == entryCluster &&
                           longNameIndex < entryIndex;
        int from = longNameIndex < 0 ? entryIndex : sameCluster ? longNameIndex : -1;
        const uint8_t* before = from > 0 ? a + (from - 1) * de::kSize : nullptr;
        if (from < 0 && longNameCluster > 0 && longNameIndex > 0 && longNameIndex < n) {
            const uint8_t* start = im.clusterData(static_cast<uint32_t>(longNameCluster));
            if (start != nullptr) before = start + (longNameIndex - 1) * de::kSize;
        }
        uint8_t mark = markAfter(a, n, entryIndex, false, before);
        a[entryIndex * de::kSize] = mark;
        if (sameCluster) {
            markRange(a, longNameIndex, entryIndex, mark);
        } else if (longNameIndex >= 0 && longNameCluster != entryCluster) {
            markRange(a, 0, entryIndex, mark);
            b = longNameCluster > 0 ? im.clusterData(static_cast<uint32_t>(longNameCluster))
                                    : nullptr;
            if (b != nullptr && longNameIndex < n) {
                markRange(b, longNameIndex, n, de::kDeleted);
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
    freeChain(im, firstCluster, keep);
    if (!reclaim || a == nullptr) return;
    Keep none;
    const Keep& k = keep != nullptr ? *keep : none;
    if (allSlotsFree(im, a) && k.mayReclaim(static_cast<uint16_t>(entryCluster)))
        im.reclaimCluster(static_cast<uint16_t>(entryCluster), a);
    for (uint16_t c : middle)
        if (im.nextLink(c).next != 0 && allSlotsFree(im, im.clusterData(c)) && k.mayReclaim(c))
            im.reclaimCluster(c, im.clusterData(c));
    if (b != nullptr && longNameIndex > 0 && allSlotsFree(im, b) &&
        k.mayReclaim(static_cast<uint16_t>(longNameCluster)))
        im.reclaimCluster(static_cast<uint16_t>(longNameCluster), b);
}

// One deletion of a folder tree: which folders it has entered, by first cluster, and the
// walker's outputs, which every level reads before going deeper and so shares.
struct DeleteRun {
    VolumeImage* image;
    std::vector<uint8_t> entered;
    WalkedEntry walked;
    Keep* keep;
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
            removeEntry(im, 0, entryCluster, entryIndex, longNameCluster, longNameIndex, false,
                        run.keep);
        } else {
            if (isFolder && im.isDataCluster(first)) {
                run.entered[first] = 1;
                emptyFolder(run, first);  // reads into run.walked: `e` is used up before
            }
            removeEntry(im, first, entryCluster, entryIndex, longNameCluster, longNameIndex, false,
                        run.keep);
        }
    });
}

// Empties the folder, then gives back its clusters after the first, as deleting their last
// entries one by one would have done. A cluster that still holds a used slot (a damaged chain
// that runs into another folder) is kept. Each link is read before its cluster is given back.
void emptyAndReclaim(VolumeImage& im, uint16_t firstCluster, Keep* keep) {
    DeleteRun run{&im, std::vector<uint8_t>(kFatTableEntries, 0), {}, keep};
    run.entered[firstCluster] = 1;
    emptyFolder(run, firstCluster);
    ChainCursor chain(im, firstCluster);
    while (chain.advance()) {
        chain.link();
        uint8_t* data = im.clusterData(chain.cluster());
        if (allSlotsFree(im, data)) im.reclaimCluster(chain.cluster(), data);
    }
}

// The checks of a deletion, made before anything changes: the folders it would empty (the
// named one and every folder below it) must own their chains alone, since a folder chain that
// another entry reaches (a folder leading back to an ancestor, two folder entries on one chain, a
// file cross-linked onto a folder) would make the deletion reach outside the named tree. The
// clusters that hold the entry's own slots, which are written, may be shared only with the folder
// holding it (under any of its names) and the entry itself. Returns the offending entry's index, -2
// for an offender the tree pass does not know, or -1 when all is well; `tree` gets the clusters of
// the folders that would be emptied.
int32_t checkTree(VolumeImage& im, const ClusterOwners& owners, int32_t self, const uint8_t* entry,
                  int32_t entryCluster, int32_t longNameCluster, std::vector<uint8_t>* tree) {
    int32_t parent = self >= 0 ? owners.entries[static_cast<size_t>(self)].parent : -1;
    std::vector<uint16_t> slotClusters;
    if (entryCluster > 0 && im.isDataCluster(static_cast<uint32_t>(entryCluster)))
        slotClusters.push_back(static_cast<uint16_t>(entryCluster));
    if (longNameCluster > 0 && longNameCluster != entryCluster &&
        im.isDataCluster(static_cast<uint32_t>(longNameCluster))) {
        slotClusters.push_back(static_cast<uint16_t>(longNameCluster));
        for (uint16_t c : clustersBetween(im, static_cast<uint16_t>(longNameCluster),
                                          static_cast<uint16_t>(entryCluster)))
            slotClusters.push_back(c);
    }
    // Another folder entry on the holding folder's own chain is one more name of that folder.
    uint16_t holder = parent >= 0 ? owners.entries[static_cast<size_t>(parent)].firstCluster : 0;
    for (uint16_t c : slotClusters) {
        if (owners.use[c] != kClusterShared) continue;
        for (int32_t o : owners.ownersOf(im, c)) {
            const OwnerEntry& other = owners.entries[static_cast<size_t>(o)];
            if (o != parent && o != self && !(other.folder && other.firstCluster == holder))
                return o;
        }
    }
    uint16_t first = entryFirstCluster(entry);
    if (!isFolderEntry(entry) || !im.isDataCluster(first)) return -1;
    if (!owners.ownsAlone(im, self, first)) return self >= 0 ? self : -2;
    // Every folder entered owns its chain alone, so none is entered twice: the walk is bounded.
    std::vector<uint16_t> folders{first};
    int32_t offender = -1;
    WalkedEntry e;
    while (!folders.empty() && offender == -1) {
        uint16_t folder = folders.back();
        folders.pop_back();
        for (ChainCursor c(im, folder); c.atCluster(); c.advance()) (*tree)[c.cluster()] = 1;
        forEachEntry(im, folder, e, [&](const WalkedEntry& w) {
            uint16_t child = entryFirstCluster(w.entry);
            if (isDotEntry(w.entry) || !isFolderEntry(w.entry) || !im.isDataCluster(child))
                return false;
            int32_t id = owners.find(w.entryCluster, w.entryIndex);
            if (id < 0 || !owners.ownsAlone(im, id, child)) {
                offender = id >= 0 ? id : -2;
                return true;
            }
            folders.push_back(child);
            return false;
        });
    }
    return offender;
}

}  // namespace

int VolumeImage::deleteTree(const uint8_t* entry, int32_t entryCluster, int32_t entryIndex,
                            int32_t longNameCluster, int32_t longNameIndex) {
    // "." would empty the folder that holds it, ".." its parent.
    if (isDotEntry(entry)) return kResultNoEntry;
    ClusterOwners owners;
    clusterOwners(*this, &owners);
    int32_t self = owners.find(entryCluster, entryIndex);
    const uint16_t noLongName[1] = {0};
    std::string name = self >= 0 ? ownerPath(*this, owners, self)
                                 : imageEntryName(entry, noLongName);
    std::vector<uint8_t> tree(clusterCount + 2u, 0);
    int32_t offender = checkTree(*this, owners, self, entry, entryCluster, longNameCluster, &tree);
    if (offender != -1) {
        std::string folder = offender >= 0 ? ownerPath(*this, owners, offender) : name;
        queueMessage(
            "Could not delete \"%s\"! Folder \"%s\" shares its clusters with another "
            "entry. Run Check disk to repair it.",
            name.c_str(), folder.c_str());
        return kResultDamaged;
    }

    // Everything outside the tree keeps what its chains reach. The tree is the entry and every
    // entry in the folders it empties; those folders belong to it alone.
    Keep keep;
    keep.owners = &owners;
    keep.reached.assign(clusterCount + 2u, 0);
    int32_t parent = self >= 0 ? owners.entries[static_cast<size_t>(self)].parent : -1;
    if (parent >= 0) keep.holder = owners.entries[static_cast<size_t>(parent)].firstCluster;
    for (size_t i = 0; i < owners.entries.size(); ++i) {
        const OwnerEntry& o = owners.entries[i];
        if (static_cast<int32_t>(i) == self ||
            (o.entryCluster > 0 && tree[static_cast<size_t>(o.entryCluster)]) ||
            !isDataCluster(o.firstCluster) || keep.reached[o.firstCluster])
            continue;
        // A chain reaching a cluster marked already goes on as the one that marked it.
        for (ChainCursor c(*this, o.firstCluster); c.atCluster() && !keep.reached[c.cluster()];
             c.advance())
            keep.reached[c.cluster()] = 1;
    }
    uint16_t first = entryFirstCluster(entry);
    if (isFolderEntry(entry) && isDataCluster(first)) emptyAndReclaim(*this, first, &keep);
    removeEntry(*this, first, entryCluster, entryIndex, longNameCluster, longNameIndex, true,
                &keep);
    if (keep.kept > 0)
        queueMessage(
            "Kept %d cluster%s of \"%s\" that another entry also uses (cross-linked). "
            "Run Check disk to repair it.",
            keep.kept, keep.kept == 1 ? "" : "s", name.c_str());
    return kResultOk;
}

int VolumeImage::deleteEntry(uint16_t firstCluster, int32_t entryCluster, int32_t entryIndex,
                             int32_t longNameCluster, int32_t longNameIndex) {
    removeEntry(*this, firstCluster, entryCluster, entryIndex, longNameCluster, longNameIndex,
                true);
    return 0;
}

int VolumeImage::deleteFolderContents(uint16_t firstCluster) {
    if (isDataCluster(firstCluster)) emptyAndReclaim(*this, firstCluster, nullptr);
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
