// The areas of a volume in the order a raw disk stream holds them: the boot sector, the FAT
// copies, the root directory and the data clusters. Each names the image's buffer and the backup
// set's, so a pass over the disk (floppy read, write, verify) is one loop over this table.
#ifndef TOLVEN_IMAGE_DISK_AREAS_H
#define TOLVEN_IMAGE_DISK_AREAS_H

#include <cstdint>

#include "image/volume_layout.h"

class VolumeImage;

struct DiskArea {
    VolumeAreaKind kind;
    const char* name;     // as steps and messages name it: "bootsector", "first FAT", ...
    uint8_t* bytes;       // the image's buffer; null for the data clusters (one buffer each)
    uint8_t* backup;      // the backup set's buffer; null for the data clusters
    uint32_t length;      // bytes on the disk; for the data clusters, those of one cluster
    uint32_t bufferSize;  // bytes the buffers hold (beyond `length` they stay as they are)
    int32_t sectors;      // 512-byte sectors it counts for the progress (data: per cluster)
};

const int kMaxDiskAreas = 5;

// Fills `areas` from the image's boot sector and geometry (computeGeometry must have run for the
// data clusters to count) and returns how many there are: the second FAT copy is listed only
// when the boot sector declares more than one. Sector counts assume 512-byte sectors, as every
// floppy format has.
int listDiskAreas(VolumeImage& image, DiskArea areas[kMaxDiskAreas]);

// The buffer of `area`, or of its cluster `index` for the data clusters; null where none is held.
uint8_t* areaBuffer(VolumeImage& image, const DiskArea& area, int index);
uint8_t* areaBackupBuffer(VolumeImage& image, const DiskArea& area, int index);

#endif
