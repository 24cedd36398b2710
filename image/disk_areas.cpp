#include "image/disk_areas.h"

#include "image/disk_types.h"
#include "image/volume_image.h"

namespace {
const uint32_t kSectorBytes = DiskTypeTable::bytesPerSector;
const char* const kFatNames[kMaxFatCopies] = {"first FAT", "second FAT", "third FAT"};

const char* areaName(VolumeAreaKind kind, int copy) {
    switch (kind) {
    case kAreaBootSector: return "bootsector";
    case kAreaReserved: return "reserved sectors";
    case kAreaFat: return kFatNames[copy];
    case kAreaRoot:
    case kAreaRootSlack: return "root directory";
    case kAreaClusters: return "data sectors";
    default: return "sectors after the last cluster";
    }
}

// The kept bytes of the areas in disk order, `needed` of them: the image's own when it holds them
// all, else a copy padded with zeros (an image file cut short keeps fewer than its volume has).
uint8_t* keptBytesFor(std::vector<uint8_t>& own, std::vector<uint8_t>& padded, size_t needed) {
    if (own.size() >= needed) return own.data();
    padded = own;
    padded.resize(needed, 0);
    return padded.data();
}

DiskArea areaOf(VolumeAreaKind kind, int copy, uint32_t offset, uint32_t length) {
    return DiskArea{kind,    copy,   areaName(kind, copy),
                    offset,  length, nullptr,
                    nullptr, length, static_cast<int32_t>(length / kSectorBytes),
                    false};
}

void holdIn(DiskArea* area, uint8_t* bytes, uint8_t* backup, uint32_t bufferSize) {
    area->bytes = bytes;
    area->backup = backup;
    area->bufferSize = bufferSize;
}
}  // namespace

void listDiskAreas(VolumeImage& image, DiskAreaTable* table) {
    VolumeLayout layout;
    // A pass moves areas only while its result is 0, which a boot sector the transfers refuse
    // never leaves it at: such a disk gets the boot sector and the first FAT's step only.
    if (!readVolumeLayout(image.bootSector, &layout) || !isStreamLayout(layout, image.bootSector))
        layout.areaCount = 1;
    size_t keptTotal = 0;
    for (int i = 0; i < layout.areaCount; ++i)
        if (isKeptArea(layout.areas[i].kind)) keptTotal += layout.areas[i].length;
    uint8_t* kept = nullptr;
    uint8_t* keptBackup = nullptr;
    if (keptTotal > 0) {
        kept = keptBytesFor(image.keptBytes, table->kept, keptTotal);
        keptBackup = keptBytesFor(image.backupKeptBytes, table->keptBackup, keptTotal);
    }

    int n = 0;
    size_t keptAt = 0;
    bool firstFat = false;
    for (int i = 0; i < layout.areaCount; ++i) {
        const VolumeArea& v = layout.areas[i];
        DiskArea a = areaOf(v.kind, v.copy, v.offset, v.length);
        switch (v.kind) {
        case kAreaBootSector:
            holdIn(&a, image.bootSector, image.backupBootSector, sizeof image.bootSector);
            break;
        case kAreaFat:
            firstFat = true;
            if (v.copy == 0) holdIn(&a, image.fat1, image.backupFat1, sizeof image.fat1);
            if (v.copy == 1) holdIn(&a, image.fat2, image.backupFat2, sizeof image.fat2);
            if (v.copy >= 2) {
                // Every copy is written from the one FAT the image keeps, as image files are.
                uint32_t length = v.length < sizeof image.fat1 ? v.length : sizeof image.fat1;
                table->spareFat.assign(image.fat1, image.fat1 + length);
                a.length = length;
                holdIn(&a, image.fat1, table->spareFat.data(), length);
                a.spare = true;
            }
            break;
        case kAreaRoot: holdIn(&a, image.rootDir, image.backupRootDir, sizeof image.rootDir); break;
        case kAreaClusters:
            a.length = a.bufferSize = image.clusterBytes;
            a.sectors = static_cast<int32_t>(image.clusterBytes / kSectorBytes);
            break;
        default:
            holdIn(&a, kept + keptAt, keptBackup + keptAt, v.length);
            keptAt += v.length;
            break;
        }
        table->areas[n++] = a;
    }
    if (!firstFat) {
        // Behind the boot sector: no pass moves anything on such a disk, the entry is its step.
        for (int k = n; k > 1; --k) table->areas[k] = table->areas[k - 1];
        DiskArea a = areaOf(kAreaFat, 0, kSectorBytes, 0);
        holdIn(&a, image.fat1, image.backupFat1, sizeof image.fat1);
        table->areas[n < 1 ? 0 : 1] = a;
        ++n;
    }
    table->count = n;
}

uint8_t* areaBuffer(VolumeImage& image, const DiskArea& area, int index) {
    if (area.kind != kAreaClusters) return area.bytes;
    return index >= 0 && index < image.clusterCount ? image.clusters[index] : nullptr;
}

uint8_t* areaBackupBuffer(VolumeImage& image, const DiskArea& area, int index) {
    if (area.kind != kAreaClusters) return area.backup;
    return index >= 0 && index < image.backupClusterCount ? image.backupClusters[index] : nullptr;
}
