// The eleven floppy formats, in the order of the New image list, and what the program knows of
// floppies in general: their sector size and which sizes are 3.5-inch disks.
#ifndef TOLVEN_IMAGE_DISK_TYPES_H
#define TOLVEN_IMAGE_DISK_TYPES_H

#include <cstdint>

const int kDiskTypeCount = 11;
const int kDefaultDiskType = 2;  // 3.5-inch 1440KB

struct DiskTypeTable {
    static constexpr uint16_t bytesPerSector = 512;      // of every floppy format
    static const char fileSystemType[8];                 // "FAT12   "
    static const bool threeAndHalfInch[kDiskTypeCount];  // else 5.25-inch
    static const uint8_t sectorsPerCluster[kDiskTypeCount];
    static const uint16_t rootEntries[kDiskTypeCount];
    static const uint16_t totalSectors[kDiskTypeCount];
    static const uint8_t mediaDescriptor[kDiskTypeCount];
    static const uint16_t sectorsPerFat[kDiskTypeCount];
    static const uint16_t sectorsPerTrack[kDiskTypeCount];
    static const uint16_t heads[kDiskTypeCount];
};

// "3.5-inch 1440KB" and the like; null for an index outside 0-10.
const char* diskTypeName(int diskType);
// The index whose size in KB is `kilobytes` (1440 for 1440KB), or -1.
int diskTypeBySize(int kilobytes);
// True when a volume of `totalSectors` is shown as a 3.5-inch disk: the sector count of a 3.5-inch
// type. Every other count, odd ones included, is shown as 5.25-inch.
bool isThreeAndHalfInchVolume(uint16_t totalSectors);

#endif
