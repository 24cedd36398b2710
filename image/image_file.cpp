#include <cstdio>
#include <cstring>
#include <vector>

#include "image/boot_sector.h"
#include "image/volume_image.h"
#include "platform/host_file.h"

// Reads exactly `size` bytes; false on a failed call or a short count.
static bool readAll(HostFile& file, void* buffer, uint32_t size) {
    uint32_t got = 0;
    return file.read(buffer, size, &got) && got == size;
}

// Clusters move between the file and their buffers in runs of up to this many bytes: one host
// call per cluster made loading and saving a 2.88 MB image cost thousands of calls.
static const uint32_t kClusterRunBytes = 64 * 1024;

static int clustersPerRun(uint16_t clusterBytes) {
    uint32_t n = clusterBytes == 0 ? 1 : kClusterRunBytes / clusterBytes;
    return n == 0 ? 1 : static_cast<int>(n);
}

// Reads the data clusters in order; returns the index of the first cluster that could not be
// read in full, or clusterCount when all were.
int VolumeImage::readClusters(HostFile& file) {
    const int perRun = clustersPerRun(clusterBytes);
    std::vector<uint8_t> run(static_cast<size_t>(perRun) * clusterBytes);
    for (int first = 0; first < clusterCount; first += perRun) {
        int count = clusterCount - first < perRun ? clusterCount - first : perRun;
        uint32_t want = static_cast<uint32_t>(count) * clusterBytes;
        uint32_t got = 0;
        if (!file.read(run.data(), want, &got)) got = 0;
        int whole = static_cast<int>(got / (clusterBytes == 0 ? 1 : clusterBytes));
        for (int i = 0; i < whole && i < count; ++i)
            std::memcpy(clusters[first + i], run.data() + static_cast<size_t>(i) * clusterBytes, clusterBytes);
        if (got < want) return first + whole;
    }
    return clusterCount;
}

// Writes the data clusters in order; returns the index of the first cluster of the run that
// could not be written, or clusterCount when all were.
int VolumeImage::writeClusters(HostFile& file) {
    const int perRun = clustersPerRun(clusterBytes);
    std::vector<uint8_t> run(static_cast<size_t>(perRun) * clusterBytes);
    for (int first = 0; first < clusterCount; first += perRun) {
        int count = clusterCount - first < perRun ? clusterCount - first : perRun;
        for (int i = 0; i < count; ++i)
            std::memcpy(run.data() + static_cast<size_t>(i) * clusterBytes, clusters[first + i], clusterBytes);
        if (!file.write(run.data(), static_cast<uint32_t>(count) * clusterBytes)) return first;
    }
    return clusterCount;
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
    // An image the machine cannot hold must not load as a shorter one.
    if (result == kResultOk && !computeGeometry()) {
        queueMessage("Not enough memory for the image!");
        result = kResultBadImage;
    }

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
        int missing = readClusters(file);
        if (missing < clusterCount) {
            queueMessage("Could not read all clusters (%i/%i)!", missing, static_cast<int>(clusterCount));
            result = kResultBadImage;
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
        int failed = writeClusters(file);
        if (failed < clusterCount) {
            queueMessage("Could not write cluster (%i/%i)!", failed, static_cast<int>(clusterCount));
            result = kResultClusterIo;
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
