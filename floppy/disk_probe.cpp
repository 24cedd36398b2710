#include "floppy/disk_probe.h"

#include "floppy/floppy_device.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"

int matchMediaRecord(const MediaGeometry* records, int count, uint16_t bytesPerSector,
                     uint16_t sectorsPerTrack, uint16_t totalSectors) {
    int chosen = -1;
    for (int r = 0; r < count; ++r) {
        const MediaGeometry& m = records[r];
        uint64_t cylinders = static_cast<uint32_t>(m.cylinders);  // the low 32 bits count
        if (m.bytesPerSector != bytesPerSector || m.sectorsPerTrack != sectorsPerTrack) continue;
        if (cylinders > 0xFFFF || m.tracksPerCylinder > 0xFFFF) continue;
        uint64_t sectors = cylinders * m.tracksPerCylinder * m.sectorsPerTrack;
        if (sectors != 0 && sectors == totalSectors) chosen = r;
    }
    return chosen;
}

DiskCheck checkDiskInDrive(const char* driveName, const VolumeImage& image) {
    FloppyDevice device;
    if (!device.open(driveName, kFloppyQueryAccess)) return kDriveUnreachable;
    MediaGeometry disk;
    DiskPresence presence = device.diskGeometry(&disk);
    device.close();
    if (presence == kDiskAbsent) return kNoDiskInDrive;
    if (presence != kDiskFound) return kDiskOfOtherFormat;
    bool fits = matchMediaRecord(&disk, 1, image.bytesPerSector(),
                                 readLe16(image.bootSector + bs::kSectorsPerTrack),
                                 image.totalSectors()) == 0;
    return fits ? kDiskOfImageFormat : kDiskOfOtherFormat;
}
