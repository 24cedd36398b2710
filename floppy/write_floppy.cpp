// Writing the image to a floppy: media geometry match, a format cylinder by cylinder, then one
// stream from sector 0 (boot sector, FATs, root directory, data clusters), then the verify pass.
#include <cstring>

#include "floppy/floppy_device.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"

namespace {
const uint32_t kSectorBytes = 512;
const int kNoMatch = 99;

bool writeArea(FloppyDevice& device, const void* buffer, uint32_t count) {
    uint32_t written = 0;  // a raw volume writes all or fails; the verify pass reads it back
    return device.write(buffer, count, &written);
}

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
}  // namespace

int VolumeImage::writeToFloppy(const char* driveName) {
    int result = kResultOk;
    sectorsDone = 0;
    sectorsTotal = totalSectors();
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

    if (result == kResultOk) {
        // The match bounds Y x H x S by the image's 16-bit sector count.
        const MediaGeometry& m = media[chosen];
        int32_t cylinders = static_cast<int32_t>(static_cast<uint32_t>(m.cylinders));
        int32_t heads = static_cast<int32_t>(m.tracksPerCylinder);
        int32_t sectors = static_cast<int32_t>(m.sectorsPerTrack);
        sectorsDone = 0;
        sectorsTotal = cylinders * heads * sectors;
        FormatRequest request;
        request.mediaType = m.mediaType;
        request.startHead = 0;
        request.endHead = m.tracksPerCylinder - 1;
        for (int32_t k = 0; k < cylinders; ++k) {
            sectorsDone = k * heads * sectors;
            publishStep("Formatting sectors (%i/%i)", k * heads * sectors, heads * cylinders * sectors);
            request.startCylinder = static_cast<uint32_t>(k);
            request.endCylinder = static_cast<uint32_t>(k);
            bool stop = false;
            if (!device.formatTracks(request)) {
                queueMessage("Could not format floppy (cyl. %i)!", k);
                result = kResultHostIo;
                stop = true;
            }
            if (checkPoint(result) || stop) break;
        }
        sectorsDone = 0;
        sectorsTotal = 0;
    }

    sectorsDone = 0;
    sectorsTotal = totalSectors();

    if (result == kResultOk) {
        publishStep("Writing bootsector");
        if (!writeArea(device, bootSector, kSectorBytes)) {
            queueMessage("Could not write bootsector!");
            result = kResultHostIo;
        }
        sectorsDone += 1;
    }
    checkPoint(result);

    if (result == kResultOk) encodeFat();

    uint32_t fatBytes = static_cast<uint32_t>(sectorsPerFat()) * kSectorBytes;
    if (result == kResultOk) {
        publishStep("Writing first FAT");
        if (!writeArea(device, fat1, fatBytes)) {
            queueMessage("Could not write first FAT!");
            result = kResultHostIo;
        }
        sectorsDone += sectorsPerFat();
    }
    checkPoint(result);

    if (result == kResultOk && numberOfFats() > 1) {
        publishStep("Writing second FAT");
        if (!writeArea(device, fat2, fatBytes)) {
            queueMessage("Could not write second FAT!");
            result = kResultHostIo;
        }
        sectorsDone += sectorsPerFat();
    }
    checkPoint(result);

    if (result == kResultOk) {
        publishStep("Writing root directory");
        uint32_t rootBytes = rootEntryCount() * 32u;
        if (!writeArea(device, rootDir, rootBytes)) {
            queueMessage("Could not write root directory!");
            result = kResultHostIo;
        }
        // Reached only with a matched geometry, so bytes per sector is not 0.
        uint16_t bps = bytesPerSector();
        sectorsDone += static_cast<int32_t>(bps == 0 ? 0 : rootBytes / bps);
    }
    checkPoint(result);

    if (result == kResultOk) {
        int perCluster = sectorsPerCluster();
        for (int i = 0; i < clusterCount; ++i) {
            publishStep("Writing data sectors (%i/%i)", i * perCluster, static_cast<int>(dataSectors));
            bool stop = false;
            if (!writeArea(device, clusters[i], clusterBytes)) {
                queueMessage("Could not write cluster (%i/%i)!", i, static_cast<int>(clusterCount));
                result = kResultClusterIo;
                stop = true;
            }
            sectorsDone += clusterBytes / kSectorBytes;
            if (checkPoint(result) || stop) break;
        }
    }

    publishStep("Dismounting floppy");
    device.dismount();
    publishStep("Unlocking floppy drive");
    device.unlock();
    publishStep("Closing floppy access handle");
    device.close();

    return verifyFloppy(driveName, result);
}
