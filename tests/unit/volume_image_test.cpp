#include <gtest/gtest.h>

#include <cstring>

#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "test_support.h"

using testing_support::newImage;

namespace {

TEST(VolumeImage, NextLinkAndClusterDataClassEveryValueAtItsBoundaries) {
    auto image = newImage(0);  // 720KB: data clusters 2 .. 714
    const int last = image->getClusterCount() + 1;
    const struct {
        uint16_t value;
        LinkKind kind;
    } cases[] = {{0, kLinkBroken},
                 {1, kLinkBroken},
                 {2, kLinkData},
                 {uint16_t(last), kLinkData},
                 {uint16_t(last + 1), kLinkBroken},
                 {0xFF0, kLinkBroken},
                 {0xFF6, kLinkBroken},
                 {0xFF7, kLinkBad},
                 {0xFF8, kLinkEnd},
                 {0xFFF, kLinkEnd}};
    for (const auto& c : cases) {
        image->fatTable[5] = c.value;
        EXPECT_EQ(c.kind, image->nextLink(5).kind) << std::hex << c.value;
        EXPECT_EQ(c.value, image->nextLink(5).next);
    }
    // A cluster that is no data cluster has no link of its own.
    EXPECT_EQ(kLinkBroken, image->nextLink(1).kind);
    EXPECT_EQ(kLinkBroken, image->nextLink(static_cast<uint32_t>(last + 1)).kind);
    // Nor data.
    for (uint32_t none : {0u, 1u, static_cast<uint32_t>(last + 1), 0xFFFu})
        EXPECT_EQ(nullptr, image->clusterData(none)) << none;
    EXPECT_EQ(image->clusters[0], image->clusterData(2));
    EXPECT_EQ(image->clusters[last - 2], image->clusterData(static_cast<uint32_t>(last)));
}

// A constructed image is empty, and a reset leaves one empty again: everything but the backup is
// cleared, and the backup restores the same image.
TEST(VolumeImage, ResetClearsEverythingButBackups) {
    std::unique_ptr<VolumeImage> empty(new VolumeImage);
    EXPECT_EQ(0, empty->getClusterCount());
    EXPECT_EQ(0, empty->countFreeClusters());
    EXPECT_STREQ("", empty->statusText);
    EXPECT_EQ(0, empty->sectorsDone);
    EXPECT_EQ(0, empty->sectorsTotal);
    empty->reset();  // frees nothing, stays empty
    EXPECT_EQ(0, empty->getClusterCount());
    auto image = newImage(0, "BACKUP");
    image->fatTable[2] = 0xFFF;
    image->clusters[0][0] = 0x42;
    image->clusters[712][1023] = 0x99;
    auto before = snapshot(*image);
    image->saveBackup();
    image->reset();
    EXPECT_EQ(0, image->clusterCount);
    EXPECT_EQ(0, image->clusterBytes);
    EXPECT_EQ(0, image->bootSector[bs::kSignature]);
    EXPECT_EQ(0, image->rootDir[0]);
    EXPECT_EQ(0xF9, image->backup->fat1[0]);
    image->restoreBackup();
    image->dropBackup();
    EXPECT_EQ(before, snapshot(*image));
}

struct GeometryCase {
    int type;
    int clusters;
    int clusterBytes;
    int dataSectors;
};

TEST(VolumeImage, GeometryOfEveryDiskType) {
    const GeometryCase cases[] = {
        {0, 713, 1024, 1426}, {1, 813, 1024, 1626},  {2, 2847, 512, 2847},  {3, 3325, 512, 3325},
        {4, 3409, 512, 3409}, {5, 2863, 1024, 5726}, {6, 155, 1024, 310},   {7, 175, 1024, 350},
        {8, 315, 1024, 630},  {9, 354, 1024, 708},   {10, 2371, 512, 2371},
    };
    for (const GeometryCase& c : cases) {
        auto image = newImage(c.type);
        SCOPED_TRACE(diskTypeName(c.type));
        EXPECT_EQ(c.clusters, image->getClusterCount());
        EXPECT_EQ(c.clusterBytes, image->clusterBytes);
        EXPECT_EQ(c.clusterBytes / 32, image->entriesPerCluster);
        EXPECT_EQ(c.dataSectors, image->dataSectors);
        EXPECT_EQ(c.clusters, image->countFreeClusters());
        EXPECT_EQ(DiskTypeTable::totalSectors[c.type], image->totalSectors());
    }
}

// A valid 1440KB boot sector to damage field by field.
void validSector(uint8_t* b) {
    auto image = newImage();
    image->copyBootSector(b);
}

TEST(BootSectorCheck, AcceptsEveryCreatedTypeAndTheLimitsHeld) {
    for (int t = 0; t < kDiskTypeCount; ++t) {
        auto image = newImage(t);
        EXPECT_TRUE(checkBootSector(image->bootSector)) << t;
    }
    uint8_t b[512];
    validSector(b);
    writeLe16(b + bs::kSectorsPerFat, 10);
    writeLe16(b + bs::kRootEntries, 240);
    EXPECT_TRUE(checkBootSector(b));
    writeLe16(b + bs::kRootEntries, 224);
    b[bs::kSectorsPerCluster] = 4;  // 2048-byte clusters, as on distribution media
    EXPECT_TRUE(checkBootSector(b));
    b[bs::kSectorsPerCluster] = 16;  // 8192 bytes: the largest held
    EXPECT_TRUE(checkBootSector(b));
    // The largest count whose entries a FAT of 10 sectors holds; one more is refused.
    b[bs::kSectorsPerCluster] = 1;
    writeLe16(b + bs::kTotalSectors, 1 + 20 + 14 + 3411);
    EXPECT_TRUE(checkBootSector(b));
    writeLe16(b + bs::kTotalSectors, 1 + 20 + 14 + 3412);
    EXPECT_FALSE(checkBootSector(b));
}

TEST(BootSectorCheck, RefusesWhatCannotBeHeld) {
    struct Damage {
        const char* what;
        void (*apply)(uint8_t*);
    };
    const Damage damages[] = {
        {"no signature", [](uint8_t* b) { b[511] = 0; }},
        {"0 sectors per cluster", [](uint8_t* b) { b[bs::kSectorsPerCluster] = 0; }},
        {"11 sectors per FAT", [](uint8_t* b) { writeLe16(b + bs::kSectorsPerFat, 11); }},
        {"241 root entries", [](uint8_t* b) { writeLe16(b + bs::kRootEntries, 241); }},
        {"0 bytes per sector", [](uint8_t* b) { writeLe16(b + bs::kBytesPerSector, 0); }},
        {"sector of 100 bytes", [](uint8_t* b) { writeLe16(b + bs::kBytesPerSector, 100); }},
        {"16 KB clusters",
         [](uint8_t* b) {
             writeLe16(b + bs::kBytesPerSector, 512);
             b[bs::kSectorsPerCluster] = 32;
         }},
        {"fewer sectors than the system area",
         [](uint8_t* b) { writeLe16(b + bs::kTotalSectors, 32); }},
        {"3413 clusters", [](uint8_t* b) { writeLe16(b + bs::kTotalSectors, 1 + 18 + 14 + 3413); }},
        {"huge sector count", [](uint8_t* b) { writeLe16(b + bs::kTotalSectors, 0xFFFF); }},
        {"256-byte sectors", [](uint8_t* b) { writeLe16(b + bs::kBytesPerSector, 256); }},
        {"no reserved sector", [](uint8_t* b) { writeLe16(b + bs::kReservedSectors, 0); }},
        {"no FAT", [](uint8_t* b) { b[bs::kNumberOfFats] = 0; }},
        {"4 FATs", [](uint8_t* b) { b[bs::kNumberOfFats] = 4; }},
        {"FAT of 6144 bytes",
         [](uint8_t* b) {
             writeLe16(b + bs::kBytesPerSector, 1024);
             writeLe16(b + bs::kSectorsPerFat, 6);
         }},
        {"FAT too small for the clusters",
         [](uint8_t* b) { writeLe16(b + bs::kSectorsPerFat, 5); }},
    };
    for (const Damage& d : damages) {
        uint8_t b[512];
        validSector(b);
        d.apply(b);
        EXPECT_FALSE(checkBootSector(b)) << d.what;
    }
}

}  // namespace
