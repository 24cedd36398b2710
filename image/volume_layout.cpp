#include "image/volume_layout.h"

#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "image/entry_format.h"
#include "image/volume_image.h"

namespace {

const char* const kFatNames[kMaxFatCopies] = {"first FAT", "second FAT", "third FAT"};

void addArea(VolumeLayout* layout, VolumeAreaKind kind, int copy, uint32_t offset,
             uint32_t length) {
    if (length == 0 || layout->areaCount >= kMaxVolumeAreas) return;
    bool kept = isKeptArea(kind);
    layout->areas[layout->areaCount++] = VolumeArea{kind, copy, offset, length,
                                                    kept ? layout->keptBytes : 0};
    if (kept) layout->keptBytes += length;
}

bool isHeldSectorSize(uint32_t bytes) {
    return bytes == 512 || bytes == 1024 || bytes == 2048 || bytes == 4096;
}

}  // namespace

bool readVolumeLayout(const uint8_t* b, VolumeLayout* layout) {
    const uint32_t bps = readLe16(b + bs::kBytesPerSector);
    const uint32_t spc = b[bs::kSectorsPerCluster];
    const uint32_t reserved = readLe16(b + bs::kReservedSectors);
    const uint32_t fats = b[bs::kNumberOfFats];
    const uint32_t rootEntries = readLe16(b + bs::kRootEntries);
    const uint32_t total = readLe16(b + bs::kTotalSectors);
    const uint32_t sectorsPerFat = readLe16(b + bs::kSectorsPerFat);

    VolumeLayout& l = *layout;
    l.bytesPerSector = bps;
    l.clusterBytes = bps * spc;
    l.fatBytes = sectorsPerFat * bps;
    const uint32_t rootBytes = rootEntries * static_cast<uint32_t>(de::kSize);
    l.rootSectors = bps == 0 ? 0 : (rootBytes + bps - 1) / bps;
    uint32_t systemSectors = reserved + fats * sectorsPerFat + l.rootSectors;
    l.dataSectors = total > systemSectors ? total - systemSectors : 0;
    l.clusterCount = spc == 0 ? 0 : l.dataSectors / spc;
    l.volumeBytes = total * bps;

    // Areas in disk order. The boot sector the image edits is 512 bytes; with larger sectors the
    // rest of sector 0 is kept with the other reserved sectors.
    l.areaCount = 0;
    l.keptBytes = 0;
    uint32_t reservedBytes = reserved * bps;
    const uint32_t bootBytes = bs::kSize;
    addArea(layout, kAreaBootSector, 0, 0, bootBytes);
    addArea(layout, kAreaReserved, 0, bootBytes,
            reservedBytes > bootBytes ? reservedBytes - bootBytes : 0);
    uint32_t at = reservedBytes;
    for (uint32_t k = 0; k < fats && k < static_cast<uint32_t>(kMaxFatCopies); ++k) {
        addArea(layout, kAreaFat, static_cast<int>(k), at, l.fatBytes);
        at += l.fatBytes;
    }
    at = reservedBytes + fats * l.fatBytes;
    addArea(layout, kAreaRoot, 0, at, rootBytes);
    addArea(layout, kAreaRootSlack, 0, at + rootBytes, l.rootSectors * bps - rootBytes);
    at += l.rootSectors * bps;
    uint32_t clusters = l.clusterCount < static_cast<uint32_t>(kMaxClusters)
                            ? l.clusterCount
                            : static_cast<uint32_t>(kMaxClusters);
    addArea(layout, kAreaClusters, 0, at, clusters * l.clusterBytes);
    at += clusters * l.clusterBytes;
    addArea(layout, kAreaTail, 0, at, l.volumeBytes > at ? l.volumeBytes - at : 0);

    if (readLe16(b + bs::kSignature) != bs::kSignatureValue) return false;
    // Smaller sectors would overlap the 512-byte boot sector with the FAT, and a 32-byte cluster
    // could not even hold a folder's "." and "..".
    if (!isHeldSectorSize(bps) || spc == 0 ||
        l.clusterBytes > static_cast<uint32_t>(kMaxClusterBytes))
        return false;
    if (reserved == 0 || fats == 0 || fats > static_cast<uint32_t>(kMaxFatCopies)) return false;
    if (rootEntries > static_cast<uint32_t>(kMaxRootEntries)) return false;
    if (l.fatBytes > static_cast<uint32_t>(kFatBytes) || l.volumeBytes > kMaxVolumeBytes)
        return false;
    if (total < systemSectors) return false;
    // Every cluster needs its whole entry in the stored FAT; a chain beyond it would be lost.
    return fatBytesNeeded(l.clusterCount) <= l.fatBytes;
}

bool isStreamLayout(const VolumeLayout& layout, const uint8_t* b) {
    return layout.bytesPerSector == DiskTypeTable::bytesPerSector &&
           readLe16(b + bs::kRootEntries) % 16 == 0;
}

const char* areaName(const VolumeArea& area) {
    switch (area.kind) {
    case kAreaBootSector: return "bootsector";
    case kAreaReserved: return "reserved sectors";
    case kAreaFat: return kFatNames[area.copy];
    case kAreaRoot:
    case kAreaRootSlack: return "root directory";
    case kAreaClusters: return "data sectors";
    default: return "sectors after the last cluster";
    }
}
