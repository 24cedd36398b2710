// Taken names on insertion: asked, for all, Cancel; Replace whole or not at all (tools: merging).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "directory/image_path.h"
#include "directory/name_clash.h"
#include "image/boot_sector.h"
#include "image_snapshot.h"
#include "test_support.h"

using namespace testing_support;

namespace {

class InsertClashTest : public ::testing::Test {
protected:
    std::string host(const std::string& relative, size_t size, char fill) {
        std::filesystem::create_directories((dir.path() / relative).parent_path());
        writeFile(dir.file(relative), std::vector<uint8_t>(size, static_cast<uint8_t>(fill)));
        return dir.file(relative);
    }
    int insert(const std::vector<std::string>& paths, InsertClash* clash) {
        std::vector<const char*> p;
        for (const std::string& s : paths) p.push_back(s.c_str());
        inserted = 0;
        return image->insertHostPaths(0, p.data(), static_cast<int>(p.size()), &inserted, clash);
    }
    std::string content(const char* path) {
        ImagePathEntry e;
        EXPECT_EQ(kImagePathFound, resolveImagePath(*image, path, &e)) << path;
        std::string out;
        uint32_t size = readLe32(e.entry + 28);
        for (ChainCursor c(*image, readLe16(e.entry + 26)); c.atCluster(); c.advance())
            out.append(reinterpret_cast<const char*>(image->clusterData(c.cluster())),
                       std::min<size_t>(image->clusterBytes, size - out.size()));
        return out;
    }
    TempDir dir;
    std::unique_ptr<VolumeImage> image = newImage(2);
    int inserted = 0;
};

// Asked per name until "for all"; Replace keeps the entry's name and gives back its clusters.
TEST_F(InsertClashTest, AskedUntilForAllThenCancelStopsTheRest) {
    for (const char* name : {"A", "B", "Report.txt", "D"}) host(std::string("1/") + name, 1, '1');
    ASSERT_EQ(0, image->insertFolderContents(0, dir.file("1").c_str(), nullptr));
    int freeBefore = image->countFreeClusters();
    const size_t cb = image->clusterBytes;
    std::vector<std::string> asked;
    InsertClash clash;
    clash.policy = kClashAsk;
    clash.ask = [&](const std::string& name, bool oldIsFolder, bool newIsFolder, bool* forAll) {
        asked.push_back(name + (oldIsFolder || newIsFolder ? "/" : ""));
        *forAll = asked.size() == 3;
        return std::vector<ClashAnswer>{kClashAnswerSkip, kClashAnswerKeepBoth, kClashAnswerReplace,
                                        kClashAnswerCancel}[asked.size() - 1];
    };
    std::string report = host("2/REPORT.TXT", 2 * cb, '2');
    ASSERT_EQ(0, insert({host("2/A", 2, '2'), host("2/B", 2, '2'), report, host("2/D", 2, '2')},
                        &clash));
    EXPECT_EQ((std::vector<std::string>{"A", "B", "Report.txt"}), asked);
    EXPECT_EQ(3, inserted);
    EXPECT_EQ(2, clash.replaced);
    EXPECT_EQ("22", content("B (2)"));
    EXPECT_EQ("22", content("D"));
    EXPECT_EQ(std::string(2 * cb, '2'), content("Report.txt"));
    EXPECT_EQ(freeBefore - 2, image->countFreeClusters());  // "B (2)", Report.txt's second
    clash.policy = kClashAsk;  // the fourth answer: Cancel
    std::vector<uint8_t> before = snapshot(*image);
    EXPECT_EQ(kResultCancelled, insert({host("2/A", 1, 'a'), host("2/E", 1, 'e')}, &clash));
    EXPECT_EQ(before, snapshot(*image));
}

// On a full disk the old file's clusters are used once the new data is read; a file that cannot
// fit, or an old chain another entry shares, leaves the image as it was.
TEST_F(InsertClashTest, ReplaceOnAFullDiskAndItsRefusals) {
    const size_t cluster = image->clusterBytes;
    ASSERT_EQ(0, insert({host("A", 20 * cluster, 'a')}, nullptr));
    size_t left = static_cast<size_t>(image->countFreeClusters()) - 5;
    ASSERT_EQ(0, insert({host("FILL", left * cluster, 'f')}, nullptr));
    InsertClash clash;
    clash.policy = kClashReplace;
    std::vector<uint8_t> before = snapshot(*image);
    EXPECT_EQ(kResultNoSpace, insert({host("big/A", 26 * cluster, 'x')}, &clash));
    EXPECT_EQ(before, snapshot(*image));
    ASSERT_EQ(0, insert({host("new/A", 24 * cluster + 1, 'n')}, &clash));
    EXPECT_EQ(std::string(24 * cluster + 1, 'n'), content("A"));
    EXPECT_EQ(0, image->countFreeClusters());
    // FILL's entry made to point at A's chain: Replace must not free that data.
    ImagePathEntry a, fill;
    ASSERT_EQ(kImagePathFound, resolveImagePath(*image, "A", &a));
    ASSERT_EQ(kImagePathFound, resolveImagePath(*image, "FILL", &fill));
    std::memcpy(image->rootDir + fill.entryIndex * 32 + 26, a.entry + 26, 2);
    before = snapshot(*image);
    EXPECT_EQ(kResultDamaged, insert({host("new/A", 1, 'n')}, &clash));
    EXPECT_EQ(before, snapshot(*image));
}

}  // namespace
