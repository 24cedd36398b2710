// Change of format in memory (tool tests check every pair of types): the root's slots come over
// but their clusters, refusals leave the source alone, code the new BPB would overwrite goes.
#include <gtest/gtest.h>

#include <cstring>

#include "directory/convert_image.h"
#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "image/entry_format.h"
#include "test_support.h"

TEST(ConvertImage, KeepsSlotsAndBootCodeAndRefusesWhatDoesNotFit) {
    testing_support::TempDir dir;
    std::unique_ptr<VolumeImage> source = testing_support::newImage(2, "CONVERTED");
    std::string paths[] = {dir.file("a long file name.txt"), dir.file("BIG.BIN")};
    testing_support::writeFile(paths[0], std::vector<uint8_t>(3000, 7));
    testing_support::writeFile(paths[1], std::vector<uint8_t>(400000, 9));
    const char* texts[] = {paths[0].c_str(), paths[1].c_str()};
    ASSERT_EQ(kResultOk, source->insertHostPaths(0, texts, 2, nullptr));
    uint8_t* root = source->rootDir;  // label, two long-name slots, the file, BIG.BIN
    for (int slot : {3, 4}) {         // times and bits that insertion does not give
        writeLe16(root + slot * 32 + de::kCreationDate, 0x4A21);
        writeLe16(root + slot * 32 + de::kAccessDate, 0x5B42);
    }
    root[3 * 32 + de::kAttributes] |= de::kAttrHidden;
    source->bootSector[1] = 0x3C;  // a jump to 0x3F: the code is kept
    VolumeImage target, small, dmf, dos3;
    ConvertOutcome outcome;
    ASSERT_EQ(kResultOk, convertImage(*source, nullptr, 0, target, &outcome));  // 720KB
    EXPECT_FALSE(outcome.standardBootCode);
    for (int slot = 0; slot < 5; ++slot) {
        std::memcpy(target.rootDir + slot * 32 + de::kFirstCluster,
                    root + slot * 32 + de::kFirstCluster, 2);
        EXPECT_EQ(0, std::memcmp(root + slot * 32, target.rootDir + slot * 32, 32)) << slot;
    }
    EXPECT_EQ(0, std::memcmp(source->bootSector, target.bootSector, bs::kBytesPerSector));
    EXPECT_EQ(0, std::memcmp(source->bootSector + bs::kSerialNumber,
                             target.bootSector + bs::kSerialNumber, bs::kSize - bs::kSerialNumber));

    EXPECT_EQ(kResultNoSpace, convertImage(*source, nullptr, 9, small));  // 360KB
    for (int i = 0; i < 5; ++i) {  // 15 more root slots; a DMF root has 16
        std::string name = dir.file(std::to_string(i) + " with a name of 3 slots");
        testing_support::writeFile(name, {1});
        ASSERT_EQ(kResultOk, source->insertHostPath(0, name.c_str(), nullptr));
    }
    EXPECT_EQ(kResultDirectoryFull, convertImage(*source, nullptr, kFirstDmfType, dmf));
    EXPECT_EQ(std::vector<std::string>(
                  {"The contents of the image need 394 clusters of 1024 bytes; the new disk type "
                   "has 354!",
                   "The root folder of the image holds 20 entries; the new disk type's root has "
                   "room for 16!"}),
              testing_support::takeMessages(*source));

    source->bootSector[1] = 0x21;  // to 0x24, where DOS 3 boot code began: inside the new BPB
    ASSERT_EQ(kResultOk, convertImage(*source, nullptr, 2, dos3, &outcome));
    EXPECT_TRUE(outcome.standardBootCode);
    EXPECT_EQ(1u, testing_support::takeMessages(*source).size());
    EXPECT_EQ(0, std::memcmp(builtInBootTemplate(), dos3.bootSector, 3));
    EXPECT_EQ(0, std::memcmp(builtInBootTemplate() + bs::kBootCode, dos3.bootSector + bs::kBootCode,
                             bs::kSize - bs::kBootCode));
}
