// Raw image files: the volume's areas (image/volume_layout.h) read and written in disk order.
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/boot_sector.h"
#include "image/volume_image.h"
#include "platform/host_file.h"

namespace {

// Reads exactly `size` bytes; false on a failed call or a short count.
bool readAll(HostFile& file, void* buffer, uint32_t size) {
    uint32_t got = 0;
    return file.read(buffer, size, &got) && got == size;
}

// Clusters move between the file and their buffers in runs of up to this many bytes: one host
// call per cluster made loading and saving a 2.88 MB image cost thousands of calls.
const uint32_t kClusterRunBytes = 64 * 1024;

int clustersPerRun(uint16_t clusterBytes) {
    uint32_t n = clusterBytes == 0 ? 1 : kClusterRunBytes / clusterBytes;
    return n == 0 ? 1 : static_cast<int>(n);
}

const char* const kFatOrdinals[kMaxFatCopies] = {"first", "second", "third"};

// The message of a load step that failed (the clusters and the tail have their own).
void queueLoadFailure(VolumeImage& im, const VolumeArea& area) {
    switch (area.kind) {
    case kAreaFat: im.queueMessage("Could not load %s FAT!", kFatOrdinals[area.copy]); break;
    case kAreaRoot:
    case kAreaRootSlack: im.queueMessage("Could not load root directory!"); break;
    default: im.queueMessage("Could not read bootsector!"); break;
    }
}

void queueSaveFailure(VolumeImage& im, const VolumeArea& area) {
    switch (area.kind) {
    case kAreaFat: im.queueMessage("Could not write %s FAT!", kFatOrdinals[area.copy]); break;
    case kAreaRoot:
    case kAreaRootSlack: im.queueMessage("Could not write root directory!"); break;
    case kAreaTail: im.queueMessage("Could not write image file!"); break;
    default: im.queueMessage("Could not write bootsector!"); break;
    }
}

// Everything left in the file, appended to `kept`. 0; 100 a failed read; 110 the file grows past
// kMaxImageFileBytes.
int readTail(HostFile& file, uint32_t offset, std::vector<uint8_t>* kept) {
    std::vector<uint8_t> chunk(kClusterRunBytes);
    for (;;) {
        uint32_t got = 0;
        if (!file.read(chunk.data(), kClusterRunBytes, &got)) return kResultHostIo;
        if (got == 0) return kResultOk;
        offset += got;
        if (offset > kMaxImageFileBytes || offset < got) return kResultBadImage;
        kept->insert(kept->end(), chunk.begin(), chunk.begin() + got);
    }
}

}  // namespace

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

int VolumeImage::writeClusters(HostFile& file) {
    const int perRun = clustersPerRun(clusterBytes);
    std::vector<uint8_t> run(static_cast<size_t>(perRun) * clusterBytes);
    for (int first = 0; first < clusterCount; first += perRun) {
        int count = clusterCount - first < perRun ? clusterCount - first : perRun;
        for (int i = 0; i < count; ++i)
            std::memcpy(run.data() + static_cast<size_t>(i) * clusterBytes, clusters[first + i], clusterBytes);
        uint32_t written = 0;
        if (!file.write(run.data(), static_cast<uint32_t>(count) * clusterBytes, &written))
            return first + static_cast<int>(written / (clusterBytes == 0 ? 1 : clusterBytes));
    }
    return clusterCount;
}

int VolumeImage::loadImageFile(const char* path) {
    HostFile file;
    if (!file.openForReading(path)) {
        queueMessage("Could not open image file!");
        return kResultBadImage;
    }
    // The image stays as it is when it cannot be kept for a load that fails.
    if (!saveBackup()) {
        queueMessage("Not enough memory to keep the current image!");
        return kResultHostIo;
    }
    reset();

    int result = kResultOk;
    uint32_t got = 0;
    if (!file.read(bootSector, bs::kSize, &got)) {
        queueMessage("Could not read bootsector!");
        result = kResultHostIo;
    }
    VolumeLayout layout;
    if (result == kResultOk && (got < bs::kSize || !readVolumeLayout(bootSector, &layout))) {
        queueMessage("Invalid bootsector found!");
        result = kResultBadImage;
    }
    // An image the machine cannot hold must not load as a shorter one.
    if (result == kResultOk && !computeGeometry()) {
        queueMessage("Not enough memory for the image!");
        result = kResultBadImage;
    }

    // The areas after the boot sector, in disk order. FAT copies after the second are read past:
    // every copy is written from the first.
    size_t keptAt = 0;
    std::vector<uint8_t> spareFat;
    for (int i = 1; result == kResultOk && i < layout.areaCount; ++i) {
        const VolumeArea& area = layout.areas[i];
        uint8_t* into = nullptr;
        switch (area.kind) {
        case kAreaFat:
            if (area.copy < 2) {
                into = area.copy == 0 ? fat1 : fat2;
            } else {
                spareFat.resize(area.length);
                into = spareFat.data();
            }
            break;
        case kAreaRoot: into = rootDir; break;
        case kAreaReserved:
        case kAreaRootSlack:
            into = keptBytes.data() + keptAt;
            keptAt += area.length;
            break;
        case kAreaClusters: {
            int missing = readClusters(file);
            if (missing < clusterCount) {
                queueMessage("Could not read all clusters (%i/%i)!", missing,
                             static_cast<int>(clusterCount));
                result = kResultBadImage;
            }
            continue;
        }
        default: continue;  // the tail: whatever the file holds, below
        }
        if (!readAll(file, into, area.length)) {
            queueLoadFailure(*this, area);
            result = kResultHostIo;
        }
    }
    // The file's bytes after the last whole cluster are kept as they are, however many there are.
    if (result == kResultOk) {
        keptBytes.resize(keptAt);
        uint32_t dataEnd = 0;
        for (int i = 0; i < layout.areaCount; ++i)
            if (layout.areas[i].kind != kAreaTail)
                dataEnd = layout.areas[i].offset + layout.areas[i].length;
        result = readTail(file, dataEnd, &keptBytes);
        if (result == kResultHostIo) queueMessage("Could not read image file!");
        if (result == kResultBadImage) queueMessage("Image file is too large!");
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
    VolumeLayout layout;
    HostReplacement out;
    if (!imageLayout(&layout) || !out.begin(path)) {
        queueMessage("Could not create image file!");
        return kResultHostIo;
    }
    encodeFat();
    int result = kResultOk;
    size_t keptAt = 0;
    std::vector<uint8_t> zeros;
    for (int i = 0; result == kResultOk && i < layout.areaCount; ++i) {
        const VolumeArea& area = layout.areas[i];
        const uint8_t* from = nullptr;
        switch (area.kind) {
        case kAreaBootSector: from = bootSector; break;
        case kAreaFat: from = area.copy == 1 ? fat2 : fat1; break;
        case kAreaRoot: from = rootDir; break;
        case kAreaClusters: {
            int failed = writeClusters(out.file());
            if (failed < clusterCount) {
                queueMessage("Could not write cluster (%i/%i)!", failed,
                             static_cast<int>(clusterCount));
                result = kResultClusterIo;
            }
            continue;
        }
        default:
            // Kept bytes; an image made in memory has zeros there.
            if (keptAt + area.length <= keptBytes.size()) {
                from = keptBytes.data() + keptAt;
            } else {
                zeros.assign(area.length, 0);
                from = zeros.data();
            }
            keptAt += area.length;
            break;
        }
        if (!out.file().write(from, area.length)) {
            queueSaveFailure(*this, area);
            result = kResultHostIo;
        }
    }
    if (result != kResultOk) return result;  // `out` removes the new file
    int committed = out.commit();
    // Data still in the host's buffers when closing fails never reached the disk.
    if (committed == kReplaceWriteFailed) queueMessage("Could not write image file!");
    if (committed == kReplaceRenameFailed) queueMessage("Could not create image file!");
    return committed == kReplaceDone ? kResultOk : kResultHostIo;
}
