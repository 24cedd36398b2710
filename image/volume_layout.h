// Where each part of a FAT12 volume lies, derived in one place from the boot sector. Every pass
// over a volume walks this table of areas in disk order: loading and saving an image file, reading,
// writing and verifying a floppy. Every byte of the volume belongs to exactly one area, so bytes
// the in-memory volume does not model are carried over unchanged. VolumeState::areaBytes binds an
// area to the bytes the image holds for it.
#ifndef TOLVEN_IMAGE_VOLUME_LAYOUT_H
#define TOLVEN_IMAGE_VOLUME_LAYOUT_H

#include <cstdint>

enum VolumeAreaKind {
    kAreaBootSector,  // the first 512 bytes: the boot sector the image edits
    kAreaReserved,    // the rest of the reserved sectors (and of sector 0 beyond 512 bytes): kept
    kAreaFat,         // one copy of the FAT (`copy` 0, 1, 2); every copy is written from one table
    kAreaRoot,        // the root directory's slots
    kAreaRootSlack,   // the rest of the root directory's last sector, beyond its last slot: kept
    kAreaClusters,    // the data clusters, in order
    kAreaTail,  // sectors after the last whole cluster, and a file's bytes past the volume: kept
};

struct VolumeArea {
    VolumeAreaKind kind;
    int copy;         // the FAT copy of a kAreaFat area, else 0
    uint32_t offset;  // bytes from the start of the volume
    uint32_t length;  // bytes
    uint32_t keptAt;  // a kept area's first byte among the kept bytes of all of them, else 0
};

// True for the areas whose bytes the image keeps as they are instead of modelling them.
inline bool isKeptArea(VolumeAreaKind kind) {
    return kind == kAreaReserved || kind == kAreaRootSlack || kind == kAreaTail;
}

// True for a FAT copy after the second: the image keeps two, writes every further copy from the
// first and reads such a copy past (into scratch) rather than keeping it.
inline bool isSpareFat(const VolumeArea& area) { return area.kind == kAreaFat && area.copy >= 2; }

// The area as steps and messages name it: "bootsector", "reserved sectors", "first FAT",
// "second FAT", "third FAT", "root directory" (its slack too), "data sectors", "sectors after the
// last cluster".
const char* areaName(const VolumeArea& area);

const int kMaxFatCopies = 3;
const int kMaxVolumeAreas = 6 + kMaxFatCopies;
// The largest volume held (total sectors x bytes per sector): room for the largest cluster count
// in the largest clusters with the system areas, and a bound on what a boot sector can make the
// loader allocate.
const uint32_t kMaxVolumeBytes = 32u * 1024 * 1024;

struct VolumeLayout {
    uint32_t bytesPerSector;
    uint32_t clusterBytes;
    uint32_t fatBytes;  // one FAT copy
    uint32_t rootSectors;
    uint32_t dataSectors;   // sectors from the first cluster to the end of the volume
    uint32_t clusterCount;  // whole clusters in them
    uint32_t volumeBytes;
    uint32_t keptBytes;  // of the kept areas in all
    int areaCount;
    VolumeArea areas[kMaxVolumeAreas];  // in disk order; areas of 0 bytes are left out
};

// Fills `layout` from the boot sector's fields (whatever they hold; never dividing by zero) and
// says whether the image can hold the volume: signature 0x55 0xAA; 512, 1024, 2048 or 4096 bytes
// per sector; at least one reserved sector; 1 to 3 FATs of at most 5120 bytes each, large enough
// for an entry per cluster; at most 240 root entries; sectors per cluster not 0 and clusters of at
// most 8192 bytes; the system areas within the total sectors; at most kMaxVolumeBytes in all.
bool readVolumeLayout(const uint8_t* bootSector, VolumeLayout* layout);

// True when the floppy transfers can stream the volume's areas: a raw volume moves whole sectors
// only, so every area must be whole 512-byte sectors (512-byte sectors, a root directory that
// fills its last sector). Any number of reserved sectors and FAT copies streams.
bool isStreamLayout(const VolumeLayout& layout, const uint8_t* bootSector);

// Bytes a FAT needs for the entries of clusters 0 .. clusterCount + 1 (12 bits each).
inline uint32_t fatBytesNeeded(uint32_t clusterCount) { return ((clusterCount + 2) * 3 + 1) / 2; }

#endif
