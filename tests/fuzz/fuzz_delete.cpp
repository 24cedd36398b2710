// Every entry of a loaded image deleted: first as the Delete command does with the whole root
// selected (folders as trees, with the locations of one walk), then, each on a fresh load, single
// entries picked by the input as rm deletes a path: a refused one changes nothing, a done one
// leaves every entry outside its tree as it was. Deletion may touch only the directory
// slots, the data clusters and the FAT entries of data clusters; the counts keep covering every
// cluster, no cluster becomes used, and the root has nothing left to delete.
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "tests/unit/image_snapshot.h"

using fuzz_support::WalkedEntry;

namespace {

// What deletion must leave alone: the FAT entries of clusters 0, 1 and above the last data
// cluster, everything beside fatTable in the object, and the raw FAT copies.
std::vector<uint8_t> untouchable(const VolumeImage& image) {
    std::vector<uint8_t> s;
    auto put = [&s](const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        s.insert(s.end(), b, b + n);
    };
    put(image.fatTable, 2 * sizeof(uint16_t));
    size_t end = image.clusterCount + 2u;
    put(image.fatTable + end, (kFatTableEntries - end) * sizeof(uint16_t));
    bool backedUp = image.backup != nullptr;
    put(&backedUp, sizeof backedUp);
    put(image.bootSector, sizeof image.bootSector);
    put(image.fat1, sizeof image.fat1);
    put(image.fat2, sizeof image.fat2);
    put(&image.clusterBytes, sizeof image.clusterBytes);
    put(&image.clusterCount, sizeof image.clusterCount);
    return s;
}

struct Counts {
    int freeCount, used;
    explicit Counts(const VolumeImage& image)
        : freeCount(image.countFreeClusters()), used(image.countUsedClusters()) {}
};

void checkAfter(const VolumeImage& image, const std::vector<uint8_t>& fixed, const Counts& before) {
    FUZZ_CHECK(untouchable(image) == fixed);
    fuzz_support::checkCounts(image);
    Counts now(image);
    FUZZ_CHECK(now.freeCount >= before.freeCount);
    FUZZ_CHECK(now.used <= before.used);
}

bool isDotDot(const uint8_t* entry) { return std::memcmp(entry, "..         ", 11) == 0; }

// The Delete command with every root entry selected.
void deleteRoot(VolumeImage& image) {
    std::vector<WalkedEntry> root;
    WalkedEntry e;
    uint8_t more = image.startWalk(0, e.entry, e.longName, kLongNameBytes, e.entryCluster,
                                   e.entryIndex, e.longNameCluster, e.longNameIndex);
    while (more) {
        root.push_back(e);
        more = image.nextEntry(e.entry, e.longName, kLongNameBytes, e.entryCluster, e.entryIndex,
                               e.longNameCluster, e.longNameIndex);
    }
    for (const WalkedEntry& r : root) {
        uint16_t first = readLe16(r.entry + de::kFirstCluster);
        if (fuzz_support::isFolder(r.entry)) {
            if (isDotDot(r.entry)) continue;
            image.deleteFolderContents(first);
        }
        image.deleteEntry(first, r.entryCluster, r.entryIndex, r.longNameCluster, r.longNameIndex);
    }
}

// One entry deleted as rm does it: refused, nothing changes; done, every entry outside its tree
// keeps its bytes and chain (the folder that held it may give back emptied clusters).
void deleteOne(VolumeImage& image, const WalkedEntry& pick) {
    fuzz_support::SlotAt at{pick.entryCluster, pick.entryIndex};
    fuzz_support::Survey before = fuzz_support::survey(image, &at);
    std::vector<uint8_t> whole = snapshot(image);
    int result = image.deleteTree(pick.entry, pick.entryCluster, pick.entryIndex,
                                  pick.longNameCluster, pick.longNameIndex);
    image.clear();
    if (result != kResultOk) FUZZ_CHECK(snapshot(image) == whole);
    else fuzz_support::checkUnchanged(before, fuzz_support::survey(image, &at), pick.folder, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static VolumeImage* image = new VolumeImage;
    std::string input = fuzz_support::writeInput("delete.img", data, size);

    image->reset();
    if (image->loadImageFile(input.c_str()) != kResultOk) {
        image->clear();
        return 0;
    }
    std::vector<uint8_t> fixed = untouchable(*image);
    Counts before(*image);
    deleteRoot(*image);
    checkAfter(*image, fixed, before);
    // Nothing deletable is left in the root.
    WalkedEntry e;
    uint8_t more = image->startWalk(0, e.entry, e.longName, kLongNameBytes, e.entryCluster,
                                    e.entryIndex, e.longNameCluster, e.longNameIndex);
    while (more) {
        FUZZ_CHECK(fuzz_support::isFolder(e.entry) && isDotDot(e.entry));
        more = image->nextEntry(e.entry, e.longName, kLongNameBytes, e.entryCluster, e.entryIndex,
                                e.longNameCluster, e.longNameIndex);
    }

    // Three entries picked by the input, each deleted from a fresh load.
    image->reset();
    FUZZ_CHECK(image->loadImageFile(input.c_str()) == kResultOk);
    std::vector<WalkedEntry> all = fuzz_support::walkAll(*image);
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; i += 61) hash = (hash ^ data[i]) * 16777619u;
    for (int round = 0; round < 3 && !all.empty(); ++round) {
        const WalkedEntry& pick = all[(hash >> (round * 10)) % all.size()];
        image->reset();
        FUZZ_CHECK(image->loadImageFile(input.c_str()) == kResultOk);
        if (!isDotEntry(pick.entry)) deleteOne(*image, pick);
        checkAfter(*image, fixed, before);
    }
    image->clear();
    return 0;
}
