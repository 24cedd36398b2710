#include "floppy_test_support.h"

#include <gtest/gtest.h>

namespace floppytest {

namespace {
void putEntry(VolumeImage& image, int slot, const char* name11, uint16_t cluster, uint32_t size) {
    uint8_t* e = image.rootDir + slot * 32;
    std::memset(e, 0, 32);
    std::memcpy(e, name11, 11);
    e[11] = 0x20;
    writeLe16(e + 26, cluster);
    writeLe32(e + 28, size);
}
}  // namespace

void makeImage(VolumeImage& image, int diskType, const char* label) {
    image.createImage(nullptr, diskType, label, "TOLVEN");
    // Serial number and label time come from the clock; fixed values make images comparable.
    writeLe32(image.bootSector + bs::kSerialNumber, 0x12345678);
    writeLe16(image.rootDir + 22, 0x6000);
    writeLe16(image.rootDir + 24, 0x5A21);
    for (int i = 0; i < image.clusterCount; ++i)
        for (int b = 0; b < image.clusterBytes; ++b)
            image.clusters[i][b] = static_cast<uint8_t>(i * 7 + b * 13 + 1);
    // Three files of 1, 3 and 5 clusters (the last one cut short), one after the other.
    const char* names[3] = {"ONE     TXT", "THREE   BIN", "FIVE    DAT"};
    const int lengths[3] = {1, 3, 5};
    uint16_t next = 2;
    for (int f = 0; f < 3; ++f) {
        uint16_t first = next;
        for (int c = 0; c < lengths[f]; ++c, ++next)
            image.fatTable[next] = c + 1 == lengths[f] ? 0xFFF : static_cast<uint16_t>(next + 1);
        uint32_t size = static_cast<uint32_t>(lengths[f]) * image.clusterBytes - (f == 2 ? 100 : 0);
        putEntry(image, f + 1, names[f], first, size);
    }
    image.encodeFat();
}

std::vector<uint8_t> rawDisk(VolumeImage& image) {
    image.encodeFat();
    std::vector<uint8_t> disk(static_cast<size_t>(image.totalSectors()) * 512, 0);
    size_t at = 0;
    auto put = [&](const uint8_t* p, size_t n) {
        std::memcpy(disk.data() + at, p, n);
        at += n;
    };
    put(image.bootSector, 512);
    put(image.fat1, image.sectorsPerFat() * 512u);
    if (image.numberOfFats() > 1) put(image.fat2, image.sectorsPerFat() * 512u);
    put(image.rootDir, image.rootEntryCount() * 32u);
    for (int i = 0; i < image.clusterCount; ++i) put(image.clusters[i], image.clusterBytes);
    return disk;
}

void expectTransferEnded(const TransferRecorder& recorder, const VolumeImage& image,
                         const SimulatedFloppy& drive, int result) {
    EXPECT_EQ(1, recorder.dialogEnds);
    EXPECT_EQ(result, recorder.endResult);
    EXPECT_EQ(0, image.keepRunning.load());
    EXPECT_STREQ("", image.statusText);
    EXPECT_EQ(nullptr, image.backup);  // no backup outlives a transfer
    EXPECT_FALSE(drive.isOpen());
}

uint64_t clusterOffset(const VolumeImage& image, int index) {
    uint32_t rootSectors = (image.rootEntryCount() * 32u + 511) / 512;
    uint32_t system = 1 + image.numberOfFats() * image.sectorsPerFat() + rootSectors;
    return static_cast<uint64_t>(system) * 512 + static_cast<uint64_t>(index) * image.clusterBytes;
}

MediaGeometry mediaFor(int diskType) {
    switch (diskType) {
    case kType720: return SimulatedFloppy::standardMedia(kMediaF3_720_512);
    case kType2880: return SimulatedFloppy::standardMedia(kMediaF3_2Pt88_512);
    case kType1200: return SimulatedFloppy::standardMedia(kMediaF5_1Pt2_512);
    case kType1680: {
        MediaGeometry g = SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512);
        g.sectorsPerTrack = 21;
        return g;
    }
    default: return SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512);
    }
}

}  // namespace floppytest
