// Writing the image to a floppy: media geometry match, a format cylinder by cylinder (or, for
// drives that cannot format, the disk's own geometry checked instead), then one stream from
// sector 0 over every area of the volume, the clusters a cylinder a call, then the verify pass.
#include <cstring>

#include "floppy/area_pass.h"
#include "floppy/disk_probe.h"
#include "floppy/floppy_device.h"
#include "floppy/write_floppy.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"

namespace {

bool writeArea(VolumeImage& image, FloppyDevice& device, const DiskArea& area, int index) {
    // The FATs go out as the table encodes them, once the boot sector is written.
    if (area.kind == kAreaFat && area.copy == 0) image.encodeFat();
    // A short count is a failed write, though the call reports success: a volume still mounted
    // stops raw writes at its file system's size.
    uint32_t written = 0;
    return device.write(areaBuffer(image, area, index), area.length, &written) &&
           written == area.length;
}

const AreaPass kWritePass = {"Writing",     "Could not write ", "!",   "Could not write cluster",
                             kResultHostIo, kResultClusterIo,   false, writeArea};

// From the end of one cylinder's call to the drive being ready on the next cylinder: a step at
// the 6 ms rate Windows' floppy driver programs, the head's 15 ms settling and the next call,
// with room to spare, as a track that comes round late costs a whole turn, one that comes early
// only the sectors between.
const uint32_t kCylinderChangeMicroseconds = 26000;

// The cylinder skew in sectors: how many pass under the head during a change of cylinder.
// 5.25-inch high density drives turn at 360 rpm, the others at 300.
uint32_t cylinderSkew(const MediaGeometry& m) {
    uint32_t turnMicroseconds = m.mediaType == kMediaF5_1Pt2_512 ? 166667 : 200000;
    uint64_t passing = static_cast<uint64_t>(kCylinderChangeMicroseconds) * m.sectorsPerTrack;
    return static_cast<uint32_t>((passing + turnMicroseconds - 1) / turnMicroseconds);
}

// Each track of cylinder k starts k x skew sectors after the index, so that when the last sector
// of a cylinder has passed the head can step and the first sector of the next one has yet to
// come. Both heads of a cylinder share the order: switching heads takes no turning, and the
// cylinder stays one request. A track too long for the request keeps the driver's own layout.
void orderSectors(FormatRequest* request, uint32_t sectorsPerTrack, uint32_t skew) {
    request->sectorsPerTrack = 0;
    if (sectorsPerTrack == 0 || sectorsPerTrack > static_cast<uint32_t>(kMaxFormatSectors)) return;
    request->sectorsPerTrack = sectorsPerTrack;
    uint32_t first = request->startCylinder * skew % sectorsPerTrack;  // where sector 1 lies
    for (uint32_t slot = 0; slot < sectorsPerTrack; ++slot)
        request->sectorNumbers[slot] = static_cast<uint16_t>(
            (slot + sectorsPerTrack - first) % sectorsPerTrack + 1);
}

// Formats cylinder by cylinder with the matched record, one call each, sectors skewed from one
// cylinder to the next.
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
    uint32_t skew = cylinderSkew(m);
    for (int32_t k = 0; k < cylinders; ++k) {
        image.sectorsDone = k * heads * sectors;
        image.publishStep("Formatting sectors (%i/%i)", k * heads * sectors,
                          heads * cylinders * sectors);
        request.startCylinder = static_cast<uint32_t>(k);
        request.endCylinder = static_cast<uint32_t>(k);
        orderSectors(&request, m.sectorsPerTrack, skew);
        bool stop = false;
        if (!device.formatTracks(request)) {
            image.queueMessage("Could not format floppy (cyl. %i)!", k);
            // Some USB drives refuse to format a track at all.
            if (k == 0)
                image.queueMessage(
                    "A drive that cannot format writes a disk already formatted "
                    "like the image: write it without formatting.");
            result = kResultHostIo;
            stop = true;
        }
        if (image.checkPoint(result) || stop) break;
    }
    return result;
}
}  // namespace

int VolumeImage::writeToFloppy(const char* driveName, FloppyWriteMode mode) {
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
        queueOpenFailure(*this, device.openError());
        return finishTransfer(kResultHostIo);
    }

    publishStep("Locking floppy drive");
    if (!device.lock()) {
        queueMessage("Could not lock floppy drive!");
        result = kResultHostIo;
    } else {
        // A file system still mounted on the disk lets raw writes reach no further than its own
        // volume (a disk last formatted 720 KB takes 720 KB of a 1.44 MB image) and reports
        // success: it lets go of the disk first. Only a locked volume is dismounted, so no other
        // program loses files it has open.
        device.dismount();
    }
    checkPoint(result);

    // With formatting, the drive's media types must hold the image's geometry; without, the
    // disk's own geometry must be the image's.
    MediaGeometry media[kMaxMediaRecords];
    std::memset(media, 0, sizeof media);
    publishStep("Checking floppy type");
    int records = kMaxMediaRecords;
    if (mode == kWriteWithoutFormat) {
        records = 1;
        device.diskGeometry(&media[0]);  // zeros, which match nothing, when there is none
    } else if (!device.queryMediaTypes(media, kMaxMediaRecords, nullptr)) {
        result = kResultHostIo;
    }

    int chosen = matchMediaRecord(media, records, bytesPerSector(),
                                  readLe16(bootSector + bs::kSectorsPerTrack), totalSectors());
    if (chosen < 0) {
        queueMessage(mode == kWriteWithoutFormat
                         ? "The disk in the drive is not formatted like the image!"
                         : "Media type not supported by floppy drive or Windows!");
        result = kResultNoMediaMatch;
    }
    if (result == kResultOk && mode == kFormatThenWrite)
        result = formatDisk(*this, device, media[chosen], result);

    sectorsDone = 0;
    sectorsTotal = totalSectors();
    tellGeometry(device, bootSector);  // the unit of gathered writes
    result = runAreaPass(*this, device, kWritePass, 0, result);

    publishStep("Dismounting floppy");
    device.dismount();
    publishStep("Unlocking floppy drive");
    device.unlock();
    publishStep("Closing floppy access handle");
    device.close();

    return verifyFloppy(driveName, result);
}

int VolumeImage::writeToFloppy(const char* driveName) {
    return writeToFloppy(driveName, kFormatThenWrite);
}
