// Arbitrary files through the four boot sector operations, on a new image of the disk type whose
// geometry the file claims (so that whole-sector imports can succeed). Imports change only what
// they may; exports give back what the image holds.
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "image/boot_sector.h"
#include "image/disk_types.h"

static const int kGeometryOffsets[] = {
    bs::kBytesPerSector,  bs::kSectorsPerFat, bs::kNumberOfFats,      bs::kHeads,
    bs::kReservedSectors, bs::kRootEntries,   bs::kSectorsPerCluster, bs::kTotalSectors};

static bool sameGeometry(const uint8_t* a, const uint8_t* b) {
    for (int offset : kGeometryOffsets) {
        size_t width = offset == bs::kNumberOfFats || offset == bs::kSectorsPerCluster ? 1 : 2;
        if (std::memcmp(a + offset, b + offset, width) != 0) return false;
    }
    return true;
}

// One image per disk type, made once; each run starts from a copy of its boot sector.
static VolumeImage* imageFor(const uint8_t* data, size_t size, const uint8_t** original) {
    static VolumeImage* images[kDiskTypeCount];
    static uint8_t originals[kDiskTypeCount][512];
    int type = -1;
    uint8_t file[512] = {};
    std::memcpy(file, data, size < 512 ? size : 512);
    for (int t = 0; t < kDiskTypeCount && type < 0; ++t) {
        if (images[t] == nullptr) {
            images[t] = new VolumeImage;
            FUZZ_CHECK(images[t]->createImage(nullptr, t, "FUZZ", "FUZZ") == kResultOk);
            std::memcpy(originals[t], images[t]->bootSector, 512);
        }
        if (sameGeometry(file, originals[t])) type = t;
    }
    if (type < 0) type = file[bs::kMediaDescriptor] % kDiskTypeCount;
    std::memcpy(images[type]->bootSector, originals[type], 512);
    *original = originals[type];
    return images[type];
}

static std::vector<uint8_t> readBack(const std::string& path) {
    std::vector<uint8_t> bytes(600);
    FILE* f = std::fopen(path.c_str(), "rb");
    FUZZ_CHECK(f != nullptr);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    return bytes;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* original = nullptr;
    VolumeImage* image = imageFor(data, size, &original);
    std::string in = fuzz_support::writeInput("boot.bin", data, size);
    std::string out = fuzz_support::scratchDir() + "export.bin";

    // Whole boot sector: all or nothing, and only with the same geometry and a signature.
    int result = image->importBootSector(in.c_str());
    bool full = size >= 512;
    if (result == kResultOk) {
        FUZZ_CHECK(full && data[510] == 0x55 && data[511] == 0xAA);
        FUZZ_CHECK(std::memcmp(image->bootSector, data, 512) == 0);
        FUZZ_CHECK(sameGeometry(image->bootSector, original));
    } else {
        FUZZ_CHECK(std::memcmp(image->bootSector, original, 512) == 0);
        FUZZ_CHECK(result == kResultBadImage || result == kResultNoSignature ||
                   result == kResultBootSectorMismatch);
    }
    FUZZ_CHECK(image->exportBootSector(out.c_str()) == kResultOk);
    std::vector<uint8_t> exported = readBack(out);
    FUZZ_CHECK(exported.size() == 512 && std::memcmp(exported.data(), image->bootSector, 512) == 0);

    // Boot code: only the jump and the code area change, and only from a full sector.
    uint8_t before[512];
    std::memcpy(before, image->bootSector, 512);
    result = image->importBootCode(in.c_str());
    if (result == kResultOk) {
        FUZZ_CHECK(full);
        for (int i = 0; i < 512; ++i) {
            bool code = i < 3 || (i >= 62 && i < 510);
            FUZZ_CHECK(image->bootSector[i] == (code ? data[i] : before[i]));
        }
    } else {
        FUZZ_CHECK(result == kResultBootCodeSize && !full);
        FUZZ_CHECK(std::memcmp(image->bootSector, before, 512) == 0);
    }
    FUZZ_CHECK(image->exportBootCode(out.c_str()) == kResultOk);
    exported = readBack(out);
    FUZZ_CHECK(exported.size() == 512);
    for (size_t i = 0; i < 512; ++i) {
        bool code = i < 3 || (i >= 62 && i < 510);
        FUZZ_CHECK(exported[i] == (code ? image->bootSector[i] : 0));
    }
    // The geometry never moves, so the image still holds every cluster it had.
    FUZZ_CHECK(sameGeometry(image->bootSector, original));
    FUZZ_CHECK(checkBootSector(image->bootSector));
    fuzz_support::checkCounts(*image);
    image->clear();
    return 0;
}
