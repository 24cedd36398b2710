// The floppy formats, in the order of the New image list, and what the program knows of floppies
// in general: their sector size and which sizes are 3.5-inch disks. The last three are Microsoft's
// Distribution Media Format (21 sectors a track, a one-sector root, large clusters), each a type of
// its own so that one index names one whole layout: 2 KB and 1 KB clusters on 80 cylinders, and
// 2 KB clusters on 82.
#ifndef TOLVEN_IMAGE_DISK_TYPES_H
#define TOLVEN_IMAGE_DISK_TYPES_H

#include <cstdint>

const int kDiskTypeCount = 14;
const int kFirstDmfType = 11;
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

// "3.5-inch 1440KB", "3.5-inch DMF 1680KB 2KB-cluster" and the like; null for an index outside
// the table.
const char* diskTypeName(int diskType);
// The type a command line names: an index ("2"), a size in KB ("1440KB", "1440"; the first type
// of that size) or a DMF name ("DMF" and "DMF2048": 2 KB clusters, "DMF1024", "DMF82"), any case.
// -1 for anything else.
int parseDiskType(const char* text);
// The index whose size in KB is `kilobytes` (1440 for 1440KB), or -1.
int diskTypeBySize(int kilobytes);
// The first type whose layout a boot sector declares (its total sectors, sectors a cluster, root
// entries and sectors a FAT), or -1 for a layout of its own.
int diskTypeOfLayout(uint16_t totalSectors, uint8_t sectorsPerCluster, uint16_t rootEntries,
                     uint16_t sectorsPerFat);
// True when a volume of `totalSectors` is shown as a 3.5-inch disk: the sector count of a 3.5-inch
// type. Every other count, odd ones included, is shown as 5.25-inch.
bool isThreeAndHalfInchVolume(uint16_t totalSectors);

#endif
