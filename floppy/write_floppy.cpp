// Writing the image to a floppy: media geometry match, a format cylinder by cylinder, then one
// stream from sector 0 over every area of the volume, then the verify pass.
#include <cstring>

#include "floppy/area_pass.h"
#include "floppy/floppy_device.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"

namespace {
const int kNoMatch = 99;

bool writeArea(VolumeImage& image, FloppyDevice& device, const DiskArea& area, int index) {
    // The FATs go out as the table encodes them, once the boot sector is written.
    if (area.kind == kAreaFat && area.copy == 0) image.encodeFat();
    uint32_t written = 0;  // a raw volume writes all or fails; the verify pass reads it back
    return device.write(areaBuffer(image, area, index), area.length, &written);
}

const AreaPass kWritePass = {"Writing",     "Could not write ", "!",  "Could not write cluster",
                             kResultHostIo, kResultClusterIo,   false, writeArea};

// The last record whose sector size, track size and capacity equal the image's. The capacity is
// taken in 64 bits with each factor bounded first, so absurd records cannot wrap around into a
// match, and a record of zeros never matches.
int matchMediaRecord(const MediaGeometry* records, uint16_t bytesPerSector,
                     uint16_t sectorsPerTrack, uint16_t totalSectors) {
    int chosen = kNoMatch;
    for (int r = 0; r < kMaxMediaRecords; ++r) {
        const MediaGeometry& m = records[r];
        uint64_t cylinders = static_cast<uint32_t>(m.cylinders);  // the low 32 bits count
        if (m.bytesPerSector != bytesPerSector || m.sectorsPerTrack != sectorsPerTrack) continue;
        if (cylinders > 0xFFFF || m.tracksPerCylinder > 0xFFFF) continue;
        uint64_t sectors = cylinders * m.tracksPerCylinder * m.sectorsPerTrack;
        if (sectors != 0 && sectors == totalSectors) chosen = r;
    }
    return chosen;
}

// Formats cylinder by cylinder with the matched record, one call each.
int formatDisk(VolumeImage& image, FloppyDevice& device, const MediaGeometry& m, int result) {
    // The match bounds Y x H x S by the image's 16-bit sector count.
    int32_t cylinders = static_cast<int32_t>(static_cast<uint32_t>(m.cylinders));
    int32_t heads = static_cast<int32_t>(m.tracksPerCylinder);
    int32_t sectors = static_cast<int32_t>(m.sectorsPerTrack);
    image.sectorsDone = 0;
    image.sectorsTotal = cylinders * heads * sectors;
    FormatRequest request;
    request.mediaType = m.mediaType;
    request.startHead = 0;
    request.endHead = m.tracksPerCylinder - 1;
    for (int32_t k = 0; k < cylinders; ++k) {
        image.sectorsDone = k * heads * sectors;
        image.publishStep("Formatting sectors (%i/%i)", k * heads * sectors,
                          heads * cylinders * sectors);
        request.startCylinder = static_cast<uint32_t>(k);
        request.endCylinder = static_cast<uint32_t>(k);
        bool stop = false;
        if (!device.formatTracks(request)) {
            image.queueMessage("Could not format floppy (cyl. %i)!", k);
            result = kResultHostIo;
            stop = true;
        }
        if (image.checkPoint(result) || stop) break;
    }
    return result;
}
}  // namespace

int VolumeImage::writeToFloppy(const char* driveName) {
    int result = kResultOk;
    sectorsDone = 0;
    sectorsTotal = totalSectors();
    // An image file may hold a layout a raw volume cannot take in whole sectors: refused before
    // the drive is touched, rather than formatted and then written at the wrong offsets.
    VolumeLayout layout;
    if (readVolumeLayout(bootSector, &layout) && !isStreamLayout(layout, bootSector)) {
        queueMessage("Could not write floppy! The image's areas are not whole 512-byte sectors!");
        return finishTransfer(kResultBadImage);
    }
    publishStep("Creating floppy access handle");
    FloppyDevice device;
    if (!device.open(driveName)) {
        queueMessage("Could not access floppy drive! Drive may be locked by another application!");
        return finishTransfer(kResultHostIo);
    }

    publishStep("Locking floppy drive");
    if (!device.lock()) {
        queueMessage("Could not lock floppy drive!");
        result = kResultHostIo;
    }
    checkPoint(result);

    MediaGeometry media[kMaxMediaRecords];
    std::memset(media, 0, sizeof media);
    publishStep("Checking floppy type");
    if (!device.queryMediaTypes(media, kMaxMediaRecords, nullptr)) result = kResultHostIo;

    int chosen = matchMediaRecord(media, bytesPerSector(),
                                  readLe16(bootSector + bs::kSectorsPerTrack), totalSectors());
    if (chosen == kNoMatch) {
        queueMessage("Media type not supported by floppy drive or Windows!");
        result = kResultNoMediaMatch;
    }
    if (result == kResultOk) result = formatDisk(*this, device, media[chosen], result);

    sectorsDone = 0;
    sectorsTotal = totalSectors();
    result = runAreaPass(*this, device, kWritePass, 0, result);

    publishStep("Dismounting floppy");
    device.dismount();
    publishStep("Unlocking floppy drive");
    device.unlock();
    publishStep("Closing floppy access handle");
    device.close();

    return verifyFloppy(driveName, result);
}
