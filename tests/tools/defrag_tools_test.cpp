// Defragmenting and wiping images that mtools fragmented in rounds of adds and deletes: the
// layout afterwards, and fsck.fat and mtools seeing the same tree with the same bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "directory/cluster_owners.h"
#include "directory/defragment.h"
#include "directory/dir_entry.h"
#include "directory/disk_survey.h"
#include "directory/folder_walk.h"
#include "tool_support.h"

using testing_support::TempDir;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;
namespace fs = std::filesystem;

namespace {

struct Fragmented : ::testing::Test {
    TempDir dir;
    std::string image = dir.file("frag.img"), q = quote(image);

    // Each round adds twelve files and deletes a third of them: the next round's files fill the
    // holes, and folders grow between files.
    void SetUp() override {
        ASSERT_EQ(0, run(tool_support::mkfsFat() + " -C -F 12 " + q + " 1440").status);
        const char* targets[] = {"::/", "::/Docs", "::/Docs/Deep folder", "::/Later"};
        for (int round = 0; round < 4; ++round) {
            if (round > 0) {
                ASSERT_EQ(0, run("mmd -i " + q + " '" + targets[round] + "'").status);
            }
            fs::path host = dir.path() / ("r" + std::to_string(round));
            fs::create_directories(host);
            for (int k = 0; k < 12; ++k)
                testing_support::writeFile(
                    (host / ("file " + std::to_string(round) + "-" + std::to_string(k) + ".bin"))
                        .string(),
                    std::vector<uint8_t>(static_cast<size_t>(k * 700 + round * 300 + 1),
                                         static_cast<uint8_t>(round * 16 + k + 1)));
            ASSERT_EQ(0, run("mcopy -m -i " + q + " " + quote(host.string()) + "/* '" +
                             targets[round] + "'").status);
            for (int k = round % 3; k < 12; k += 3)
                ASSERT_EQ(0, run("mdel -i " + q + " '" + targets[round] + "/file " +
                                 std::to_string(round) + "-" + std::to_string(k) + ".bin'")
                                 .status);
        }
    }

    std::string listing() { return run("mdir -/ -a -i " + q + " ::/").output; }

    std::map<std::string, std::vector<uint8_t>> contents(const std::string& name) {
        fs::path out = dir.path() / name;
        fs::create_directories(out);
        EXPECT_EQ(0, run("mcopy -s -n -i " + q + " ::/ " + quote(out.string())).status);
        std::map<std::string, std::vector<uint8_t>> files;
        for (auto& e : fs::recursive_directory_iterator(out))
            files[fs::relative(e.path(), out).string()] =
                e.is_directory() ? std::vector<uint8_t>{'/'}
                                 : testing_support::readFile(e.path().string());
        return files;
    }

    std::unique_ptr<VolumeImage> load() {
        std::unique_ptr<VolumeImage> im(new VolumeImage);
        EXPECT_EQ(0, im->loadImageFile(image.c_str()));
        return im;
    }
};

}  // namespace

TEST_F(Fragmented, DefragmentPutsEveryChainInOneRunFoldersFirstAndKeepsTheTree) {
    std::string before = listing();
    auto treeBefore = contents("before");
    auto im = load();
    ClusterOwners owners;
    clusterOwners(*im, &owners);
    ASSERT_GT(countFragmentedFiles(*im, owners), 2);
    std::vector<uint8_t> boot(im->bootSector, im->bootSector + sizeof im->bootSector);

    DefragmentOutcome done;
    ASSERT_EQ(kResultOk, defragmentImage(*im, &done));
    EXPECT_GT(done.filesMoved, 0);
    EXPECT_EQ(3, done.foldersMoved);
    clusterOwners(*im, &owners);
    uint16_t lastFolder = 0, firstFile = 0xFFFF;
    for (const OwnerEntry& e : owners.entries) {
        if (e.firstCluster == 0) continue;
        std::vector<ClusterRun> runs = chainRuns(*im, e.firstCluster);
        ASSERT_EQ(1u, runs.size()) << ownerPath(*im, owners, static_cast<int32_t>(&e - owners.entries.data()));
        if (e.folder) lastFolder = std::max(lastFolder, runs[0].last);
        else firstFile = std::min(firstFile, runs[0].first);
    }
    EXPECT_EQ(lastFolder + 1, firstFile);
    EXPECT_EQ(im->countFreeClusters(), largestFreeRun(*im));
    EXPECT_EQ(0, im->fatTable[im->clusterCount + 1]);
    EXPECT_EQ(boot, std::vector<uint8_t>(im->bootSector, im->bootSector + sizeof im->bootSector));
    ASSERT_EQ(kResultOk, im->saveImageFile(image.c_str()));

    std::string report;
    EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;
    EXPECT_EQ(before, listing());
    EXPECT_EQ(treeBefore, contents("after"));
    EXPECT_EQ(kResultOk, defragmentImage(*load(), &done));
    EXPECT_EQ(0, done.clustersMoved);
}

TEST_F(Fragmented, WipeLeavesNothingToUndeleteAndKeepsTheTree) {
    auto im = load();
    // Slack the tools left zero: bytes after the end of the first file's last cluster.
    uint16_t last = 0;
    forEachEntry(*im, 0, [&](const WalkedEntry& e) {
        uint32_t size = e.entry[de::kFileSize] | e.entry[de::kFileSize + 1] << 8;
        if (isFolderEntry(e.entry) || size % im->clusterBytes == 0) return false;
        last = chainRuns(*im, entryFirstCluster(e.entry)).back().last;
        return true;
    });
    ASSERT_NE(0, last);
    im->clusterData(last)[im->clusterBytes - 1] = 0xAA;
    ASSERT_EQ(kResultOk, im->saveImageFile(image.c_str()));
    std::string before = listing();
    auto treeBefore = contents("before");

    auto r = run(cli() + " wipe " + q);
    ASSERT_EQ(0, r.status) << r.output;
    EXPECT_EQ(std::string::npos, r.output.find(" 0 ")) << r.output;  // each kind found some
    im = load();
    for (int c = 2; c < im->clusterCount + 2; ++c)
        for (int i = 0; im->fatTable[c] == 0 && i < im->clusterBytes; ++i)
            ASSERT_EQ(0, im->clusterData(c)[i]) << c;
    EXPECT_EQ(0, im->clusterData(last)[im->clusterBytes - 1]);
    ClusterOwners owners;
    clusterOwners(*im, &owners);
    std::vector<const uint8_t*> slots;
    for (int i = 0; i < im->rootEntryCount(); ++i) slots.push_back(im->rootDir + i * 32);
    for (const OwnerEntry& e : owners.entries)
        for (ChainCursor c(*im, e.folder ? e.firstCluster : 0); c.atCluster(); c.advance())
            for (int i = 0; i < im->entriesPerCluster; ++i)
                slots.push_back(im->clusterData(c.cluster()) + i * 32);
    for (const uint8_t* slot : slots) EXPECT_NE(0xE5, slot[0]);
    std::string report;
    EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;
    EXPECT_EQ(before, listing());
    EXPECT_EQ(treeBefore, contents("after"));
}

// The command line says what moved; a damaged image is refused byte for byte as it was.
TEST_F(Fragmented, CliDefragmentsAndRefusesDamage) {
    auto im = load();
    std::vector<uint16_t> firsts;
    forEachEntry(*im, 0, [&](const WalkedEntry& e) {
        if (!isFolderEntry(e.entry) && entryFirstCluster(e.entry) != 0)
            firsts.push_back(entryFirstCluster(e.entry));
    });
    ASSERT_GE(firsts.size(), 2u);

    im->setLink(firsts[0], firsts[0]);  // a loop
    std::vector<uint8_t> held = snapshot(*im);
    DefragmentOutcome done;
    EXPECT_EQ(kResultDamaged, defragmentImage(*im, &done));
    EXPECT_EQ(held, snapshot(*im));
    im = load();
    im->setLink(firsts[0], firsts[1]);  // two files now end in the same chain
    ASSERT_EQ(kResultOk, im->saveImageFile(image.c_str()));
    std::vector<uint8_t> bytes = testing_support::readFile(image);
    for (const char* command : {" defrag ", " wipe "}) {
        auto r = run(cli() + command + q);
        EXPECT_EQ(1, r.status);
        EXPECT_NE(std::string::npos, r.output.find("shares clusters with another entry")) << r.output;
        EXPECT_EQ(bytes, testing_support::readFile(image));
    }

    im = load();
    im->setLink(firsts[0], kEndOfChainMark);
    ASSERT_EQ(kResultOk, im->saveImageFile(image.c_str()));  // a lost chain is left: a refusal
    EXPECT_EQ(1, run(cli() + " defrag " + q).status);
    run(tool_support::fsckFat() + " -a " + q);
    auto r = run(cli() + " defrag " + q);
    EXPECT_EQ(0, r.status) << r.output;
    EXPECT_NE(std::string::npos, r.output.find(" folders moved, ")) << r.output;
    EXPECT_EQ("defragmented: nothing to move\n", run(cli() + " defrag " + q).output);
    EXPECT_TRUE(tool_support::fsckClean(image));
}
