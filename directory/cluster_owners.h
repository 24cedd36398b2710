// Which live entries reach each data cluster, found in one pass over the tree from the root: the
// edits that must not spread damage (deletion, insertion) ask it before they write, and so can a
// check of the volume or a view of a cluster's owner.
#ifndef TOLVEN_DIRECTORY_CLUSTER_OWNERS_H
#define TOLVEN_DIRECTORY_CLUSTER_OWNERS_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "image/volume_image.h"

// What holds a data cluster: reachability from the tree first, the FAT's value where nothing
// reaches it.
enum ClusterUse : uint8_t {
    kClusterFree,      // FAT 0
    kClusterReserved,  // FAT 0xFF0-0xFF6
    kClusterBad,       // FAT 0xFF7
    kClusterLost,      // used in the FAT, reached by no entry's chain
    kClusterOwned,     // reached by the chain of exactly one entry
    kClusterShared,    // reached by the chains of two entries or more (cross-linked)
};

// A live entry: one the walker lists in a folder reached from the root. "." and ".." own
// nothing: the folders they name have entries of their own.
struct OwnerEntry {
    int32_t entryCluster, entryIndex;  // its short entry's slot, as the walker reports it
    int32_t parent;                    // index of the folder entry it lies in; -1 the root
    uint16_t firstCluster;
    bool folder;
};

struct ClusterOwners {
    std::vector<OwnerEntry> entries;
    std::vector<ClusterUse> use;      // by cluster number (0 and 1 unused)
    std::vector<int32_t> firstOwner;  // the first entry whose chain reaches the cluster; -1 none
    // Where a chain ran into a cluster another chain had reached: the rest of it is shared. Kept
    // instead of per-cluster lists, so that a hostile image costs one mark per cluster.
    std::vector<std::pair<int32_t, uint16_t>> joins;
    std::unordered_map<uint32_t, int32_t> bySlot;

    // The entry whose short entry is at this slot; -1 when no live entry is.
    int32_t find(int32_t entryCluster, int32_t entryIndex) const;
    // Every entry whose chain reaches `cluster`, the first owner first.
    std::vector<int32_t> ownersOf(const VolumeImage& image, uint16_t cluster) const;
    // True when no cluster of the chain from `first` is reached by any chain but that of entry
    // `owner` (-1: by none at all).
    bool ownsAlone(const VolumeImage& image, int32_t owner, uint16_t first) const;
};

// Walks every folder reachable from the root once and claims each live entry's chain.
void clusterOwners(VolumeImage& image, ClusterOwners* out);
// "/DOCS/read me.txt" for entry `index`, as the image spells it.
std::string ownerPath(VolumeImage& image, const ClusterOwners& owners, int32_t index);

#endif
