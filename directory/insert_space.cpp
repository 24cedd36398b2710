#include "directory/insert_space.h"

#include <algorithm>
#include <cstring>

static bool isDataCluster(const VolumeImage& image, uint32_t cluster) {
    return cluster >= 2 && cluster < 2u + image.clusterCount;
}

// The walker's view of a slot: skipped, a long-name piece, or an entry.
static bool rootSkips(const uint8_t* slot) {
    return slot[0] == 0xE5 || (slot[11] != 0x0F && (slot[11] & 0x0F) == 0x08);
}

// The position at which the walker ends the folder early: the end mark of the root (a 0x00 slot
// after any long-name run), or in a subfolder a 0x00 slot right after a long-name run. Entries
// placed from there on would never be listed.
static int walkEnd(const VolumeImage& image, const FolderSlots& folder) {
    int p = 0;
    int n = folder.slotCount;
    bool root = folder.firstCluster == 0;
    auto skips = [&](int q) {
        const uint8_t* slot = folderSlot(image, folder, q);
        if (root) return rootSkips(slot);
        uint16_t cluster = folder.chain[q / image.entriesPerCluster];
        return slot[0] == 0xE5 || slot[0] == 0x00 || (slot[26] | (slot[27] << 8)) == cluster;
    };
    while (p < n) {
        while (p < n && skips(p)) ++p;
        bool run = false;
        while (p < n && folderSlot(image, folder, p)[11] == 0x0F) {
            run = true;
            ++p;
        }
        if (p >= n) break;
        if (folderSlot(image, folder, p)[0] == 0x00 && (root || run)) return p;
        if (!skips(p)) ++p;
    }
    return n;
}

bool loadFolderSlots(const VolumeImage& image, uint16_t firstCluster, FolderSlots* folder) {
    folder->firstCluster = firstCluster;
    folder->chain.clear();
    folder->canGrow = false;
    if (firstCluster == 0) {
        folder->slotCount = image.rootEntryCount();
        folder->walkEnd = walkEnd(image, *folder);
        return true;
    }
    if (!isDataCluster(image, firstCluster) || image.entriesPerCluster == 0) return false;
    std::vector<bool> seen(image.clusterCount + 2u, false);
    uint16_t cluster = firstCluster;
    for (;;) {
        seen[cluster] = true;
        folder->chain.push_back(cluster);
        uint16_t next = image.fatTable[cluster];
        if (next >= 0xFF8) {
            folder->canGrow = true;
            break;
        }
        if (!isDataCluster(image, next) || seen[next]) break;
        cluster = next;
    }
    folder->slotCount = static_cast<int>(folder->chain.size()) * image.entriesPerCluster;
    folder->walkEnd = walkEnd(image, *folder);
    // Clusters added behind an early end would never be listed either.
    if (folder->walkEnd < folder->slotCount) folder->canGrow = false;
    return true;
}

uint8_t* folderSlot(const VolumeImage& image, const FolderSlots& folder, int position) {
    if (folder.firstCluster == 0)
        return const_cast<uint8_t*>(image.rootDir) + position * 32;
    uint16_t cluster = folder.chain[position / image.entriesPerCluster];
    return image.clusterData(cluster) + (position % image.entriesPerCluster) * 32;
}

bool findSlotRun(const VolumeImage& image, const FolderSlots& folder, int count, SlotRun* run) {
    int free = 0;
    bool root = folder.firstCluster == 0;
    int usable = root ? folder.slotCount : folder.walkEnd;
    for (int p = 0; p < usable; ++p) {
        uint8_t first = folderSlot(image, folder, p)[0];
        bool isFree = first == 0x00 || first == 0xE5 || (root && p >= folder.walkEnd);
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
    return true;
}

void keepRootEnd(VolumeImage& image, const FolderSlots& folder, int start, int count) {
    int behind = start + count;
    if (folder.firstCluster != 0 || behind <= folder.walkEnd || behind >= folder.slotCount) return;
    std::memset(folderSlot(image, folder, behind), 0, 32);
}

// Clusters that a damaged FAT calls free although the tree still uses them: the first cluster of
// every entry in any folder reached from the root, and every cluster a used cluster links to.
// Slots are read past end marks too, since a stale entry there may still own its data; reading
// too much only leaves a cluster unused.
static void markReferencedClusters(const VolumeImage& image, std::vector<bool>* taken) {
    uint32_t limit = 2u + image.clusterCount;
    for (uint32_t c = 2; c < limit; ++c) {
        uint16_t next = image.fatTable[c];
        if (next != 0 && isDataCluster(image, next)) (*taken)[next] = true;
    }
    std::vector<bool> entered(limit, false);
    std::vector<bool> inChain(limit, false);
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
            std::fill(inChain.begin(), inChain.end(), false);
            for (uint32_t c = folder; isDataCluster(image, c) && !inChain[c];
                 c = image.fatTable[c]) {
                inChain[c] = true;
                blocks.push_back(image.clusterData(c));
            }
        }
        for (const uint8_t* block : blocks) {
            if (block == nullptr) continue;
            for (int i = 0; i < slotsPerBlock; ++i) {
                const uint8_t* slot = block + i * 32;
                if (slot[0] == 0x00 || slot[0] == 0xE5 || slot[11] == 0x0F) continue;
                uint16_t first = static_cast<uint16_t>(slot[26] | (slot[27] << 8));
                if (!isDataCluster(image, first)) continue;
                (*taken)[first] = true;
                // "." and ".." name folders reached some other way.
                if ((slot[11] & 0x10) != 0 && slot[0] != '.' && !entered[first]) {
                    entered[first] = true;
                    folders.push_back(first);
                }
            }
        }
    }
}

bool findFreeClusters(const VolumeImage& image, const FolderSlots& folder, int count,
                      std::vector<uint16_t>* found) {
    found->clear();
    std::vector<bool> taken(image.clusterCount + 2u, false);
    for (uint16_t c : folder.chain) taken[c] = true;
    markReferencedClusters(image, &taken);
    for (uint32_t c = 2; c < 2u + image.clusterCount && static_cast<int>(found->size()) < count;
         ++c)
        if (image.fatTable[c] == 0 && !taken[c]) found->push_back(static_cast<uint16_t>(c));
    return static_cast<int>(found->size()) == count;
}

void linkClusters(VolumeImage& image, const uint16_t* clusters, int count) {
    for (int i = 0; i < count; ++i)
        image.fatTable[clusters[i]] = i + 1 < count ? clusters[i + 1] : 0xFFF;
}

void growFolder(VolumeImage& image, FolderSlots* folder, const uint16_t* clusters, int count) {
    if (count == 0) return;
    for (int i = 0; i < count; ++i) std::memset(image.clusterData(clusters[i]), 0, image.clusterBytes);
    linkClusters(image, clusters, count);
    image.fatTable[folder->chain.back()] = clusters[0];
    folder->chain.insert(folder->chain.end(), clusters, clusters + count);
    folder->slotCount += count * image.entriesPerCluster;
}
