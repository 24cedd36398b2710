#include "floppy/disk_areas.h"

#include "image/disk_types.h"
#include "image/volume_image.h"

namespace {
const uint32_t kSectorBytes = DiskTypeTable::bytesPerSector;

DiskArea areaOf(const VolumeArea& v, uint8_t* bytes, uint8_t* backup) {
    return DiskArea{v.kind,   v.copy, areaName(v), v.offset,
                    v.length, bytes,  backup,      static_cast<int32_t>(v.length / kSectorBytes),
                    false};
}

// A kept area the image holds only in part (an image file cut short keeps fewer bytes than its
// volume has) moves from a copy of the kept bytes padded with zeros.
uint8_t* paddedKept(const std::vector<uint8_t>& own, std::vector<uint8_t>& padded,
                    const VolumeLayout& layout, const VolumeArea& area) {
    if (padded.empty()) {
        padded = own;
        padded.resize(layout.keptBytes, 0);
    }
    return padded.data() + area.keptAt;
}

DiskArea bindArea(VolumeImage& image, const VolumeLayout& layout, const VolumeArea& v,
                  DiskAreaTable* table) {
    VolumeState* backup = image.backup.get();
    DiskArea a = areaOf(v, image.areaBytes(v), backup != nullptr ? backup->areaBytes(v) : nullptr);
    if (isKeptArea(v.kind) && a.bytes == nullptr)
        a.bytes = paddedKept(image.keptBytes, table->kept, layout, v);
    if (isKeptArea(v.kind) && a.backup == nullptr && backup != nullptr)
        a.backup = paddedKept(backup->keptBytes, table->keptBackup, layout, v);
    if (isSpareFat(v)) {
        table->spareFat.assign(a.bytes, a.bytes + v.length);
        a.backup = table->spareFat.data();
        a.spare = true;
    }
    if (v.kind == kAreaClusters) {
        a.length = image.clusterBytes;
        a.sectors = static_cast<int32_t>(image.clusterBytes / kSectorBytes);
    }
    return a;
}
}  // namespace

void listDiskAreas(VolumeImage& image, DiskAreaTable* table) {
    VolumeLayout layout;
    // A pass moves areas only while its result is 0, which a boot sector the transfers refuse
    // never leaves it at: such a disk gets the boot sector and the first FAT's step only.
    if (!readVolumeLayout(image.bootSector, &layout) || !isStreamLayout(layout, image.bootSector))
        layout.areaCount = 1;
    int n = 0;
    bool firstFat = false;
    for (int i = 0; i < layout.areaCount; ++i) {
        firstFat = firstFat || layout.areas[i].kind == kAreaFat;
        table->areas[n++] = bindArea(image, layout, layout.areas[i], table);
    }
    if (!firstFat) {
        // Behind the boot sector: no pass moves anything on such a disk, the entry is its step.
        for (int k = n; k > 1; --k) table->areas[k] = table->areas[k - 1];
        VolumeArea fat{kAreaFat, 0, kSectorBytes, 0, 0};
        table->areas[n < 1 ? 0 : 1] = bindArea(image, layout, fat, table);
        ++n;
    }
    table->count = n;
}

uint8_t* areaBuffer(VolumeImage& image, const DiskArea& area, int index) {
    return area.kind == kAreaClusters ? image.clusters[index] : area.bytes;
}

uint8_t* areaBackupBuffer(VolumeImage& image, const DiskArea& area, int index) {
    if (area.kind != kAreaClusters) return area.backup;
    return image.backup != nullptr ? image.backup->clusters[index] : nullptr;
}
