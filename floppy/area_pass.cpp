#include "floppy/area_pass.h"

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

int moveClusters(VolumeImage& image, FloppyDevice& device, const AreaPass& pass,
                 const DiskArea& area, int result) {
    if (result != kResultOk) return result;
    int perCluster = image.sectorsPerCluster();
    int dataSectors = image.dataSectors;
    if (pass.reads) image.publishStep("%s %s", pass.verb, area.name);
    for (int i = 0; i < image.clusterCount; ++i) {
        if (!pass.reads)
            image.publishStep("%s %s (%i/%i)", pass.verb, area.name, i * perCluster, dataSectors);
        bool ok = pass.move(image, device, area, i);
        image.sectorsDone += area.sectors;
        if (pass.reads)
            image.publishStep("%s %s (%i/%i)", pass.verb, area.name, i * perCluster, dataSectors);
        bool stop = false;
        if (!ok) {
            image.queueMessage("%s (%i/%i)!", pass.clusterFailed, i,
                               static_cast<int>(image.clusterCount));
            result = pass.clusterResult;
            stop = true;
        }
        if (image.checkPoint(result) || stop) break;
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
        if (area.kind == kAreaClusters)
            result = moveClusters(image, device, pass, area, result);
        else
            result = moveArea(image, device, pass, area, result);
    }
    return result;
}

void queueOpenFailure(VolumeImage& image, FloppyOpenError error) {
    switch (error) {
    case kOpenNoDisk:
        image.queueMessage("No disk in floppy drive! Insert a disk and try again!");
        break;
    case kOpenDenied:
        image.queueMessage("Could not access floppy drive! Windows denies this user raw access to "
                           "drives: run Tolven as administrator!");
        break;
    default:
        image.queueMessage("Could not access floppy drive! Drive may be locked by another "
                           "application!");
        break;
    }
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
