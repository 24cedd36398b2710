#include "image/disk_areas.h"

#include "directory/dir_entry.h"
#include "image/disk_types.h"
#include "image/volume_image.h"

namespace {
const uint32_t kSectorBytes = DiskTypeTable::bytesPerSector;
}  // namespace

int listDiskAreas(VolumeImage& image, DiskArea areas[kMaxDiskAreas]) {
    uint32_t fatBytes = static_cast<uint32_t>(image.sectorsPerFat()) * kSectorBytes;
    int32_t fatSectors = image.sectorsPerFat();
    uint32_t rootBytes = image.rootEntryCount() * static_cast<uint32_t>(de::kSize);
    int32_t clusterSectors = static_cast<int32_t>(image.clusterBytes / kSectorBytes);
    int n = 0;
    areas[n++] = DiskArea{kAreaBootSector, "bootsector", image.bootSector,
                          image.backupBootSector, kSectorBytes, sizeof image.bootSector, 1};
    areas[n++] = DiskArea{kAreaFat, "first FAT", image.fat1, image.backupFat1, fatBytes,
                          sizeof image.fat1, fatSectors};
    if (image.numberOfFats() > 1)
        areas[n++] = DiskArea{kAreaFat, "second FAT", image.fat2, image.backupFat2, fatBytes,
                              sizeof image.fat2, fatSectors};
    areas[n++] = DiskArea{kAreaRoot, "root directory", image.rootDir,
                          image.backupRootDir, rootBytes, sizeof image.rootDir,
                          static_cast<int32_t>(rootBytes / kSectorBytes)};
    areas[n++] = DiskArea{kAreaClusters, "data sectors", nullptr, nullptr, image.clusterBytes,
                          image.clusterBytes, clusterSectors};
    return n;
}

uint8_t* areaBuffer(VolumeImage& image, const DiskArea& area, int index) {
    if (area.kind != kAreaClusters) return area.bytes;
    return index >= 0 && index < image.clusterCount ? image.clusters[index] : nullptr;
}

uint8_t* areaBackupBuffer(VolumeImage& image, const DiskArea& area, int index) {
    if (area.kind != kAreaClusters) return area.backup;
    return index >= 0 && index < image.backupClusterCount ? image.backupClusters[index] : nullptr;
}
