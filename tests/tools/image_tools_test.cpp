// The core against mkfs.fat, mtools and fsck.fat: images they make load with the expected
// geometry, and images Tolven makes pass their checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "tool_support.h"

using testing_support::TempDir;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;
namespace fs = std::filesystem;

namespace {

const int kDerivedClusters[kDiskTypeCount] = {713, 813, 2847, 3325, 3409, 2863, 155,
                                              175, 315, 354,  2371, 838,  1674, 859};

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
        EXPECT_EQ(std::to_string(DiskTypeTable::sectorsPerTrack[t]),
                  valueOf(info.output, "sectors per track"));
        EXPECT_EQ(std::to_string(DiskTypeTable::heads[t]), valueOf(info.output, "heads"));
        EXPECT_EQ(std::to_string(DiskTypeTable::sectorsPerCluster[t]) + " sectors",
                  valueOf(info.output, "cluster size"));
        EXPECT_EQ(std::to_string(DiskTypeTable::rootEntries[t]),
                  valueOf(info.output, "max available root directory slots"));

        auto dirList = run("mdir -i " + quote(path) + " ::");
        EXPECT_NE(std::string::npos,
                  dirList.output.find("Volume in drive : is TYPE" + std::to_string(t)))
            << dirList.output;

        // And tolven-cli reads back what it wrote.
        auto own = run(cli() + " info " + quote(path));
        ASSERT_EQ(0, own.status) << own.output;
        EXPECT_EQ(std::to_string(kDerivedClusters[t]), valueOf(own.output, "free_clusters"));
        std::string free = dirList.output.substr(0, dirList.output.find(" bytes free"));
        free.erase(std::remove(free.begin(), free.end(), ' '), free.end());  // "1 457 664"
        EXPECT_EQ(free.substr(free.rfind('\n') + 1), valueOf(own.output, "free_bytes"));
    }
}

TEST(CreatedImages, FilesWrittenByMtoolsLoadAndSurviveASave) {
    TempDir dir;
    std::string path = dir.file("rw.img"), copy = dir.file("copy.img");
    ASSERT_EQ(0, run(cli() + " new " + quote(path) + " --type 0").status);
    testing_support::writeFile(dir.file("data.bin"), std::vector<uint8_t>(5000, 0x3C));
    ASSERT_EQ(0, run("mmd -i " + quote(path) + " ::/SUB").status);
    ASSERT_EQ(
        0, run("mcopy -i " + quote(path) + " " + quote(dir.file("data.bin")) + " ::/SUB/DATA.BIN")
               .status);

    std::unique_ptr<VolumeImage> image(new VolumeImage);
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    EXPECT_EQ(1 + 5, image->countUsedClusters());  // the folder and 5000 bytes in 1 KB clusters
    ASSERT_EQ(0, image->saveImageFile(copy.c_str()));
    EXPECT_EQ(testing_support::readFile(path), testing_support::readFile(copy));
    EXPECT_TRUE(tool_support::fsckClean(copy));

    // So do those of the distribution format's 2048-byte clusters.
    std::string dmf = dir.file("dmf.img");
    auto made = run(tool_support::mkfsFat() + " -C -F 12 -f 2 -R 1 -S 512 -s 4 -r 16 -g 2/21 " +
                    quote(dmf) + " 1680 && mcopy -i " + quote(dmf) + " " +
                    quote(dir.file("data.bin")) + " ::/DATA.BIN");
    ASSERT_EQ(0, made.status) << made.output;
    ASSERT_EQ(0, image->loadImageFile(dmf.c_str()));
    EXPECT_EQ(2048, image->clusterBytes);
    EXPECT_EQ(3, image->countUsedClusters());
    EXPECT_EQ(image->getClusterCount() - 3, image->countFreeClusters());
}

TEST(Cli, MapCountsBootFileCommandsAndTheLabelRule) {
    TempDir dir;
    std::string path = dir.file("m.img"), sector = dir.file("s.bin"), code = dir.file("c.bin");
    ASSERT_EQ(0, run(cli() + " new " + quote(path) + " --type 360KB").status);
    testing_support::writeFile(dir.file("payload"), std::vector<uint8_t>(100000, 0x41));
    ASSERT_EQ(
        0, run("mcopy -i " + quote(path) + " " + quote(dir.file("payload")) + " ::/A.BIN").status);
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

    // One label rule: an empty label is no label ("NO NAME" in the boot sector), lower case goes
    // in upper case, and what the window refuses is refused before anything is written.
    std::string img = dir.file("l.img"), bad = dir.file("bad.img");
    ASSERT_EQ(0, run(cli() + " new " + quote(img) + " --type 0 --label ''").status);
    EXPECT_TRUE(tool_support::fsckClean(img));
    EXPECT_NE(std::string::npos, run("mdir -i " + quote(img) + " ::").output.find("has no label"));
    EXPECT_EQ("NO NAME    ", valueOf(run(cli() + " info " + quote(img)).output, "label"));
    auto refused = run(cli() + " new " + quote(bad) + " --type 0 --label 'a*b'");
    EXPECT_EQ(2, refused.status);
    EXPECT_EQ(0u, refused.output.find("Invalid character in volume label!\n"));
    EXPECT_FALSE(fs::exists(bad));
    ASSERT_EQ(0, run(cli() + " new " + quote(img) + " --type 0 --force --label 'my disk'").status);
    EXPECT_NE(std::string::npos, run("mlabel -s -i " + quote(img) + " ::").output.find("MY DISK"));
    EXPECT_TRUE(tool_support::fsckClean(img));
}

// Layouts beyond 1 reserved sector, 2 FATs and 512-byte sectors, and sectors after the last whole
// cluster: held exactly through add and mkdir, the file's length and tail unchanged, fsck.fat
// clean (it takes no 3-FAT volume) and mtools reading back both its file and Tolven's.
TEST(MkfsGeometries, HeldExactlyThroughAddAndMkdir) {
    TempDir dir;
    testing_support::writeFile(dir.file("p.bin"), std::vector<uint8_t>(5000, 0x5A));
    const char* const layouts[] = {"-R 2 x 1440",
                                   "-f 1 x 1440",
                                   "-f 3 x 1440",
                                   "-S 1024 -r 128 x 720",
                                   "-S 2048 -r 128 x 1440",
                                   "-S 4096 -r 128 x 1440",
                                   "-F 12 -s 4 -r 224 x 1440"};
    for (const char* layout : layouts) {
        SCOPED_TRACE(layout);
        std::string img = dir.file("g.img"), options = layout;
        options.replace(options.find(" x "), 3, " " + quote(img) + " ");
        std::remove(img.c_str());
        ASSERT_EQ(0, run(tool_support::mkfsFat() + " -C " + options).status);
        std::string m = "-i " + quote(img) + " ";
        ASSERT_EQ(0, run("mcopy " + m + quote(dir.file("p.bin")) + " ::/PRE.BIN").status);
        auto before = testing_support::readFile(img);
        before.back() = 0xA5;  // the tail sectors of "-s 4" and the last cluster's last byte
        testing_support::writeFile(img, before);
        auto add = run(cli() + " mkdir " + quote(img) + " /SUB && " + cli() + " add " + quote(img) +
                       " " + quote(dir.file("p.bin")) + " -d /SUB");
        ASSERT_EQ(0, add.status) << add.output;
        auto after = testing_support::readFile(img);
        ASSERT_EQ(before.size(), after.size());
        EXPECT_EQ(0xA5, after.back());
        std::string report;
        if (std::string(layout).find("-f 3") == std::string::npos) {
            EXPECT_TRUE(tool_support::fsckClean(img, &report)) << report;
        }
        for (const char* file : {"::/PRE.BIN", "::/SUB/p.bin"})
            EXPECT_EQ(std::string(5000, 'Z'), run("mtype " + m + file).output) << file;
    }
}

// Layouts the image cannot hold are refused on load, and the file stays as it was.
TEST(MkfsGeometries, RefusedLayoutsLeaveTheFileAsItWas) {
    TempDir dir;
    std::string img = dir.file("bad.img");
    struct Damage {
        int offset;
        uint16_t value;
    };
    const Damage damages[] = {{bs::kBytesPerSector, 32},  // 32-byte clusters
                              {bs::kSectorsPerFat, 1},    // a FAT too small for the clusters
                              {bs::kReservedSectors, 0}};
    for (const Damage& d : damages) {
        ASSERT_EQ(0, run(cli() + " new " + quote(img) + " --type 2 --force").status);
        auto bytes = testing_support::readFile(img);
        writeLe16(bytes.data() + d.offset, d.value);
        testing_support::writeFile(img, bytes);
        auto add = run(cli() + " mkdir " + quote(img) + " /X");
        EXPECT_EQ(1, add.status);
        EXPECT_EQ("Invalid bootsector found!\nerror 110\n", add.output) << d.offset;
        EXPECT_EQ(bytes, testing_support::readFile(img));
    }
}

// Saving: a read-only image is refused untouched; a linked one is saved to the link's target
// with its permissions, never through a planted partial name; a link leading nowhere is refused;
// a size limit fails the write instead of killing the tool, and no partial file stays.
TEST(Cli, SaveRulesOnTheTarget) {
    TempDir dir;
    std::string img = dir.file("t.img"), link = dir.file("link.img");
    ASSERT_EQ(0, run(cli() + " new " + quote(img) + " --type 0").status);
    ASSERT_EQ(0, run("chmod 444 " + quote(img)).status);
    EXPECT_EQ("Could not create image file!\n" + img + ": Permission denied\nerror 100\n",
              run(cli() + " mkdir " + quote(img) + " /A").output);
    ASSERT_EQ(0, run("chmod 640 " + quote(img) + " && ln -s t.img " + quote(link) + " && cd " +
                     quote(dir.path().string()) + " && ln -s v t.img.tolven-partial && ln -s v " +
                     "link.img.tolven-partial && ln -s nowhere dangling.img")
                     .status);
    ASSERT_EQ(0, run(cli() + " mkdir " + quote(link) + " /A").status);
    EXPECT_FALSE(fs::exists(dir.file("v")));
    EXPECT_EQ(1,
              run(cli() + " new " + quote(dir.file("dangling.img")) + " --type 0 --force").status);
    EXPECT_TRUE(fs::is_symlink(dir.file("dangling.img")));
    EXPECT_EQ("640 link",
              run("stat -c %a " + quote(img) + "; test -L " + quote(link) + " && printf link")
                  .output.replace(3, 1, " "));
    EXPECT_EQ(0, run("mdir -i " + quote(img) + " ::/A").status);
    testing_support::writeFile(dir.file("big"), std::vector<uint8_t>(200000, 1));
    auto limited = run("ulimit -f 300; " + cli() + " add " + quote(img) + " " +
                       quote(dir.file("big")));
    EXPECT_EQ(1, limited.status);
    EXPECT_NE(std::string::npos, limited.output.find("Could not write cluster ("))
        << limited.output;
    EXPECT_EQ(6u, static_cast<size_t>(std::distance(fs::directory_iterator(dir.path()), {})));
    EXPECT_TRUE(tool_support::fsckClean(img));
}

}  // namespace

// Saving beside other programs: commands on one image at once all keep their edits; a lock held
// elsewhere fails the command (3); boot files never overwrite the image; FIFOs are refused
// without blocking; names at the length limit save; a folder that refuses the replacement is
// written in place only with --in-place.
TEST(Cli, SavingBesideOtherPrograms) {
    TempDir dir;
    std::string img = dir.file("c.img"), folder = dir.file("ro"), fifo = dir.file("p");
    ASSERT_EQ(0, run(cli() + " new " + quote(img) + " --type 1440KB").status);
    std::string adds = "cd " + quote(dir.path().string()) + " && for i in 1 2 3 4 5 6; do echo " +
                       "$i > f$i.txt; " + cli() + " add c.img f$i.txt & done; wait";
    ASSERT_EQ(0, run(adds).status);
    EXPECT_EQ("6\n", run("mdir -b -i " + quote(img) + " :: | grep -ci txt").output);
    auto locked = run("flock " + quote(img) + " env TOLVEN_LOCK_WAIT=0 " + cli() + " ls " +
                      quote(img));
    EXPECT_EQ(3, locked.status);
    EXPECT_EQ("Image file \"" + img + "\" is in use by another program!\nerror 700\n",
              locked.output);

    auto before = testing_support::readFile(img);
    ASSERT_EQ(0, run("ln -s c.img " + quote(dir.file("l.img"))).status);
    for (const char* kind : {"bootsector", "bootcode"}) {
        auto onto = run(cli() + " " + kind + " export " + quote(img) + " " +
                        quote(dir.file("l.img")));
        EXPECT_EQ(1, onto.status);
        EXPECT_NE(std::string::npos, onto.output.find("image file itself!\nerror 720"))
            << onto.output;
    }
    EXPECT_EQ(before, testing_support::readFile(img));

    ASSERT_EQ(0, run("mkfifo " + quote(fifo)).status);
    for (std::string args :
         {" ls " + quote(fifo), " bootsector import " + quote(img) + " " + quote(fifo),
          " bootcode export " + quote(img) + " " + quote(fifo)}) {
        auto refused = run("timeout 20 " + cli() + args);
        EXPECT_EQ(1, refused.status) << args;
        EXPECT_NE(std::string::npos, refused.output.find(fifo + ": Operation not permitted"))
            << args;
    }

    std::string longName = dir.file(std::string(251, 'n') + ".img");
    ASSERT_EQ(0, run(cli() + " new " + quote(longName) + " --type 0").status);
    EXPECT_EQ(0, run(cli() + " mkdir " + quote(longName) + " /A").status);
    EXPECT_TRUE(tool_support::fsckClean(longName));

    // A folder nobody may create files in; root runs the tool as nobody, for whom it is closed.
    std::string closed = folder + "/r.img";
    std::string as = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    ASSERT_EQ(0, run("mkdir " + quote(folder) + " && cp " + quote(img) + " " + quote(closed) +
                     " && chmod 666 " + quote(closed) + " && chmod 555 " + quote(folder) +
                     " && chmod 755 " + quote(dir.path().string()))
                     .status);
    auto refused = run(as + cli() + " mkdir " + quote(closed) + " /R");
    EXPECT_EQ(1, refused.status);
    EXPECT_EQ(0u, refused.output.find("Could not replace image file!\n" + closed +
                                      ": Permission denied\nerror 730\n"))
        << refused.output;
    auto inPlace = run(as + cli() + " mkdir " + quote(closed) + " /R --in-place");
    EXPECT_EQ(0, inPlace.status) << inPlace.output;
    EXPECT_NE(std::string::npos, inPlace.output.find("The image was written in place.\n"));
    EXPECT_EQ(0, run("mdir -i " + quote(closed) + " ::/R").status);
    EXPECT_TRUE(tool_support::fsckClean(closed) && tool_support::fsckClean(img));
    run("chmod 755 " + quote(folder));
}
