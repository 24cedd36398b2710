// Renaming and attributes of entries. A rename is an insertion of the same entry under a new
// name: the old slots are counted free while room is sought, and nothing is written until the
// new name and its slots are sure to fit.
#include <cstring>
#include <vector>

#include "directory/cluster_owners.h"
#include "directory/dir_entry.h"
#include "directory/entry_names.h"
#include "directory/insert_space.h"
#include "image/volume_image.h"

namespace {

const uint8_t kEditableBits = de::kAttrReadOnly | de::kAttrHidden | de::kAttrSystem |
                              de::kAttrArchive;
const char kNoEntry[] = "Entry not found!";

// The position in the folder of the slot at (cluster, index) as the walker names it, or -1.
int slotPosition(const VolumeImage& image, const FolderSlots& folder, int32_t cluster,
                 int32_t index) {
    if (folder.firstCluster == 0)
        return cluster == 0 && index >= 0 && index < folder.slotCount ? index : -1;
    if (index < 0 || index >= image.entriesPerCluster) return -1;
    for (size_t i = 0; i < folder.chain.size(); ++i)
        if (folder.chain[i] == cluster)
            return static_cast<int>(i) * image.entriesPerCluster + index;
    return -1;
}

// A file or folder entry other than "." and "..".
bool isNamedEntry(const uint8_t* slot) { return slotKind(slot) == kSlotEntry && !isDotEntry(slot); }

// The entry's slot, when (cluster, index) names a file or folder entry; else null.
uint8_t* entrySlot(VolumeImage& image, int32_t cluster, int32_t index) {
    uint8_t* slot = nullptr;
    if (cluster == 0) {
        if (index >= 0 && index < image.rootEntryCount() && index < kMaxRootEntries)
            slot = image.rootDir + index * de::kSize;
    } else if (index >= 0 && index < image.entriesPerCluster) {
        uint8_t* data = image.clusterData(static_cast<uint32_t>(cluster));
        if (data != nullptr) slot = data + index * de::kSize;
    }
    return slot != nullptr && isNamedEntry(slot) ? slot : nullptr;
}

// Marks the slots from `first` to `last` deleted, keeping their first bytes in `kept`.
void markDeleted(VolumeImage& image, const FolderSlots& folder, int first, int last,
                 std::vector<uint8_t>* kept) {
    kept->clear();
    for (int p = first; p <= last; ++p) {
        uint8_t* slot = folderSlot(image, folder, p);
        kept->push_back(slot[0]);
        slot[0] = de::kDeleted;
    }
}

void restoreMarks(VolumeImage& image, const FolderSlots& folder, int first,
                  const std::vector<uint8_t>& kept) {
    for (size_t i = 0; i < kept.size(); ++i)
        folderSlot(image, folder, first + static_cast<int>(i))[0] = kept[i];
}

const char kSharedFolder[] =
    "Could not %s: its folder shares its clusters with another entry! Run Check disk to repair "
    "it.";
const char kNoDotsFolder[] =
    "Could not %s: its folder does not begin with \".\" and \"..\"! Run Check disk to repair "
    "it.";

// A slot in a subfolder cluster is written only when that cluster is the folder's alone: in a
// cluster another chain reaches, the write would change that entry's bytes too.
bool slotClusterOwnedByOneFolder(VolumeImage& image, int32_t cluster) {
    if (cluster == 0) return true;
    ClusterOwners owners;
    clusterOwners(image, &owners);
    uint32_t c = static_cast<uint32_t>(cluster);
    if (c >= owners.use.size() || owners.use[c] != kClusterOwned) return false;
    return owners.entries[static_cast<size_t>(owners.firstOwner[c])].folder;
}

}  // namespace

int VolumeImage::renameEntry(uint16_t folderCluster, int32_t entryCluster, int32_t entryIndex,
                             int32_t longNameCluster, int32_t longNameIndex, const char* newName,
                             int32_t* placedCluster, int32_t* placedIndex) {
    FolderSlots folder;
    int at = -1;
    if (loadFolderSlots(*this, folderCluster, &folder))
        at = slotPosition(*this, folder, entryCluster, entryIndex);
    if (at < 0 || entrySlot(*this, entryCluster, entryIndex) == nullptr)
        return refuseEntry(*this, kResultNoEntry, "%s", kNoEntry);
    // The same rule as insertion's: a rename may take new slots and grow the folder.
    InsertRun::FolderState state = InsertRun(*this).folderState(folderCluster);
    if (state != InsertRun::kFolderSound)
        return refuseEntry(*this, kResultDamaged,
                           state == InsertRun::kFolderShared ? kSharedFolder : kNoDotsFolder,
                           "rename the entry");
    // The long name's slots run up to the entry; a location that does not lead there is not
    // trusted, and only the entry's own slot is taken.
    int from = longNameIndex >= 0 ? slotPosition(*this, folder, longNameCluster, longNameIndex)
                                  : at;
    if (from < 0 || from > at) from = at;
    for (int p = from; p < at; ++p)
        if (!hasLongNameAttributes(folderSlot(*this, folder, p))) from = p + 1;

    NameOwner owner = {entryCluster, entryIndex};
    EntryName planned;
    int named = planEntryName(*this, folderCluster, newName, &owner, &planned);
    if (named != kResultOk) return named;

    // Room is sought with the old slots marked free, then they are put back: the free clusters
    // are sought with every entry in place, so that a damaged FAT cannot hand out the entry's own.
    int count = planned.longSlots + 1;
    std::vector<uint8_t> kept;
    markDeleted(*this, folder, from, at, &kept);
    SlotRun run;
    bool fits = findSlotRun(*this, folder, count, &run);
    restoreMarks(*this, folder, from, kept);
    if (!fits)
        return refuseEntry(*this, kResultDirectoryFull,
                           "Directory is full, could not insert \"%s\"!", newName);
    std::vector<uint16_t> growth;
    if (run.growClusters > 0 && !findFreeClusters(*this, folder, run.growClusters, &growth))
        return refuseEntry(*this, kResultNoSpace, "Not enough free space on image for \"%s\"!",
                           newName);

    // Everything fits: from here on nothing can fail.
    std::vector<uint8_t> slots(static_cast<size_t>(count) * de::kSize);
    buildEntrySlots(planned, folderSlot(*this, folder, at), slots.data());
    markDeleted(*this, folder, from, at, &kept);
    growFolder(*this, &folder, growth.data(), run.growClusters);
    for (int i = 0; i < count; ++i)
        std::memcpy(folderSlot(*this, folder, run.start + i), slots.data() + i * de::kSize,
                    de::kSize);
    keepRootEnd(*this, folder, run.start, count);

    int placed = run.start + count - 1;
    if (placedCluster != nullptr)
        *placedCluster = folder.firstCluster == 0
                             ? 0
                             : folder.chain[static_cast<size_t>(placed / entriesPerCluster)];
    if (placedIndex != nullptr)
        *placedIndex = folder.firstCluster == 0 ? placed : placed % entriesPerCluster;
    return kResultOk;
}

int VolumeImage::setAttributes(int32_t entryCluster, int32_t entryIndex, uint8_t setBits,
                               uint8_t clearBits) {
    uint8_t* slot = entrySlot(*this, entryCluster, entryIndex);
    if (slot == nullptr) return refuseEntry(*this, kResultNoEntry, "%s", kNoEntry);
    if (!slotClusterOwnedByOneFolder(*this, entryCluster))
        return refuseEntry(*this, kResultDamaged, kSharedFolder, "change the attributes");
    uint8_t attributes = slot[de::kAttributes];
    attributes = static_cast<uint8_t>(attributes | (setBits & kEditableBits));
    attributes = static_cast<uint8_t>(attributes & ~(clearBits & kEditableBits));
    slot[de::kAttributes] = attributes;
    return kResultOk;
}
