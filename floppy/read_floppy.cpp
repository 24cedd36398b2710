// Reading a floppy's volume into the image: one stream from sector 0 (boot sector, FATs, root
// directory, data clusters), with the previous image kept in the backup set until the read has
// succeeded.
#include "floppy/area_pass.h"
#include "floppy/floppy_device.h"
#include "image/disk_types.h"
#include "image/volume_image.h"

namespace {
const uint32_t kSectorBytes = DiskTypeTable::bytesPerSector;

// A FAT copy the image does not keep is read past, into its scratch buffer.
bool readArea(VolumeImage& image, FloppyDevice& device, const DiskArea& area, int index) {
    uint8_t* into = area.spare ? area.backup : areaBuffer(image, area, index);
    return readWhole(device, into, area.length);
}

const AreaPass kReadPass = {"Reading",     "Could not read ", "!",  "Could not read cluster",
                            kResultHostIo, kResultClusterIo,  true, readArea};
}  // namespace

int VolumeImage::readFromFloppy(const char* driveName) {
    int result = kResultOk;
    sectorsDone = 0;
    sectorsTotal = 0;
    publishStep("Creating floppy access handle");
    FloppyDevice device;
    if (!device.open(driveName)) {
        queueOpenFailure(*this, device.openError());
        return finishTransfer(kResultHostIo);
    }

    // A backup that cannot be made stops the read before anything is read: a failure later could
    // not bring the image back whole.
    publishStep("Buffering current image");
    bool backedUp = saveBackup();
    if (backedUp) {
        reset();
    } else {
        queueMessage("Not enough memory to keep the current image!");
        result = kResultHostIo;
    }

    publishStep("Locking floppy drive");
    if (result == kResultOk && !device.lock(keepRunning)) {
        queueLockFailure(*this, "Could not lock floppy drive! ", driveName);
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
        tellGeometry(device, bootSector);
        sectorsDone = 1;
        sectorsTotal = totalSectors();
        publishStep("Allocating image memory");
        // A floppy the machine cannot hold must not read as a shorter image.
        if (!computeGeometry()) {
            queueMessage("Not enough memory for the image!");
            result = kResultBadImage;
        }
    }

    // The boot sector is in; the other reserved sectors, the FATs, the root directory, the
    // clusters and the sectors after them follow it.
    result = runAreaPass(*this, device, kReadPass, 1, result);

    publishStep("Unlocking floppy drive");
    device.unlock();
    device.close();

    if (result == kResultOk) {
        decodeFat();
    } else if (backedUp) {
        publishStep("Restoring original image");
        restoreBackup();
    }
    dropBackup();
    return finishTransfer(result);
}
