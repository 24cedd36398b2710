#include "directory/cluster_owners.h"

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "directory/image_path.h"
#include "image/chain_cursor.h"

namespace {

// Entry indices stay below 256 (8192-byte clusters hold 256 slots; the root at most 240).
uint32_t slotKey(int32_t entryCluster, int32_t entryIndex) {
    return static_cast<uint32_t>(entryCluster) * 256u + static_cast<uint32_t>(entryIndex);
}

// Entry `id` reaches `cluster`, which another chain reached first: from there on both chains
// are one (a cluster has one link), so the rest is marked shared up to where it already is.
void join(const VolumeImage& image, ClusterOwners& out, int32_t id, uint16_t cluster) {
    out.joins.emplace_back(id, cluster);
    for (ChainCursor c(image, cluster); c.atCluster(); c.advance()) {
        if (out.use[c.cluster()] == kClusterShared) break;
        out.use[c.cluster()] = kClusterShared;
    }
}

void claimChain(const VolumeImage& image, ClusterOwners& out, int32_t id, uint16_t first) {
    if (!image.isDataCluster(first)) return;
    // A first cluster already reached needs no cursor: many entries on one long chain cost one
    // step each.
    if (out.firstOwner[first] != -1) {
        if (out.firstOwner[first] != id) join(image, out, id, first);
        return;
    }
    for (ChainCursor c(image, first); c.atCluster(); c.advance()) {
        int32_t& owner = out.firstOwner[c.cluster()];
        if (owner == -1) {
            owner = id;
            out.use[c.cluster()] = kClusterOwned;
        } else {
            if (owner != id) join(image, out, id, c.cluster());
            break;
        }
    }
}

}  // namespace

int32_t ClusterOwners::find(int32_t entryCluster, int32_t entryIndex) const {
    if (entryCluster < 0 || entryIndex < 0) return -1;
    auto found = bySlot.find(slotKey(entryCluster, entryIndex));
    return found == bySlot.end() ? -1 : found->second;
}

std::vector<int32_t> ClusterOwners::ownersOf(const VolumeImage& image, uint16_t cluster) const {
    std::vector<int32_t> owners;
    if (cluster >= firstOwner.size() || firstOwner[cluster] == -1) return owners;
    owners.push_back(firstOwner[cluster]);
    if (use[cluster] != kClusterShared) return owners;
    for (const auto& j : joins) {
        bool seen = false;
        for (int32_t o : owners) seen = seen || o == j.first;
        if (seen) continue;
        for (ChainCursor c(image, j.second); c.atCluster(); c.advance()) {
            if (c.cluster() != cluster) continue;
            owners.push_back(j.first);
            break;
        }
    }
    return owners;
}

bool ClusterOwners::ownsAlone(const VolumeImage& image, int32_t owner, uint16_t first) const {
    for (ChainCursor c(image, first); c.atCluster(); c.advance())
        if (use[c.cluster()] == kClusterShared || firstOwner[c.cluster()] != owner) return false;
    return true;
}

void clusterOwners(VolumeImage& image, ClusterOwners* out) {
    size_t limit = 2u + image.clusterCount;
    out->entries.clear();
    out->joins.clear();
    out->bySlot.clear();
    out->use.assign(limit, kClusterFree);
    out->firstOwner.assign(limit, -1);
    // Each folder is entered once by its first cluster, and a walk stops where it reaches a
    // cluster whose slots another folder's walk has read (a chain joining another): the entries
    // there are listed already. So every slot is read about once, whatever the image.
    std::vector<int32_t> readBy(limit, -1);
    std::vector<uint8_t> entered(limit, 0);
    std::vector<std::pair<uint16_t, int32_t>> folders{{0, -1}};  // first cluster, its entry
    WalkedEntry e;
    int32_t walk = 0;
    while (!folders.empty()) {
        std::pair<uint16_t, int32_t> folder = folders.back();
        folders.pop_back();
        ++walk;
        forEachEntry(image, folder.first, e, [&](const WalkedEntry& w) {
            if (w.entryCluster > 0) {
                int32_t& reader = readBy[static_cast<size_t>(w.entryCluster)];
                if (reader != -1 && reader != walk) return true;
                reader = walk;
            }
            uint32_t key = slotKey(w.entryCluster, w.entryIndex);
            if (isDotEntry(w.entry) || out->bySlot.count(key) != 0) return false;
            int32_t id = static_cast<int32_t>(out->entries.size());
            uint16_t first = entryFirstCluster(w.entry);
            bool isFolder = isFolderEntry(w.entry);
            out->entries.push_back({w.entryCluster, w.entryIndex, folder.second, first, isFolder});
            out->bySlot[key] = id;
            claimChain(image, *out, id, first);
            if (isFolder && image.isDataCluster(first) && !entered[first]) {
                entered[first] = 1;
                folders.emplace_back(first, id);
            }
            return false;
        });
    }
    for (size_t c = 2; c < limit; ++c) {
        if (out->firstOwner[c] != -1) continue;
        switch (classifyFatEntry(image.fatTable[c])) {
        case kFatFree: out->use[c] = kClusterFree; break;
        case kFatReserved: out->use[c] = kClusterReserved; break;
        case kFatBad: out->use[c] = kClusterBad; break;
        case kFatUsed: out->use[c] = kClusterLost; break;
        }
    }
}

std::string ownerPath(VolumeImage& image, const ClusterOwners& owners, int32_t index) {
    std::string path;
    // Bounded by the entries: a parent always comes before its children.
    for (int32_t i = index; i >= 0 && i < static_cast<int32_t>(owners.entries.size());) {
        const OwnerEntry& o = owners.entries[static_cast<size_t>(i)];
        int32_t parent = o.parent;
        uint16_t folder = parent < 0 ? 0 : owners.entries[static_cast<size_t>(parent)].firstCluster;
        std::string name;
        forEachEntry(image, folder, [&](const WalkedEntry& w) {
            if (w.entryCluster != o.entryCluster || w.entryIndex != o.entryIndex) return false;
            name = imageEntryName(w.entry, w.longName);
            return true;
        });
        path = "/" + name + path;
        if (parent >= i) break;
        i = parent;
    }
    return path.empty() ? "/" : path;
}
