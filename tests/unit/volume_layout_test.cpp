#include <gtest/gtest.h>

#include <cstring>

#include "image/boot_sector.h"
#include "test_support.h"

using testing_support::newImage;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

struct Area { VolumeAreaKind kind; int copy; uint32_t offset, length; };

std::vector<Area> areasOf(const VolumeLayout& l) {
    std::vector<Area> out;
    for (int i = 0; i < l.areaCount; ++i)
        out.push_back({l.areas[i].kind, l.areas[i].copy, l.areas[i].offset, l.areas[i].length});
    return out;
}

bool operator==(const Area& a, const Area& b) {
    return a.kind == b.kind && a.copy == b.copy && a.offset == b.offset && a.length == b.length;
}

// 1024-byte sectors, 2 reserved, 3 FATs of 2 sectors, 100 root entries (3200 bytes in 4 sectors),
// 700 clusters of 2 sectors and 1 sector after the last cluster.
void oddSector(uint8_t* b) {
    auto image = newImage();
    image->copyBootSector(b);
    writeLe16(b + bs::kBytesPerSector, 1024);
    writeLe16(b + bs::kReservedSectors, 2);
    b[bs::kNumberOfFats] = 3;
    writeLe16(b + bs::kSectorsPerFat, 2);
    writeLe16(b + bs::kRootEntries, 100);
    b[bs::kSectorsPerCluster] = 2;
    writeLe16(b + bs::kTotalSectors, 2 + 6 + 4 + 2 * 700 + 1);
}

TEST(VolumeLayout, AreasInDiskOrder) {
    auto classic = newImage();
    VolumeLayout l;
    ASSERT_TRUE(readVolumeLayout(classic->bootSector, &l));
    EXPECT_EQ((std::vector<Area>{{kAreaBootSector, 0, 0, 512}, {kAreaFat, 0, 512, 4608},
                                 {kAreaFat, 1, 5120, 4608}, {kAreaRoot, 0, 9728, 7168},
                                 {kAreaClusters, 0, 16896, 2847 * 512}}),
              areasOf(l));
    EXPECT_TRUE(isStreamLayout(l, classic->bootSector));

    uint8_t b[512];
    oddSector(b);
    ASSERT_TRUE(readVolumeLayout(b, &l));
    EXPECT_EQ((std::vector<Area>{{kAreaBootSector, 0, 0, 512}, {kAreaReserved, 0, 512, 1536},
                                 {kAreaFat, 0, 2048, 2048}, {kAreaFat, 1, 4096, 2048},
                                 {kAreaFat, 2, 6144, 2048}, {kAreaRoot, 0, 8192, 3200},
                                 {kAreaRootSlack, 0, 11392, 896},
                                 {kAreaClusters, 0, 12288, 700 * 2048},
                                 {kAreaTail, 0, 12288 + 700 * 2048, 1024}}),
              areasOf(l));
    EXPECT_FALSE(isStreamLayout(l, b));
    EXPECT_FALSE(checkBootSector(b));  // held in files, not streamed to floppies
}

TEST(VolumeLayout, RefusesLayoutsThatCannotBeHeld) {
    struct Damage { const char* what; void (*apply)(uint8_t*); };
    const Damage damages[] = {
        {"32-byte sectors and clusters", [](uint8_t* b) { writeLe16(b + bs::kBytesPerSector, 32); b[bs::kSectorsPerCluster] = 1; }},
        {"256-byte sectors", [](uint8_t* b) { writeLe16(b + bs::kBytesPerSector, 256); }},
        {"no reserved sector", [](uint8_t* b) { writeLe16(b + bs::kReservedSectors, 0); }},
        {"no FAT", [](uint8_t* b) { b[bs::kNumberOfFats] = 0; }},
        {"4 FATs", [](uint8_t* b) { b[bs::kNumberOfFats] = 4; }},
        {"FAT of 6144 bytes", [](uint8_t* b) { writeLe16(b + bs::kSectorsPerFat, 6); }},
        {"FAT too small for the clusters", [](uint8_t* b) { writeLe16(b + bs::kSectorsPerFat, 1); }},
    };
    for (const Damage& d : damages) {
        uint8_t b[512];
        oddSector(b);
        d.apply(b);
        VolumeLayout l;
        EXPECT_FALSE(readVolumeLayout(b, &l)) << d.what;
    }
}

// An odd layout's bytes that the image does not model survive a load and a save byte for byte,
// and every FAT copy is written from the first.
TEST(VolumeLayout, KeptBytesAndFatCopiesThroughLoadAndSave) {
    TempDir dir;
    auto made = newImage();
    oddSector(made->bootSector);
    made->freeClusters();
    made->computeGeometry();
    std::string path = dir.file("odd.img"), again = dir.file("again.img");
    ASSERT_EQ(0, made->saveImageFile(path.c_str()));
    auto bytes = readFile(path);
    ASSERT_EQ((2u + 6 + 4 + 1400 + 1) * 1024, bytes.size());
    for (size_t at : {size_t(600), size_t(2047), size_t(11392), size_t(12287), bytes.size() - 1})
        bytes[at] = 0xA5;
    bytes[6144 + 7] = 0x77;  // a stale third FAT
    bytes.insert(bytes.end(), 300, 0x5C);  // past the volume
    writeFile(path, bytes);

    std::unique_ptr<VolumeImage> image(new VolumeImage);
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    EXPECT_EQ(700, image->getClusterCount());
    image->fatTable[2] = 0xFFF;
    ASSERT_EQ(0, image->saveImageFile(again.c_str()));
    auto saved = readFile(again);
    ASSERT_EQ(bytes.size(), saved.size());
    for (size_t fat : {2048, 4096, 6144})
        EXPECT_EQ(0, std::memcmp(image->fat1, saved.data() + fat, 2048)) << fat;
    EXPECT_EQ(0xFF, saved[2048 + 3]);
    for (size_t at = 0; at < bytes.size(); ++at)
        if (at < 2048 || at >= 8192) ASSERT_EQ(bytes[at], saved[at]) << at;
}

}  // namespace
