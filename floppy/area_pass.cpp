#include "floppy/area_pass.h"

#include <cstring>

#include "image/boot_sector.h"
#include "image/volume_image.h"

namespace {

int moveArea(VolumeImage& image, FloppyDevice& device, const AreaPass& pass, const DiskArea& area,
             int result) {
    // A reading pass shows this step whatever happened before it.
    bool shownAnyway = pass.reads && area.kind == kAreaFat && area.copy == 0;
    if (shownAnyway) image.publishStep("%s %s", pass.verb, area.name);
    if (result == kResultOk) {
        if (!shownAnyway) image.publishStep("%s %s", pass.verb, area.name);
        bool ok = pass.move(image, device, area, 0);
        image.sectorsDone += area.sectors;
        if (!ok) {
            image.queueMessage("%s%s%s", pass.failedBefore, area.name, pass.failedAfter);
            result = pass.areaResult;
        }
    }
    image.checkPoint(result);
    return result;
}

void clusterFailed(VolumeImage& image, const AreaPass& pass, int index, int& result) {
    image.queueMessage("%s (%i/%i)!", pass.clusterFailed, index,
                       static_cast<int>(image.clusterCount));
    result = pass.clusterResult;
}

int readClusters(VolumeImage& image, FloppyDevice& device, const AreaPass& pass,
                 const DiskArea& area, int result) {
    image.publishStep("%s %s", pass.verb, area.name);
    for (int i = 0; i < image.clusterCount; ++i) {
        bool ok = pass.move(image, device, area, i);
        image.sectorsDone += area.sectors;
        image.publishStep("%s %s (%i/%i)", pass.verb, area.name, i * image.sectorsPerCluster(),
                          image.dataSectors);
        if (!ok) clusterFailed(image, pass, i, result);
        if (image.checkPoint(result) || !ok) break;
    }
    return result;
}

// Writes the clusters that fit in the rest of the first one's cylinder in one device call; when
// that call fails they are written one by one from the first, so that the failure is reported
// against the very cluster that failed and none after it is written. Each cluster's step is shown
// before the batch goes out, and a Cancel while one shows ends the batch after that cluster.
// Returns the clusters written, or the failed one's index as -1 - index.
int writeBatch(VolumeImage& image, FloppyDevice& device, const AreaPass& pass, const DiskArea& area,
               int first) {
    uint32_t room = 0;
    uint8_t* gather = device.gatherBuffer(&room);
    int count = area.length == 0 ? 1 : static_cast<int>(room / area.length);
    if (count < 1) count = 1;  // a cluster across two cylinders goes alone
    if (count > image.clusterCount - first) count = image.clusterCount - first;
    int32_t done = image.sectorsDone;
    for (int j = 0; j < count; ++j) {
        image.sectorsDone = done + j * area.sectors;
        image.publishStep("%s %s (%i/%i)", pass.verb, area.name,
                          (first + j) * image.sectorsPerCluster(), image.dataSectors);
        if (image.keepRunning.load() == 0) count = j + 1;
    }
    image.sectorsDone = done;
    if (count > 1) {
        for (int j = 0; j < count; ++j)
            std::memcpy(gather + static_cast<size_t>(j) * area.length,
                        areaBuffer(image, area, first + j), area.length);
        if (device.writeGathered(static_cast<uint32_t>(count) * area.length)) return count;
    }
    for (int j = 0; j < count; ++j)
        if (!pass.move(image, device, area, first + j)) return -1 - (first + j);
    return count;
}

int writeClusters(VolumeImage& image, FloppyDevice& device, const AreaPass& pass,
                  const DiskArea& area, int result) {
    for (int i = 0; i < image.clusterCount;) {
        int32_t done = image.sectorsDone;
        int written = writeBatch(image, device, pass, area, i);
        int failed = written < 0 ? -1 - written : -1;
        int next = written < 0 ? failed : i + written;
        // The failed cluster counts as moved, as every area does.
        image.sectorsDone = done + (next - i + (failed < 0 ? 0 : 1)) * area.sectors;
        if (failed >= 0) clusterFailed(image, pass, failed, result);
        if (image.checkPoint(result) || failed >= 0) break;
        i = next;
    }
    return result;
}

}  // namespace

int runAreaPass(VolumeImage& image, FloppyDevice& device, const AreaPass& pass, int first,
                int result) {
    DiskAreaTable table;
    listDiskAreas(image, &table);
    for (int a = first; a < table.count; ++a) {
        const DiskArea& area = table.areas[a];
        if (area.kind != kAreaClusters) result = moveArea(image, device, pass, area, result);
        else if (result == kResultOk)
            result = pass.reads ? readClusters(image, device, pass, area, result)
                                : writeClusters(image, device, pass, area, result);
    }
    return result;
}

void queueOpenFailure(VolumeImage& image, FloppyOpenError error) {
    switch (error) {
    case kOpenNoDisk:
        image.queueMessage("No disk in floppy drive! Insert a disk and try again!");
        break;
    case kOpenDenied:
        image.queueMessage(
            "Could not access floppy drive! Windows denies this user raw access to "
            "drives: run Tolven as administrator!");
        break;
    default:
        image.queueMessage(
            "Could not access floppy drive! Drive may be locked by another "
            "application!");
        break;
    }
}

void queueLockFailure(VolumeImage& image, const char* before, const char* driveName) {
    image.queueMessage("%sClose every window and program using drive %s and try again!", before,
                       driveName);
}

bool readWhole(FloppyDevice& device, void* buffer, uint32_t count) {
    uint32_t got = 0;
    return device.read(buffer, count, &got) && got == count;
}

void tellGeometry(FloppyDevice& device, const uint8_t* bootSector) {
    if (readLe16(bootSector + bs::kSignature) != bs::kSignatureValue) return;
    device.setGeometry(readLe16(bootSector + bs::kBytesPerSector),
                       readLe16(bootSector + bs::kSectorsPerTrack),
                       readLe16(bootSector + bs::kHeads));
}
