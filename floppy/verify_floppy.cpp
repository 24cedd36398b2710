// The second half of a write: the floppy read back into the backup set and compared with the
// image, which itself stays untouched.
#include <cstring>

#include "floppy/area_pass.h"
#include "floppy/floppy_device.h"
#include "image/volume_image.h"

namespace {

bool verifyArea(VolumeImage& image, FloppyDevice& device, const DiskArea& area, int index) {
    uint8_t* copy = areaBackupBuffer(image, area, index);
    // A backup buffer that could not be allocated fails the cluster rather than the process.
    if (copy == nullptr) return false;
    // Every byte asked for must come: a short read leaves the copy of the image in place, which
    // the comparison alone would pass.
    bool ok = readWhole(device, copy, area.length);
    if (ok && area.kind == kAreaBootSector) tellGeometry(device, copy);
    return ok && std::memcmp(areaBuffer(image, area, index), copy, area.length) == 0;
}

const AreaPass kVerifyPass = {
    "Verifying",         "Verifying ",        " failed!", "Verifying cluster failed",
    kResultVerifyFailed, kResultVerifyFailed, true,       verifyArea};
}  // namespace

int VolumeImage::verifyFloppy(const char* driveName, int result) {
    // No step text of its own until the first area: the dialog still shows the write's last one.
    FloppyDevice device;
    if (!device.open(driveName)) {
        queueMessage("Could not verify floppy! Drive could not be acessed!");
        return finishTransfer(kResultVerifyFailed);
    }
    // After a failed write nothing is compared, so no other program is waited for either.
    bool locked = result == kResultOk && device.lock(keepRunning);
    if (result == kResultOk && !locked) {
        queueLockFailure(*this, "Could not verify floppy! Drive could not be locked! ", driveName);
        result = kResultVerifyFailed;
    }

    sectorsDone = 0;
    sectorsTotal = totalSectors();
    // Without room to read the floppy back nothing is compared, rather than blaming the disk.
    if (!saveBackup() && result == kResultOk) {
        queueMessage("Could not verify floppy! Not enough memory to read it back!");
        result = kResultVerifyFailed;
    }
    result = runAreaPass(*this, device, kVerifyPass, 0, result);

    publishStep("Unlocking floppy drive");
    if (locked) device.unlock();
    device.close();
    dropBackup();
    return finishTransfer(result);
}
