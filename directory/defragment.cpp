#include "directory/defragment.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "directory/cluster_owners.h"
#include "directory/dir_entry.h"
#include "image/boot_sector.h"
#include "image/chain_cursor.h"

namespace {

uint8_t* slotAt(VolumeImage& image, int32_t entryCluster, int32_t entryIndex) {
    if (entryIndex < 0) return nullptr;
    if (entryCluster == 0)
        return entryIndex < std::min<int>(image.rootEntryCount(), kMaxRootEntries)
                   ? image.rootDir + entryIndex * de::kSize
                   : nullptr;
    uint8_t* data = image.clusterData(static_cast<uint32_t>(entryCluster));
    return data != nullptr && entryIndex < image.entriesPerCluster ? data + entryIndex * de::kSize
                                                                   : nullptr;
}

void setFirstCluster(uint8_t* slot, uint16_t cluster) {
    slot[de::kFirstCluster] = static_cast<uint8_t>(cluster & 0xFF);
    slot[de::kFirstCluster + 1] = static_cast<uint8_t>(cluster >> 8);
}

// A cluster no chain reaches and marked bad or reserved: it keeps its place and its mark.
bool fixedCluster(const ClusterOwners& owners, uint32_t cluster) {
    return owners.use[cluster] == kClusterBad || owners.use[cluster] == kClusterReserved;
}

bool refuse(VolumeImage& image, const char* action, const std::string& what) {
    image.queueMessage("Could not %s the image: %s! Run Check disk to repair it.", action,
                       what.c_str());
    return false;
}

// True when every chain can be moved as a whole: no cluster reached twice, none used but
// unreached, every chain ending in an end mark without coming back.
bool chainsSound(VolumeImage& image, const ClusterOwners& owners) {
    const char* action = "defragment";
    for (size_t c = 2; c < owners.use.size(); ++c)
        if (owners.use[c] == kClusterShared)
            return refuse(image, action,
                          "\"" + ownerPath(image, owners, owners.firstOwner[c]) +
                              "\" shares clusters with another entry");
    for (size_t c = 2; c < owners.use.size(); ++c)
        if (owners.use[c] == kClusterLost)
            return refuse(image, action,
                          "cluster " + std::to_string(c) + " is used but belongs to no file");
    for (size_t i = 0; i < owners.entries.size(); ++i) {
        uint16_t first = owners.entries[i].firstCluster;
        if (first == 0) continue;
        // The path is looked up only for the message: each lookup walks the entry's folder.
        auto path = [&] { return "\"" + ownerPath(image, owners, static_cast<int32_t>(i)) + "\""; };
        if (!image.isDataCluster(first))
            return refuse(image, action, path() + " names no cluster of the volume");
        ChainCursor c(image, first);
        while (c.link().kind == kLinkData && c.advance()) {
        }
        if (c.looped()) return refuse(image, action, "the chain of " + path() + " loops");
        if (c.atCluster() && c.link().kind != kLinkEnd)
            return refuse(image, action, "the chain of " + path() + " breaks off");
    }
    return true;
}

// The entries in the order they are laid out: folders depth first, then files, each folder's
// entries in walk order (the order clusterOwners found them).
std::vector<int32_t> layoutOrder(const ClusterOwners& owners) {
    size_t n = owners.entries.size();
    std::vector<std::vector<int32_t>> children(n + 1);  // [0] the root, [i + 1] entry i
    for (size_t i = 0; i < n; ++i)
        children[static_cast<size_t>(owners.entries[i].parent + 1)].push_back(
            static_cast<int32_t>(i));
    std::vector<int32_t> folders;
    std::vector<int32_t> stack{-1};
    while (!stack.empty()) {
        int32_t at = stack.back();
        stack.pop_back();
        if (at >= 0) folders.push_back(at);
        const std::vector<int32_t>& kids = children[static_cast<size_t>(at + 1)];
        for (auto k = kids.rbegin(); k != kids.rend(); ++k)
            if (owners.entries[static_cast<size_t>(*k)].folder) stack.push_back(*k);
    }
    std::vector<int32_t> order = folders;
    folders.insert(folders.begin(), -1);
    for (int32_t f : folders)
        for (int32_t k : children[static_cast<size_t>(f + 1)])
            if (!owners.entries[static_cast<size_t>(k)].folder) order.push_back(k);
    return order;
}

}  // namespace

int defragmentImage(VolumeImage& image, DefragmentOutcome* outcome) {
    *outcome = DefragmentOutcome();
    ClusterOwners owners;
    clusterOwners(image, &owners);
    if (!chainsSound(image, owners)) return kResultDamaged;

    // The plan: where every cluster goes. Owned clusters take the places in layout order; the
    // free ones fill what is left, so that the move is one permutation of the movable clusters.
    uint32_t limit = 2u + image.clusterCount;
    std::vector<uint16_t> target(limit, 0);
    uint32_t next = 2;
    auto nextPlace = [&]() {
        while (fixedCluster(owners, next)) ++next;
        return static_cast<uint16_t>(next++);
    };
    for (int32_t id : layoutOrder(owners)) {
        const OwnerEntry& e = owners.entries[static_cast<size_t>(id)];
        bool moved = false;
        for (ChainCursor c(image, e.firstCluster); c.atCluster(); c.advance()) {
            target[c.cluster()] = nextPlace();
            moved = moved || target[c.cluster()] != c.cluster();
            if (target[c.cluster()] != c.cluster()) ++outcome->clustersMoved;
        }
        if (moved) ++(e.folder ? outcome->foldersMoved : outcome->filesMoved);
    }
    if (outcome->clustersMoved == 0) return kResultOk;
    std::vector<uint16_t> source(limit, 0);  // the cluster whose bytes go to each place
    for (uint32_t c = 2; c < limit; ++c)
        if (target[c] != 0) source[target[c]] = static_cast<uint16_t>(c);
    for (uint32_t c = 2; c < limit; ++c) {
        if (target[c] != 0 || fixedCluster(owners, c)) continue;
        target[c] = nextPlace();
        source[target[c]] = static_cast<uint16_t>(c);
    }

    // The entries' first clusters, and "." and ".." in each folder's first cluster, are
    // rewritten where they lie now, before the clusters move.
    for (const OwnerEntry& e : owners.entries) {
        uint8_t* slot = slotAt(image, e.entryCluster, e.entryIndex);
        if (slot != nullptr && e.firstCluster != 0) setFirstCluster(slot, target[e.firstCluster]);
        uint8_t* dots = e.folder ? image.clusterData(e.firstCluster) : nullptr;
        for (int i = 0; dots != nullptr && i < 2 && i < image.entriesPerCluster; ++i) {
            uint8_t* dot = dots + i * de::kSize;
            uint16_t named = entryFirstCluster(dot);
            if (isDotEntry(dot) && image.isDataCluster(named) && target[named] != 0)
                setFirstCluster(dot, target[named]);
        }
    }

    std::vector<uint16_t> table(image.fatTable, image.fatTable + limit);
    for (uint32_t c = 2; c < limit; ++c) {
        if (fixedCluster(owners, c)) continue;
        uint16_t from = source[c];
        uint16_t link = table[from];
        image.setLink(c, link >= 2 && link < limit && target[link] != 0 ? target[link] : link);
    }

    // Each cycle of the permutation moves with one cluster held aside: every cluster's bytes are
    // copied once.
    std::vector<uint8_t> held(image.clusterBytes);
    std::vector<uint8_t> done(limit, 0);
    for (uint32_t start = 2; start < limit; ++start) {
        if (done[start] || source[start] == 0 || source[start] == start) continue;
        std::memcpy(held.data(), image.clusterData(start), image.clusterBytes);
        uint32_t at = start;
        while (source[at] != start) {
            std::memcpy(image.clusterData(at), image.clusterData(source[at]), image.clusterBytes);
            done[at] = 1;
            at = source[at];
        }
        std::memcpy(image.clusterData(at), held.data(), image.clusterBytes);
        done[at] = 1;
    }
    return kResultOk;
}

namespace {

bool zeroRange(uint8_t* bytes, size_t count) {
    bool any = false;
    for (size_t i = 0; i < count && !any; ++i) any = bytes[i] != 0;
    if (any) std::memset(bytes, 0, count);
    return any;
}

// Takes the deleted slots out of one folder (its slots in walk order): the slots after each move
// up in the same order and the freed ones at the end become zeros. Every walk lists the same
// entries, since deleted slots are passed over by all of them. Returns the slots taken out.
int clearDeletedSlots(const std::vector<uint8_t*>& slots) {
    size_t kept = 0;
    for (uint8_t* slot : slots) {
        if (slot[0] == de::kDeleted) continue;
        if (slots[kept] != slot) std::memcpy(slots[kept], slot, de::kSize);
        ++kept;
    }
    int cleared = static_cast<int>(slots.size() - kept);
    for (size_t i = kept; i < slots.size(); ++i) std::memset(slots[i], 0, de::kSize);
    return cleared;
}

}  // namespace

int wipeFreeSpace(VolumeImage& image, WipeOutcome* outcome) {
    *outcome = WipeOutcome();
    ClusterOwners owners;
    clusterOwners(image, &owners);
    for (size_t c = 2; c < owners.use.size(); ++c) {
        if (owners.use[c] != kClusterShared) continue;
        image.queueMessage(
            "Could not wipe the image: \"%s\" shares clusters with another entry! Run Check "
            "disk to repair it.",
            ownerPath(image, owners, owners.firstOwner[c]).c_str());
        return kResultDamaged;
    }

    for (size_t c = 2; c < owners.use.size(); ++c)
        if (owners.use[c] == kClusterFree &&
            zeroRange(image.clusterData(static_cast<uint32_t>(c)), image.clusterBytes))
            ++outcome->clustersZeroed;

    for (const OwnerEntry& e : owners.entries) {
        const uint8_t* slot = e.folder ? nullptr : slotAt(image, e.entryCluster, e.entryIndex);
        if (slot == nullptr) continue;
        uint32_t size = readLe32(slot + de::kFileSize);
        bool trimmed = false;
        uint32_t at = 0;  // bytes of the file before the current cluster
        for (ChainCursor c(image, e.firstCluster); c.atCluster(); c.advance()) {
            uint32_t keep = size > at ? std::min<uint32_t>(size - at, image.clusterBytes) : 0;
            trimmed = zeroRange(image.clusterData(c.cluster()) + keep, image.clusterBytes - keep) ||
                      trimmed;
            at += image.clusterBytes;
        }
        if (trimmed) ++outcome->filesTrimmed;
    }

    // Folders last: taking slots out moves the entries the loop above found by their places.
    std::vector<uint8_t*> slots;
    int rootSlots = std::min<int>(image.rootEntryCount(), kMaxRootEntries);
    for (int i = 0; i < rootSlots; ++i) slots.push_back(image.rootDir + i * de::kSize);
    outcome->entriesCleared += clearDeletedSlots(slots);
    for (const OwnerEntry& e : owners.entries) {
        if (!e.folder) continue;
        slots.clear();
        for (ChainCursor c(image, e.firstCluster); c.atCluster(); c.advance())
            for (int i = 0; i < image.entriesPerCluster; ++i)
                slots.push_back(image.clusterData(c.cluster()) + i * de::kSize);
        outcome->entriesCleared += clearDeletedSlots(slots);
    }
    return kResultOk;
}
