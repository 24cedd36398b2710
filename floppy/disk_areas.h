// The floppy passes' view of the volume layout (image/volume_layout.h): the same areas at the
// same offsets, with the names and sector counts their steps show and the bytes the image binds
// each to (VolumeState::areaBytes), live and in the backup set, so a pass over the disk (floppy
// read, write, verify) is one loop over this table. A floppy is moved as one stream from sector
// 0, so every area must be whole 512-byte sectors (isStreamLayout).
#ifndef TOLVEN_FLOPPY_DISK_AREAS_H
#define TOLVEN_FLOPPY_DISK_AREAS_H

#include <cstdint>
#include <vector>

#include "image/volume_layout.h"

class VolumeImage;

struct DiskArea {
    VolumeAreaKind kind;
    int copy;          // the FAT copy of a kAreaFat area, else 0
    const char* name;  // as steps and messages name it (areaName)
    uint32_t offset;   // bytes from the start of the disk
    uint32_t length;   // bytes on the disk; for the data clusters, those of one cluster
    uint8_t* bytes;    // what the image puts there; for the data clusters, see areaBuffer
    uint8_t* backup;   // the backup set's bytes (null without a backup); likewise
    int32_t sectors;   // 512-byte sectors it counts for the progress (data: per cluster)
    // A FAT copy after the second: written from the first and compared with it; a read takes it
    // into `backup`, a scratch buffer, as the image keeps no such copy.
    bool spare;
};

const int kMaxDiskAreas = kMaxVolumeAreas + 1;  // with a first FAT the boot sector lacks

// The areas of the image's volume, with buffers for the bytes the image does not hold whole.
// Not copyable: the areas point into it.
struct DiskAreaTable {
    DiskAreaTable() : count(0) {}
    DiskAreaTable(const DiskAreaTable&) = delete;
    DiskAreaTable& operator=(const DiskAreaTable&) = delete;

    int count;
    DiskArea areas[kMaxDiskAreas];
    std::vector<uint8_t> kept;        // the kept bytes padded with zeros, when the image has fewer
    std::vector<uint8_t> keptBackup;  // likewise for the backup set
    std::vector<uint8_t> spareFat;    // a third FAT copy's bytes as the disk gives them
};

// Fills `table` from the image's boot sector in disk order (computeGeometry must have run for the
// data clusters to count). The first FAT copy is always listed, with no bytes when the boot
// sector declares none: the reading passes show its step whatever happened before. Sector counts
// assume 512-byte sectors, the only size the transfers stream.
void listDiskAreas(VolumeImage& image, DiskAreaTable* table);

// The buffer of `area`, or of its cluster `index` for the data clusters; null where none is held.
uint8_t* areaBuffer(VolumeImage& image, const DiskArea& area, int index);
uint8_t* areaBackupBuffer(VolumeImage& image, const DiskArea& area, int index);

#endif
