#include "directory/insert_space.h"

#include <cstring>

static bool isDataCluster(const VolumeImage& image, uint32_t cluster) {
    return cluster >= 2 && cluster < 2u + image.clusterCount;
}

bool loadFolderSlots(const VolumeImage& image, uint16_t firstCluster, FolderSlots* folder) {
    folder->firstCluster = firstCluster;
    folder->chain.clear();
    folder->canGrow = false;
    if (firstCluster == 0) {
        folder->slotCount = image.rootEntryCount();
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
    for (int p = 0; p < folder.slotCount; ++p) {
        uint8_t first = folderSlot(image, folder, p)[0];
        free = first == 0x00 || first == 0xE5 ? free + 1 : 0;
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

bool findFreeClusters(const VolumeImage& image, int count, std::vector<uint16_t>* found) {
    found->clear();
    for (uint32_t c = 2; c < 2u + image.clusterCount && static_cast<int>(found->size()) < count;
         ++c)
        if (image.fatTable[c] == 0) found->push_back(static_cast<uint16_t>(c));
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
