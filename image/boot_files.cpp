#include <cstring>

#include "image/boot_sector.h"
#include "image/volume_image.h"
#include "platform/host_file.h"

namespace {
const int kJumpBytes = bs::kOemId - bs::kJump;
const int kCodeStart = bs::kBootCode;  // end of the extended BPB
const int kCodeEnd = bs::kSignature;

// Fields that must agree before a whole boot sector may replace the image's, in checking order.
struct Field {
    int offset;
    size_t width;
};
const Field kGeometryFields[] = {
    {bs::kBytesPerSector, 2},    {bs::kSectorsPerFat, 2},
    {bs::kNumberOfFats, 1},      {bs::kHeads, 2},
    {bs::kReservedSectors, 2},   {bs::kRootEntries, 2},
    {bs::kSectorsPerCluster, 1}, {bs::kTotalSectors, 2},
};

bool sameGeometry(const uint8_t* a, const uint8_t* b) {
    for (const Field& f : kGeometryFields)
        if (std::memcmp(a + f.offset, b + f.offset, f.width) != 0) return false;
    return true;
}

void copyBootCode(uint8_t* to, const uint8_t* from) {
    std::memcpy(to, from, kJumpBytes);
    std::memcpy(to + kCodeStart, from + kCodeStart, kCodeEnd - kCodeStart);
}

// A boot file goes to the disk as the image does (HostReplacement): written whole under a name
// of its own and put in place, so a target that cannot take it keeps what it held. The loaded
// image file itself, under any name, is never a target: it would lose all but its first sector.
int writeBootFile(VolumeImage& im, const char* path, const uint8_t* sector, const char* kind) {
    HostFileFacts target;
    if (im.loadedFile.known && hostFileFacts(path, &target) &&
        sameHostFile(target, im.loadedFile.facts)) {
        im.queueMessage("The %s file is the image file itself!", kind);
        return kResultSameFile;
    }
    HostReplacement out;
    if (!out.begin(path)) {
        im.queueMessage("Could not create %s file!", kind);
        return kResultHostIo;
    }
    if (!out.file().write(sector, bs::kSize) || out.commit() != kReplaceDone) {
        im.queueMessage("Could not write %s file!", kind);
        return kResultHostIo;
    }
    return kResultOk;
}
}  // namespace

int VolumeImage::importBootSector(const char* path) {
    HostFile file;
    if (!file.openForReading(path)) {
        queueMessage("Could not open bootsector file!");
        return kResultHostIo;
    }
    int result = kResultOk;
    uint8_t buffer[bs::kSize] = {};
    uint32_t got = 0;
    if (!file.read(buffer, sizeof buffer, &got) || got != sizeof buffer) {
        queueMessage("Could not read bootsector file or bootsector file fits not sector size!");
        result = kResultBadImage;
    }
    if (readLe16(buffer + bs::kSignature) != bs::kSignatureValue) {
        queueMessage("Loaded file is not a bootsector!");
        result = kResultNoSignature;
    }
    if (result == kResultOk) {
        if (sameGeometry(buffer, bootSector)) {
            std::memcpy(bootSector, buffer, sizeof bootSector);
        } else {
            queueMessage("Loaded bootsector is not compatible to current image!");
            result = kResultBootSectorMismatch;
        }
    }
    file.close();
    return result;
}

int VolumeImage::exportBootSector(const char* path) {
    return writeBootFile(*this, path, bootSector, "bootsector");
}

int VolumeImage::importBootCode(const char* path) {
    HostFile file;
    if (!file.openForReading(path)) {
        queueMessage("Could not open bootcode file!");
        return kResultHostIo;
    }
    int result = kResultOk;
    uint8_t buffer[bs::kSize] = {};
    uint32_t got = 0;
    if (!file.read(buffer, sizeof buffer, &got)) {
        queueMessage("Could not read bootsector file");
        result = kResultHostIo;
        got = 0;
    }
    if (got != sizeof buffer) {
        queueMessage("Read file fits not floppy bootsector size!");
        result = kResultBootCodeSize;
    }
    if (result == kResultOk) copyBootCode(bootSector, buffer);
    file.close();
    return result;
}

int VolumeImage::exportBootCode(const char* path) {
    uint8_t buffer[bs::kSize] = {};
    copyBootCode(buffer, bootSector);
    return writeBootFile(*this, path, buffer, "bootcode");
}
