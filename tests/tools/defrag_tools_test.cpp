// Defragmenting and wiping an image that mtools fragmented in rounds of adds and deletes.
#include <gtest/gtest.h>

#include <filesystem>

#include "directory/cluster_owners.h"
#include "directory/defragment.h"
#include "directory/dir_entry.h"
#include "directory/disk_survey.h"
#include "directory/folder_walk.h"
#include "tool_support.h"

using tool_support::run;
namespace fs = std::filesystem;

struct Fragmented : ::testing::Test {
    testing_support::TempDir dir;
    std::string image = dir.file("frag.img"), q = tool_support::quote(image);
    std::string cli = tool_support::cli();
    std::unique_ptr<VolumeImage> im{new VolumeImage};
    std::vector<uint16_t> firsts;  // of the root's entries

    // Each round adds twelve files and deletes a third of them: the next round's files fill the
    // holes, and folders grow between files. Every byte of a file is below 0xE5.
    void SetUp() override {
        ASSERT_EQ(0, run(tool_support::mkfsFat() + " -C -F 12 " + q + " 1440").status);
        const char* targets[] = {"::/", "::/Docs", "::/Docs/Deep folder", "::/Later"};
        for (int r = 0; r < 4; ++r) {
            fs::path host = dir.path() / std::to_string(r);
            fs::create_directories(host);
            for (int k = 0; k < 12; ++k)
                testing_support::writeFile(
                    (host / ("file " + std::to_string(k))).string(),
                    std::vector<uint8_t>(k * 700 + r * 300 + 1, uint8_t(r * 16 + k)));
            std::string to = std::string(" '") + targets[r], i = " -i " + q;
            ASSERT_EQ(0, run((r > 0 ? "mmd" + i + to + "' && " : "") + "mcopy" + i + " " +
                             host.string() + "/*" + to + "'")
                             .status);
            for (int k = r % 3; k < 12; k += 3)
                ASSERT_EQ(0, run("mdel" + i + to + "/file " + std::to_string(k) + "'").status);
        }
        ASSERT_EQ(0, im->loadImageFile(image.c_str()));
        forEachEntry(*im, 0,
                     [&](const WalkedEntry& e) { firsts.push_back(entryFirstCluster(e.entry)); });
    }

    // mtools' listing (names, sizes, dates, free space) and every file's bytes.
    std::string tree(const std::string& name) {
        std::string out = dir.file(name), seen = run("mdir -/ -a -i " + q + " ::/").output;
        EXPECT_EQ(0, run("mkdir " + out + " && mcopy -s -n -i " + q + " ::/ " + out).status);
        for (auto& e : fs::recursive_directory_iterator(out))
            if (e.is_regular_file()) {
                std::vector<uint8_t> b = testing_support::readFile(e.path().string());
                seen += e.path().filename().string() + std::string(b.begin(), b.end());
            }
        return seen;
    }
};

TEST_F(Fragmented, DefragmentThenWipeKeepTheTreeAsFsckAndMtoolsSeeIt) {
    uint16_t slack = chainRuns(*im, firsts[0]).back().last;  // "file 1": 701 bytes
    im->clusterData(slack)[im->clusterBytes - 1] = 0xAA;
    ASSERT_EQ(kResultOk, im->saveImageFile(image.c_str()));
    std::string before = tree("before");
    ClusterOwners owners;
    clusterOwners(*im, &owners);
    ASSERT_GT(countFragmentedFiles(*im, owners), 2);
    DefragmentOutcome done;
    ASSERT_EQ(kResultOk, defragmentImage(*im, &done));
    EXPECT_EQ(3, done.foldersMoved);
    clusterOwners(*im, &owners);
    int lastFolder = 0, firstFile = 9999;
    for (const OwnerEntry& e : owners.entries) {
        std::vector<ClusterRun> runs = chainRuns(*im, e.firstCluster);
        ASSERT_GE(1u, runs.size());
        if (!runs.empty() && e.folder) lastFolder = std::max<int>(lastFolder, runs[0].last);
        if (!runs.empty() && !e.folder) firstFile = std::min<int>(firstFile, runs[0].first);
    }
    EXPECT_EQ(lastFolder + 1, firstFile);
    EXPECT_EQ(im->countFreeClusters(), largestFreeRun(*im));
    EXPECT_EQ(0, im->fatTable[im->clusterCount + 1]);
    ASSERT_EQ(kResultOk, im->saveImageFile(image.c_str()));
    EXPECT_EQ("defragmented: nothing to move\n", run(cli + " defrag " + q).output);
    std::string report;
    EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;
    EXPECT_EQ(before, tree("defragmented"));

    auto r = run(cli + " wipe " + q);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(std::string::npos, r.output.find(" 0 ")) << r.output;  // each kind had some
    ASSERT_EQ(0, im->loadImageFile(image.c_str()));
    int unwiped = 0, deleted = 0;
    for (int i = 0; i < im->rootEntryCount(); ++i) deleted += im->rootDir[i * 32] == 0xE5;
    for (int c = 2; c < im->clusterCount + 2; ++c)
        for (int i = 0; i < im->clusterBytes; ++i) {
            unwiped += im->fatTable[c] == 0 && im->clusterData(c)[i] != 0;
            deleted += i % 32 == 0 && im->clusterData(c)[i] == 0xE5;
        }
    EXPECT_EQ(0, unwiped);
    EXPECT_EQ(0, deleted);
    EXPECT_EQ(0, im->clusterData(chainRuns(*im, firsts[0]).back().last)[im->clusterBytes - 1]);
    EXPECT_TRUE(tool_support::fsckClean(image));
    EXPECT_EQ(before, tree("wiped"));
}

// A loop, then a cross-link: refused, the file as it was.
TEST_F(Fragmented, DamagedImagesAreRefusedUntouched) {
    for (const char* why : {"loops", "shares clusters with another entry"}) {
        uint16_t end = chainRuns(*im, firsts[0]).back().last;  // a loop at the chain's end
        im->setLink(why[0] == 'l' ? end : firsts[0], why[0] == 'l' ? end : firsts[1]);
        ASSERT_EQ(kResultOk, im->saveImageFile(image.c_str()));
        std::vector<uint8_t> bytes = testing_support::readFile(image);
        for (const char* command : {" defrag ", " wipe "}) {
            if (command[1] == 'w' && why[0] == 'l') continue;  // a loop does not stop a wipe
            auto r = run(cli + command + q);
            EXPECT_EQ(1, r.status);
            EXPECT_NE(std::string::npos, r.output.find(why)) << r.output;
            EXPECT_EQ(bytes, testing_support::readFile(image));
        }
    }
}
