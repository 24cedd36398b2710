#include <cstdio>
#include <cstring>

#include "image/boot_sector.h"
#include "image/volume_image.h"
#include "platform/host_file.h"

// Reads exactly `size` bytes; false on a failed call or a short count.
static bool readAll(HostFile& file, void* buffer, uint32_t size) {
    uint32_t got = 0;
    return file.read(buffer, size, &got) && got == size;
}

int VolumeImage::loadImageFile(const char* path) {
    HostFile file;
    if (!file.openForReading(path)) {
        queueMessage("Could not open image file!");
        return kResultBadImage;
    }
    saveBackup();
    reset();

    int result = kResultOk;
    uint32_t got = 0;
    if (!file.read(bootSector, 512, &got)) {
        queueMessage("Could not read bootsector!");
        result = kResultHostIo;
    }
    if (result == kResultOk && (got < 512 || !checkBootSector(bootSector))) {
        queueMessage("Invalid bootsector found!");
        result = kResultBadImage;
    }
    if (result == kResultOk) computeGeometry();

    uint32_t fatSize = static_cast<uint32_t>(sectorsPerFat()) * 512;
    if (result == kResultOk && !readAll(file, fat1, fatSize)) {
        queueMessage("Could not load first FAT!");
        result = kResultHostIo;
    }
    if (result == kResultOk && numberOfFats() > 1 && !readAll(file, fat2, fatSize)) {
        queueMessage("Could not load second FAT!");
        result = kResultHostIo;
    }
    if (result == kResultOk && !readAll(file, rootDir, rootEntryCount() * 32u)) {
        queueMessage("Could not load root directory!");
        result = kResultHostIo;
    }
    if (result == kResultOk) {
        for (int i = 0; i < clusterCount; ++i) {
            if (!readAll(file, clusters[i], clusterBytes)) {
                queueMessage("Could not read all clusters (%i/%i)!", i, static_cast<int>(clusterCount));
                result = kResultBadImage;
                break;
            }
        }
    }
    file.close();

    if (result == kResultOk) {
        decodeFat();
    } else {
        reset();
        restoreBackup();
    }
    freeBackupClusters();
    return result;
}

// The image goes to a new file beside the target first; only a complete file replaces the
// target, so a failure half-way never destroys the user's only copy of the image.
int VolumeImage::saveImageFile(const char* path) {
    char partial[4096];
    int n = std::snprintf(partial, sizeof partial, "%s.tolven-partial", path);
    HostFile file;
    int result = kResultOk;
    if (n < 0 || static_cast<size_t>(n) >= sizeof partial || !file.createAlways(partial)) {
        queueMessage("Could not create image file!");
        return kResultHostIo;
    }
    if (!file.write(bootSector, 512)) {
        queueMessage("Could not write bootsector!");
        result = kResultHostIo;
    }
    if (result == kResultOk) encodeFat();

    uint32_t fatSize = static_cast<uint32_t>(sectorsPerFat()) * 512;
    if (result == kResultOk && !file.write(fat1, fatSize)) {
        queueMessage("Could not write first FAT!");
        result = kResultHostIo;
    }
    if (result == kResultOk && numberOfFats() > 1 && !file.write(fat2, fatSize)) {
        queueMessage("Could not write second FAT!");
        result = kResultHostIo;
    }
    if (result == kResultOk && !file.write(rootDir, rootEntryCount() * 32u)) {
        queueMessage("Could not write root directory!");
        result = kResultHostIo;
    }
    if (result == kResultOk) {
        for (int i = 0; i < clusterCount; ++i) {
            if (!file.write(clusters[i], clusterBytes)) {
                queueMessage("Could not write cluster (%i/%i)!", i, static_cast<int>(clusterCount));
                result = kResultClusterIo;
                break;
            }
        }
    }
    // Data still in the host's buffers when closing fails never reached the disk.
    if (!file.close() && result == kResultOk) {
        queueMessage("Could not write image file!");
        result = kResultHostIo;
    }
    if (result == kResultOk && !hostReplaceFile(partial, path)) {
        queueMessage("Could not create image file!");
        result = kResultHostIo;
    }
    if (result != kResultOk) hostDeleteFile(partial);
    return result;
}
