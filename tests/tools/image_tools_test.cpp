// The core against mkfs.fat, mtools and fsck.fat: images they make load with the expected
// geometry, and images Tolven makes pass their checks.
#include <gtest/gtest.h>

#include <cstring>

#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "tool_support.h"

using testing_support::TempDir;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;

namespace {

const int kDerivedClusters[kDiskTypeCount] = {713, 813, 2847, 3325, 3409, 2863,
                                              155, 175, 315, 354, 2371};

// The value of "key: value" in `text`, or "" when the key is missing.
std::string valueOf(const std::string& text, const std::string& key) {
    size_t at = text.find(key + ":");
    if (at == std::string::npos) return "";
    size_t start = text.find_first_not_of(' ', at + key.size() + 1);
    size_t end = text.find('\n', start);
    return text.substr(start, end - start);
}

TEST(MkfsImages, EveryDiskTypeLoadsWithTheTableGeometry) {
    TempDir dir;
    for (int t = 0; t < kDiskTypeCount; ++t) {
        SCOPED_TRACE(diskTypeName(t));
        std::string path = dir.file("mkfs" + std::to_string(t) + ".img");
        char options[256];
        std::snprintf(options, sizeof options,
                      " -C -F 12 -f 2 -R 1 -S 512 -s %d -r %d -g %d/%d -M 0x%02X -n MKFS ",
                      DiskTypeTable::sectorsPerCluster[t], DiskTypeTable::rootEntries[t],
                      DiskTypeTable::heads[t], DiskTypeTable::sectorsPerTrack[t],
                      DiskTypeTable::mediaDescriptor[t]);
        auto made = run(tool_support::mkfsFat() + options + quote(path) + " " +
                        std::to_string(DiskTypeTable::totalSectors[t] / 2));
        ASSERT_EQ(0, made.status) << made.output;

        std::unique_ptr<VolumeImage> image(new VolumeImage);
        ASSERT_EQ(0, image->loadImageFile(path.c_str()));
        EXPECT_EQ(DiskTypeTable::sectorsPerFat[t], image->sectorsPerFat());
        EXPECT_EQ(kDerivedClusters[t], image->getClusterCount());
        EXPECT_EQ(kDerivedClusters[t], image->countFreeClusters());
        EXPECT_EQ(0, image->countUsedClusters());
        EXPECT_EQ(DiskTypeTable::sectorsPerCluster[t] * 512, image->clusterBytes);
    }
}

TEST(MkfsImages, DistributionFormatWith2048ByteClustersLoads) {
    TempDir dir;
    std::string path = dir.file("dmf.img");
    auto made = run(tool_support::mkfsFat() + " -C -F 12 -f 2 -R 1 -S 512 -s 4 -r 16 -g 2/21 " +
                    quote(path) + " 1680");
    ASSERT_EQ(0, made.status) << made.output;
    testing_support::writeFile(dir.file("payload"), std::vector<uint8_t>(300000, 0x6D));
    ASSERT_EQ(0, run("mcopy -i " + quote(path) + " " + quote(dir.file("payload")) + " ::/DATA.BIN").status);
    std::unique_ptr<VolumeImage> image(new VolumeImage);
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    EXPECT_EQ(2048, image->clusterBytes);
    EXPECT_GT(image->countUsedClusters(), 0);
    EXPECT_EQ(image->getClusterCount(), image->countUsedClusters() + image->countFreeClusters());
}

TEST(CreatedImages, EveryTypePassesFsckAndMtoolsSeesItsGeometry) {
    TempDir dir;
    for (int t = 0; t < kDiskTypeCount; ++t) {
        SCOPED_TRACE(diskTypeName(t));
        std::string path = dir.file("new" + std::to_string(t) + ".img");
        auto made = run(cli() + " new " + quote(path) + " --type " + std::to_string(t) +
                        " --label TYPE" + std::to_string(t));
        ASSERT_EQ(0, made.status) << made.output;
        std::string report;
        EXPECT_TRUE(tool_support::fsckClean(path, &report)) << report;

        auto info = run("minfo -i " + quote(path) + " ::");
        ASSERT_EQ(0, info.status) << info.output;
        EXPECT_EQ(std::to_string(DiskTypeTable::sectorsPerTrack[t]), valueOf(info.output, "sectors per track"));
        EXPECT_EQ(std::to_string(DiskTypeTable::heads[t]), valueOf(info.output, "heads"));
        EXPECT_EQ(std::to_string(DiskTypeTable::sectorsPerCluster[t]) + " sectors", valueOf(info.output, "cluster size"));
        EXPECT_EQ(std::to_string(DiskTypeTable::rootEntries[t]),
                  valueOf(info.output, "max available root directory slots"));

        auto dirList = run("mdir -i " + quote(path) + " ::");
        EXPECT_NE(std::string::npos, dirList.output.find("Volume in drive : is TYPE" + std::to_string(t)))
            << dirList.output;

        // And tolven-cli reads back what it wrote.
        auto own = run(cli() + " info " + quote(path));
        ASSERT_EQ(0, own.status) << own.output;
        EXPECT_EQ(std::to_string(kDerivedClusters[t]), valueOf(own.output, "free_clusters"));
    }
}

TEST(CreatedImages, FilesWrittenByMtoolsSurviveLoadAndSave) {
    TempDir dir;
    std::string path = dir.file("rw.img"), copy = dir.file("copy.img");
    ASSERT_EQ(0, run(cli() + " new " + quote(path) + " --type 0").status);
    testing_support::writeFile(dir.file("data.bin"), std::vector<uint8_t>(5000, 0x3C));
    ASSERT_EQ(0, run("mmd -i " + quote(path) + " ::/SUB").status);
    ASSERT_EQ(0, run("mcopy -i " + quote(path) + " " + quote(dir.file("data.bin")) + " ::/SUB/DATA.BIN").status);

    std::unique_ptr<VolumeImage> image(new VolumeImage);
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    EXPECT_EQ(1 + 5, image->countUsedClusters());  // the folder and 5000 bytes in 1 KB clusters
    ASSERT_EQ(0, image->saveImageFile(copy.c_str()));
    EXPECT_EQ(testing_support::readFile(path), testing_support::readFile(copy));
    EXPECT_TRUE(tool_support::fsckClean(copy));
}

TEST(Cli, MapCountsAndBootFileCommands) {
    TempDir dir;
    std::string path = dir.file("m.img"), sector = dir.file("s.bin"), code = dir.file("c.bin");
    ASSERT_EQ(0, run(cli() + " new " + quote(path) + " --type 360KB").status);
    testing_support::writeFile(dir.file("payload"), std::vector<uint8_t>(100000, 0x41));
    ASSERT_EQ(0, run("mcopy -i " + quote(path) + " " + quote(dir.file("payload")) + " ::/A.BIN").status);
    auto map = run(cli() + " map " + quote(path));
    ASSERT_EQ(0, map.status);
    auto info = run(cli() + " info " + quote(path));
    std::string used = valueOf(info.output, "used_clusters");
    EXPECT_NE(std::string::npos, map.output.find("used: " + used + " reserved: 0 bad: 0 free: "));
    size_t cells = 0, hashes = 0;
    for (char c : map.output.substr(0, map.output.find("used:"))) {
        if (c == '#') ++hashes;
        if (c == '#' || c == '.') ++cells;
    }
    EXPECT_EQ(354u, cells);
    EXPECT_EQ(std::to_string(hashes), used);

    ASSERT_EQ(0, run(cli() + " bootsector export " + quote(path) + " " + quote(sector)).status);
    ASSERT_EQ(0, run(cli() + " bootsector import " + quote(path) + " " + quote(sector)).status);
    ASSERT_EQ(0, run(cli() + " bootcode export " + quote(path) + " " + quote(code)).status);
    auto wrong = run(cli() + " bootsector import " + quote(path) + " " + quote(code));
    EXPECT_EQ(1, wrong.status);
    EXPECT_NE(std::string::npos, wrong.output.find("Loaded file is not a bootsector!\nerror 420"));
    EXPECT_TRUE(tool_support::fsckClean(path));

    auto usage = run(cli() + " bootsector sideways " + quote(path) + " x");
    EXPECT_EQ(2, usage.status);
    auto exists = run(cli() + " new " + quote(path) + " --type 0");
    EXPECT_EQ(1, exists.status);
}

}  // namespace
