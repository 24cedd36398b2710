// Reading a floppy's volume into the image: one stream from sector 0 (boot sector, FATs, root
// directory, data clusters), with the previous image kept in the backup set until the read has
// succeeded.
#include "floppy/floppy_device.h"
#include "image/volume_image.h"

namespace {
const uint32_t kSectorBytes = 512;

// True when the call worked and every byte asked for came.
bool readWhole(FloppyDevice& device, void* buffer, uint32_t count) {
    uint32_t got = 0;
    return device.read(buffer, count, &got) && got == count;
}
}  // namespace

int VolumeImage::readFromFloppy(const char* driveName) {
    int result = kResultOk;
    sectorsDone = 0;
    sectorsTotal = 0;
    publishStep("Creating floppy access handle");
    FloppyDevice device;
    if (!device.open(driveName)) {
        queueMessage("Could not access floppy drive! Drive may be locked by another application!");
        return finishTransfer(kResultHostIo);
    }

    publishStep("Buffering current image");
    saveBackup();
    reset();

    publishStep("Locking floppy drive");
    if (!device.lock()) {
        queueMessage("Could not lock floppy drive!");
        result = kResultHostIo;
    }
    checkPoint(result);

    uint32_t got = 0;
    if (result == kResultOk) {
        publishStep("Reading bootsector");
        if (!device.read(bootSector, kSectorBytes, &got)) {
            queueMessage("Could not read bootsector!");
            result = kResultHostIo;
        }
    }
    // The loader's acceptance, bounds included: a damaged floppy must not steer the geometry
    // outside the image's buffers.
    if (result == kResultOk && (got != kSectorBytes || !checkBootSector(bootSector))) {
        queueMessage("Invalid bootsector found!");
        result = kResultBadImage;
    }
    checkPoint(result);

    if (result == kResultOk) {
        sectorsDone = 1;
        sectorsTotal = totalSectors();
        publishStep("Allocating image memory");
        // A floppy the machine cannot hold must not read as a shorter image.
        if (!computeGeometry()) {
            queueMessage("Not enough memory for the image!");
            result = kResultBadImage;
        }
    }

    // Sector counts assume 512-byte sectors, as every floppy format does.
    uint32_t fatBytes = static_cast<uint32_t>(sectorsPerFat()) * kSectorBytes;
    publishStep("Reading first FAT");
    if (result == kResultOk) {
        bool ok = readWhole(device, fat1, fatBytes);
        sectorsDone += sectorsPerFat();
        if (!ok) {
            queueMessage("Could not read first FAT!");
            result = kResultHostIo;
        }
    }
    checkPoint(result);

    if (result == kResultOk && numberOfFats() > 1) {
        publishStep("Reading second FAT");
        bool ok = readWhole(device, fat2, fatBytes);
        sectorsDone += sectorsPerFat();
        if (!ok) {
            queueMessage("Could not read second FAT!");
            result = kResultHostIo;
        }
    }
    checkPoint(result);

    if (result == kResultOk) {
        publishStep("Reading root directory");
        uint32_t rootBytes = rootEntryCount() * 32u;
        bool ok = readWhole(device, rootDir, rootBytes);
        sectorsDone += static_cast<int32_t>(rootBytes / kSectorBytes);
        if (!ok) {
            queueMessage("Could not read root directory!");
            result = kResultHostIo;
        }
    }
    checkPoint(result);

    if (result == kResultOk) {
        publishStep("Reading data sectors");
        int perCluster = sectorsPerCluster();
        for (int i = 0; i < clusterCount; ++i) {
            bool ok = readWhole(device, clusters[i], clusterBytes);
            sectorsDone += clusterBytes / kSectorBytes;
            publishStep("Reading data sectors (%i/%i)", i * perCluster,
                        static_cast<int>(dataSectors));
            bool stop = false;
            if (!ok) {
                queueMessage("Could not read cluster (%i/%i)!", i, static_cast<int>(clusterCount));
                result = kResultClusterIo;
                stop = true;
            }
            if (checkPoint(result) || stop) break;
        }
    }

    publishStep("Unlocking floppy drive");
    device.unlock();
    device.close();

    if (result == kResultOk) {
        decodeFat();
    } else {
        publishStep("Restoring original image");
        reset();
        restoreBackup();
    }
    freeBackupClusters();
    return finishTransfer(result);
}
