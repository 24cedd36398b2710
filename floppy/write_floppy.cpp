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
    // A short count is a failed write, though the call reports success: the file system clips a
    // handle's writes to the volume it mounted unless extended access was granted.
    uint32_t written = 0;
    return device.write(areaBuffer(image, area, index), area.length, &written) &&
           written == area.length;
}

const AreaPass kWritePass = {"Writing",     "Could not write ", "!",   "Could not write cluster",
                             kResultHostIo, kResultClusterIo,   false, writeArea};

// From the end of one cylinder's call to the drive being ready on the next cylinder: a step at
// the 6 ms rate Windows' floppy driver programs, its 15 ms settle time and the next call, with
// room to spare, as a sector that comes round too early costs a whole turn, one too late only
// the sectors between.
const uint32_t kCylinderChangeMicroseconds = 26000;

// Where sector 1 of each track lies, in sectors after the index: cylinder k's head h at
// (k x cylinderSkew + h x headSkew) mod the track's length. A cylinder skew of 0: the driver's
// own layout, for tracks too long for a format request.
struct TrackLayout {
    uint32_t cylinderSkew;
    uint32_t headSkew;
};

// Windows' floppy driver starts each track of a call after the first its stagger into the track
// (win32_answer::driverTrackStagger), reading on to the track's end and then, in a second
// command, from its start; each call's first track starts at the call's first sector. So a
// cylinder's second head is laid out for its staggered start to come one sector after the first
// head's last sector has passed, and each cylinder as many sectors later again as pass during a
// change of cylinder (5.25-inch high density drives turn at 360 rpm, the others at 300): a
// sector that comes late costs a sector, one that has passed a whole turn. The second head's
// second command then starts mid-track behind the format's gap (1.6 ms on 1.44 MB, 2.6 ms on
// 720 KB); a driver slower than that between two commands loses a turn there, about what a disk
// laid out in order loses at every step (docs/performance.md).
TrackLayout trackLayout(const MediaGeometry& m) {
    TrackLayout layout = {0, 0};
    uint32_t spt = m.sectorsPerTrack;
    uint32_t heads = m.tracksPerCylinder;
    if (spt == 0 || spt > static_cast<uint32_t>(kMaxFormatSectors) || heads == 0 || heads > 2)
        return layout;
    uint32_t turnMicroseconds = m.mediaType == kMediaF5_1Pt2_512 ? 166667 : 200000;
    uint64_t passing = static_cast<uint64_t>(kCylinderChangeMicroseconds) * spt;
    uint32_t change = static_cast<uint32_t>((passing + turnMicroseconds - 1) / turnMicroseconds);
    layout.headSkew = (spt + 1 - win32_answer::driverTrackStagger(m.mediaType) % spt) % spt;
    layout.cylinderSkew = heads - 1 + change;
    return layout;
}

// Fills the request's sector order for its first track; none for the driver's own layout.
void orderSectors(FormatRequest* request, uint32_t sectorsPerTrack, const TrackLayout& layout) {
    request->sectorsPerTrack = 0;
    if (layout.cylinderSkew == 0) return;
    request->sectorsPerTrack = sectorsPerTrack;
    uint32_t first = (request->startCylinder * layout.cylinderSkew +
                      request->startHead * layout.headSkew) %
                     sectorsPerTrack;
    for (uint32_t slot = 0; slot < sectorsPerTrack; ++slot)
        request->sectorNumbers[slot] = static_cast<uint16_t>(
            (slot + sectorsPerTrack - first) % sectorsPerTrack + 1);
}

// Formats cylinder by cylinder with the matched record, one call a track, as the heads' orders
// differ (a cylinder a call in the driver's own layout). A write-protected disk sets
// *writeProtected.
int formatDisk(VolumeImage& image, FloppyDevice& device, const MediaGeometry& m, int result,
               bool* writeProtected) {
    // The match bounds Y x H x S by the image's 16-bit sector count.
    int32_t cylinders = static_cast<int32_t>(static_cast<uint32_t>(m.cylinders));
    int32_t heads = static_cast<int32_t>(m.tracksPerCylinder);
    int32_t sectors = static_cast<int32_t>(m.sectorsPerTrack);
    image.sectorsDone = 0;
    image.sectorsTotal = cylinders * heads * sectors;
    TrackLayout layout = trackLayout(m);
    uint32_t headsPerCall = layout.cylinderSkew == 0 ? m.tracksPerCylinder : 1;
    FormatRequest request;
    request.mediaType = m.mediaType;
    for (int32_t k = 0; k < cylinders; ++k) {
        image.sectorsDone = k * heads * sectors;
        image.publishStep("Formatting sectors (%i/%i)", k * heads * sectors,
                          heads * cylinders * sectors);
        request.startCylinder = static_cast<uint32_t>(k);
        request.endCylinder = static_cast<uint32_t>(k);
        FormatOutcome outcome = kFormatDone;
        for (uint32_t h = 0; h < m.tracksPerCylinder && outcome == kFormatDone; h += headsPerCall) {
            request.startHead = h;
            request.endHead = h + headsPerCall - 1;
            orderSectors(&request, m.sectorsPerTrack, layout);
            outcome = device.formatTracks(request);
        }
        bool stop = outcome != kFormatDone;
        if (outcome == kFormatWriteProtected) {
            image.queueMessage("The disk is write-protected.");
            *writeProtected = true;
        } else if (stop) {
            image.queueMessage("Could not format floppy (cyl. %i)!", k);
            // Some USB drives take no format request at all.
            if (outcome == kFormatRefused)
                image.queueMessage(
                    "A drive that cannot format writes a disk already formatted "
                    "like the image: write it without formatting.");
        }
        if (stop) result = kResultHostIo;
        if (image.checkPoint(result) || stop) break;
    }
    return result;
}

// A USB drive reports its own standard geometry for a disk that was never formatted, so only a
// read of the boot sector tells whether the disk has sectors to write to. The stream goes back
// to the start.
bool diskFormatted(FloppyDevice& device) {
    uint8_t sector[512];
    bool formatted = readWhole(device, sector, sizeof sector);
    device.seek(0);
    return formatted;
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
    // Sectors its container did not hold would go to the disk as zeros.
    if (container.readOnly) {
        queueMessage("%s", container.readOnlyReason.c_str());
        return finishTransfer(kResultReadOnly);
    }
    publishStep("Creating floppy access handle");
    FloppyDevice device;
    if (!device.open(driveName)) {
        queueOpenFailure(*this, device.openError());
        return finishTransfer(kResultHostIo);
    }

    publishStep("Locking floppy drive");
    if (!device.lock(keepRunning)) {
        queueLockFailure(*this, "Could not lock floppy drive! ", driveName);
        result = kResultHostIo;
    } else {
        // A file system still mounted on the disk keeps its files' data in memory and may write
        // it back: it lets go of the disk first. Only a locked volume is dismounted, so no other
        // program loses files it has open.
        device.dismount();
    }
    checkPoint(result);

    // With formatting, the drive's media types must hold the image's geometry; without, the
    // disk's own geometry must be the image's. A write-protected disk is left as it is, and not
    // read back either.
    MediaGeometry media[kMaxMediaRecords];
    std::memset(media, 0, sizeof media);
    publishStep("Checking floppy type");
    bool writeProtected = result == kResultOk && device.writeProtected();
    int chosen = -1;
    if (writeProtected) {
        queueMessage("The disk is write-protected.");
        result = kResultHostIo;
    } else {
        int records = kMaxMediaRecords;
        if (mode == kWriteWithoutFormat) {
            records = 1;
            device.diskGeometry(&media[0]);  // zeros, which match nothing, when there is none
        } else if (!device.queryMediaTypes(media, kMaxMediaRecords, nullptr)) {
            result = kResultHostIo;
        }
        chosen = matchMediaRecord(media, records, bytesPerSector(),
                                  readLe16(bootSector + bs::kSectorsPerTrack), totalSectors());
        if (chosen < 0) {
            queueMessage(mode == kWriteWithoutFormat
                             ? "The disk in the drive is not formatted like the image!"
                             : "Media type not supported by floppy drive or Windows!");
            result = kResultNoMediaMatch;
        }
    }
    if (result == kResultOk && mode == kWriteWithoutFormat && !diskFormatted(device)) {
        queueMessage("The disk in the drive is not formatted!");
        result = kResultNoMediaMatch;
    }
    if (result == kResultOk && mode == kFormatThenWrite)
        result = formatDisk(*this, device, media[chosen], result, &writeProtected);

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

    if (writeProtected) return finishTransfer(result);
    return verifyFloppy(driveName, result);
}

int VolumeImage::writeToFloppy(const char* driveName) {
    return writeToFloppy(driveName, kFormatThenWrite);
}
