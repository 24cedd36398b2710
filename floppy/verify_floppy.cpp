// The second half of a write: the floppy read back into the backup set and compared with the
// image, which itself stays untouched.
#include <cstring>

#include "floppy/floppy_device.h"
#include "image/volume_image.h"

namespace {
const uint32_t kSectorBytes = 512;

bool readWhole(FloppyDevice& device, void* buffer, uint32_t count) {
    uint32_t got = 0;
    return device.read(buffer, count, &got) && got == count;
}
}  // namespace

int VolumeImage::verifyFloppy(const char* driveName, int result) {
    // No step text of its own until the first area: the dialog still shows the write's last one.
    FloppyDevice device;
    if (!device.open(driveName)) {
        queueMessage("Could not verify floppy! Drive could not be acessed!");
        return finishTransfer(kResultVerifyFailed);
    }
    if (!device.lock()) {
        queueMessage("Could not verify floppy! Drive could not be locked!");
        result = kResultVerifyFailed;
    }

    sectorsDone = 0;
    sectorsTotal = totalSectors();
    saveBackup();

    if (result == kResultOk) {
        publishStep("Verifying bootsector");
        // The byte count is not compared: a short read leaves the copy of the image in place, so
        // the comparison decides.
        uint32_t got = 0;
        bool ok = device.read(backupBootSector, kSectorBytes, &got);
        sectorsDone += 1;
        if (!ok || std::memcmp(bootSector, backupBootSector, sizeof bootSector) != 0) {
            queueMessage("Verifying bootsector failed!");
            result = kResultVerifyFailed;
        }
    }
    checkPoint(result);

    uint32_t fatBytes = static_cast<uint32_t>(sectorsPerFat()) * kSectorBytes;
    publishStep("Verifying first FAT");
    if (result == kResultOk) {
        bool ok = readWhole(device, backupFat1, fatBytes);
        sectorsDone += sectorsPerFat();
        if (!ok || std::memcmp(fat1, backupFat1, sizeof fat1) != 0) {
            queueMessage("Verifying first FAT failed!");
            result = kResultVerifyFailed;
        }
    }
    checkPoint(result);

    if (result == kResultOk && numberOfFats() > 1) {
        publishStep("Verifying second FAT");
        bool ok = readWhole(device, backupFat2, fatBytes);
        sectorsDone += sectorsPerFat();
        if (!ok || std::memcmp(fat2, backupFat2, sizeof fat2) != 0) {
            queueMessage("Verifying second FAT failed!");
            result = kResultVerifyFailed;
        }
    }
    checkPoint(result);

    if (result == kResultOk) {
        publishStep("Verifying root directory");
        bool ok = readWhole(device, backupRootDir, rootEntryCount() * 32u);
        sectorsDone += rootEntryCount() / 16;
        if (!ok || std::memcmp(rootDir, backupRootDir, sizeof rootDir) != 0) {
            queueMessage("Verifying root directory failed!");
            result = kResultVerifyFailed;
        }
    }
    checkPoint(result);

    if (result == kResultOk) {
        publishStep("Verifying data sectors");
        int perCluster = sectorsPerCluster();
        for (int j = 0; j < clusterCount; ++j) {
            // A backup buffer that could not be allocated fails the cluster rather than the process.
            bool ok = j < backupClusterCount && readWhole(device, backupClusters[j], clusterBytes);
            sectorsDone += clusterBytes / kSectorBytes;
            publishStep("Verifying data sectors (%i/%i)", j * perCluster,
                        static_cast<int>(dataSectors));
            bool stop = false;
            if (!ok || std::memcmp(clusters[j], backupClusters[j], clusterBytes) != 0) {
                queueMessage("Verifying cluster failed (%i/%i)!", j, static_cast<int>(clusterCount));
                result = kResultVerifyFailed;
                stop = true;
            }
            if (checkPoint(result) || stop) break;
        }
    }

    publishStep("Unlocking floppy drive");
    device.unlock();
    device.close();
    freeBackupClusters();
    return finishTransfer(result);
}
