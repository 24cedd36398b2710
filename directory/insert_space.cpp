#include "directory/insert_space.h"

#include <cstring>
#include <utility>

#include "directory/dir_entry.h"
#include "directory/entry_names.h"
#include "directory/slot_scan.h"
#include "image/chain_cursor.h"

namespace {

// The folder's slots by position, as scanToEntry reads them.
struct PositionSlots {
    const VolumeImage& image;
    const FolderSlots& folder;
    int position;

    const uint8_t* current() const { return folderSlot(image, folder, position); }
    bool advance() { return ++position < folder.slotCount; }
    bool isRoot() const { return folder.firstCluster == 0; }
    uint16_t currentCluster() const {
        return folder.chain[static_cast<size_t>(position / image.entriesPerCluster)];
    }
};

// The position of the free slot at which the walker ends the folder early: the end mark of the
// root, or in a subfolder a free slot right after a long-name run. Entries placed from there on
// would never be listed. slotCount when the walker reads every slot.
int walkEnd(const VolumeImage& image, const FolderSlots& folder) {
    if (folder.slotCount == 0) return 0;
    PositionSlots slots{image, folder, 0};
    auto ignore = [](const uint8_t*) {};
    for (;;) {
        ScanStop stop = scanToEntry(slots, ignore, [] {});
        if (stop == kScanEndMark) return slots.position;
        if (stop == kScanEnd || !slots.advance()) return folder.slotCount;
    }
}

}  // namespace

bool loadFolderSlots(const VolumeImage& image, uint16_t firstCluster, FolderSlots* folder) {
    folder->firstCluster = firstCluster;
    folder->chain.clear();
    folder->canGrow = false;
    folder->scanFrom = 0;
    if (firstCluster == 0) {
        folder->slotCount = image.rootEntryCount();
        folder->walkEnd = walkEnd(image, *folder);
        return true;
    }
    if (!image.isDataCluster(firstCluster) || image.entriesPerCluster == 0) return false;
    ChainCursor chain(image, firstCluster);
    do {
        folder->chain.push_back(chain.cluster());
        folder->canGrow = chain.link().kind == kLinkEnd;
    } while (chain.advance());
    folder->slotCount = static_cast<int>(folder->chain.size()) * image.entriesPerCluster;
    folder->walkEnd = walkEnd(image, *folder);
    // Clusters added behind an early end would never be listed either.
    if (folder->walkEnd < folder->slotCount) folder->canGrow = false;
    return true;
}

const uint8_t* folderSlot(const VolumeImage& image, const FolderSlots& folder, int position) {
    if (folder.firstCluster == 0) return image.rootDir + position * de::kSize;
    uint16_t cluster = folder.chain[static_cast<size_t>(position / image.entriesPerCluster)];
    return image.clusterData(cluster) + (position % image.entriesPerCluster) * de::kSize;
}

uint8_t* folderSlot(VolumeImage& image, const FolderSlots& folder, int position) {
    const VolumeImage& readOnly = image;
    return const_cast<uint8_t*>(folderSlot(readOnly, folder, position));
}

bool findSlotRun(const VolumeImage& image, const FolderSlots& folder, int count, SlotRun* run) {
    int free = 0;
    bool root = folder.firstCluster == 0;
    int usable = root ? folder.slotCount : folder.walkEnd;
    run->firstFree = -1;
    // DOS and mtools end a subfolder at its first free slot (first byte 0) even where used slots
    // follow it (a damaged or foreign image); a run must begin at that slot at the latest, or
    // only Tolven would list the entry. The used slots behind it are left as they are.
    bool pastEnd = false;
    for (int p = folder.scanFrom; p < usable; ++p) {
        SlotKind kind = slotKind(folderSlot(image, folder, p));
        bool isFree = kind == kSlotFree || kind == kSlotDeleted || (root && p >= folder.walkEnd);
        if (!root && !isFree && pastEnd) return false;
        pastEnd = pastEnd || kind == kSlotFree;
        if (isFree && run->firstFree < 0) run->firstFree = p;
        free = isFree ? free + 1 : 0;
        if (free == count) {
            run->start = p - count + 1;
            run->growClusters = 0;
            return true;
        }
    }
    if (!folder.canGrow) return false;
    int per = image.entriesPerCluster;
    run->start = folder.slotCount - free;
    run->growClusters = (count - free + per - 1) / per;
    if (run->firstFree < 0) run->firstFree = run->start;
    return true;
}

void keepRootEnd(VolumeImage& image, const FolderSlots& folder, int start, int count) {
    int behind = start + count;
    if (folder.firstCluster != 0 || behind <= folder.walkEnd || behind >= folder.slotCount) return;
    std::memset(folderSlot(image, folder, behind), 0, de::kSize);
}

// Clusters that a damaged FAT calls free although the tree still uses them: the first cluster of
// every entry in any folder reached from the root, and every cluster a used cluster links to.
// Slots are read past end marks too, since a stale entry there may still own its data; reading
// too much only leaves a cluster unused.
static void markReferencedClusters(const VolumeImage& image, std::vector<bool>* taken) {
    uint32_t limit = 2u + image.clusterCount;
    for (uint32_t c = 2; c < limit; ++c) {
        ChainLink link = image.nextLink(c);
        if (link.kind == kLinkData) (*taken)[link.next] = true;
    }
    std::vector<bool> entered(limit, false);
    std::vector<uint16_t> folders(1, 0);
    while (!folders.empty()) {
        uint16_t folder = folders.back();
        folders.pop_back();
        // The folder's slots, cluster by cluster; a loop or a link out of the image ends it.
        std::vector<const uint8_t*> blocks;
        int slotsPerBlock = image.entriesPerCluster;
        if (folder == 0) {
            blocks.push_back(image.rootDir);
            slotsPerBlock = image.rootEntryCount();
        } else {
            for (ChainCursor chain(image, folder); chain.atCluster(); chain.advance())
                blocks.push_back(image.clusterData(chain.cluster()));
        }
        for (const uint8_t* block : blocks) {
            if (block == nullptr) continue;
            for (int i = 0; i < slotsPerBlock; ++i) {
                const uint8_t* slot = block + i * de::kSize;
                SlotKind kind = slotKind(slot);
                if (kind == kSlotFree || kind == kSlotDeleted || kind == kSlotLongName) continue;
                uint16_t first = entryFirstCluster(slot);
                if (!image.isDataCluster(first)) continue;
                (*taken)[first] = true;
                // "." and ".." name folders reached some other way.
                if (isFolderEntry(slot) && slot[de::kName] != de::kDotName && !entered[first]) {
                    entered[first] = true;
                    folders.push_back(first);
                }
            }
        }
    }
}

// The `count` lowest clusters from `from` on that the FAT calls free and `taken` does not hold.
static bool scanFreeClusters(const VolumeImage& image, const std::vector<bool>& taken,
                             uint32_t from, int count, std::vector<uint16_t>* found) {
    found->clear();
    uint32_t limit = 2u + image.clusterCount;
    for (uint32_t c = from; c < limit && static_cast<int>(found->size()) < count; ++c)
        if (image.fatTable[c] == 0 && !taken[c]) found->push_back(static_cast<uint16_t>(c));
    return static_cast<int>(found->size()) == count;
}

bool findFreeClusters(const VolumeImage& image, const FolderSlots& folder, int count,
                      std::vector<uint16_t>* found) {
    std::vector<bool> taken(image.clusterCount + 2u, false);
    for (uint16_t c : folder.chain) taken[c] = true;
    markReferencedClusters(image, &taken);
    return scanFreeClusters(image, taken, 2, count, found);
}

void linkClusters(VolumeImage& image, const uint16_t* clusters, int count) {
    for (int i = 0; i < count; ++i)
        image.setLink(clusters[i], i + 1 < count ? clusters[i + 1] : kEndOfChainMark);
}

void growFolder(VolumeImage& image, FolderSlots* folder, const uint16_t* clusters, int count) {
    if (count == 0) return;
    for (int i = 0; i < count; ++i)
        std::memset(image.clusterData(clusters[i]), 0, image.clusterBytes);
    linkClusters(image, clusters, count);
    image.setLink(folder->chain.back(), clusters[0]);
    folder->chain.insert(folder->chain.end(), clusters, clusters + count);
    bool readToEnd = folder->walkEnd == folder->slotCount;
    folder->slotCount += count * image.entriesPerCluster;
    if (readToEnd) folder->walkEnd = folder->slotCount;  // the new slots are zeroed: read too
}

namespace {

// A slot the referenced clusters were gathered from (see markReferencedClusters).
bool holdsReference(const uint8_t* slot) {
    SlotKind kind = slotKind(slot);
    return kind == kSlotEntry || kind == kSlotLabel;
}

}  // namespace

CachedFolder* InsertRun::folder(uint16_t firstCluster) {
    auto found = folders_.find(firstCluster);
    if (found != folders_.end()) return &found->second;
    CachedFolder loaded;
    if (!loadFolderSlots(image_, firstCluster, &loaded.slots)) return nullptr;
    collectNames(image_, firstCluster, nullptr, &loaded.names);
    if (built_) markChain(loaded.slots);
    CachedFolder& kept = folders_[firstCluster];
    kept = std::move(loaded);
    return &kept;
}

InsertRun::FolderState InsertRun::folderState(uint16_t firstCluster) {
    if (firstCluster == 0 || !image_.isDataCluster(firstCluster)) return kFolderSound;
    auto known = states_.find(firstCluster);
    if (known != states_.end()) return known->second;
    // Read once, before this operation writes anything: the folders it makes later were free
    // clusters then, reached by no entry.
    readOwners();
    FolderState state = kFolderSound;
    int32_t owner = owners_->firstOwner[firstCluster];
    const OwnerEntry* o = owner >= 0 ? &owners_->entries[static_cast<size_t>(owner)] : nullptr;
    const uint8_t* slots = image_.clusterData(firstCluster);
    if ((o != nullptr && (!o->folder || o->firstCluster != firstCluster)) ||
        !owners_->ownsAlone(image_, owner, firstCluster))
        state = kFolderShared;
    else if (image_.entriesPerCluster < 2 || std::memcmp(slots, ".          ", 11) != 0 ||
             !isFolderEntry(slots) || std::memcmp(slots + de::kSize, "..         ", 11) != 0 ||
             !isFolderEntry(slots + de::kSize))
        state = kFolderNoDots;
    states_[firstCluster] = state;
    return state;
}

void InsertRun::readOwners() {
    if (owners_) return;
    owners_.reset(new ClusterOwners);
    clusterOwners(image_, owners_.get());
}

bool InsertRun::ownsChain(int32_t entryCluster, int32_t entryIndex, uint16_t first) {
    readOwners();
    return owners_->ownsAlone(image_, owners_->find(entryCluster, entryIndex), first);
}

void InsertRun::release(const std::vector<uint16_t>& clusters) {
    if (clusters.empty()) return;
    for (uint16_t c : clusters) {
        if (built_) taken_[c] = false;
        if (c < lowestFree_) lowestFree_ = c;
    }
    owners_.reset();
    states_.clear();
}

void InsertRun::markChain(const FolderSlots& folder) {
    for (uint16_t c : folder.chain) taken_[c] = true;
}

bool InsertRun::findFreeClusters(int count, std::vector<uint16_t>* found) {
    if (!built_) {
        taken_.assign(image_.clusterCount + 2u, false);
        markReferencedClusters(image_, &taken_);
        for (const auto& kept : folders_) markChain(kept.second.slots);
        built_ = true;
        lowestFree_ = 2;
    }
    bool enough = scanFreeClusters(image_, taken_, lowestFree_, count, found);
    // Clusters only get used during an operation, so nothing below the lowest found turns free.
    if (!found->empty()) lowestFree_ = found->front();
    return enough;
}

// A long-name run just before the new slots reads on into them; a stale entry behind the root's
// end was gathered as a reference.
void InsertRun::beforeWrite(const CachedFolder& folder, const SlotRun& run, int count) {
    const FolderSlots& s = folder.slots;
    stale_ = run.start > 0 && hasLongNameAttributes(folderSlot(image_, s, run.start - 1));
    if (s.firstCluster != 0) return;
    // The slots written, and the one keepRootEnd clears behind them.
    for (int p = run.start > s.walkEnd ? run.start : s.walkEnd; p <= run.start + count; ++p)
        if (p < s.slotCount && holdsReference(folderSlot(image_, s, p))) built_ = false;
}

void InsertRun::afterWrite(CachedFolder* folder, const SlotRun& run, int count,
                           const uint8_t* shortName, const std::u16string& longName) {
    FolderSlots& s = folder->slots;
    if (!stale_ && s.firstCluster == 0) {
        // The root ends behind the new slots when they reach past its end (keepRootEnd); read
        // again, as a check that nothing else moved it.
        int behind = run.start + count;
        int predicted = behind <= s.walkEnd    ? s.walkEnd
                        : behind < s.slotCount ? behind
                                               : s.slotCount;
        s.walkEnd = walkEnd(image_, s);
        stale_ = s.walkEnd != predicted;
    }
    if (stale_) {
        folders_.erase(s.firstCluster);
        return;
    }
    folder->names.add(shortName, longName);
    s.scanFrom = run.firstFree == run.start ? run.start + count : run.firstFree;
}
