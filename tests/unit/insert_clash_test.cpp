// Names an insertion meets in its folder: refuse, skip, keep both, replace (files whole or not at
// all, folders merged), the question with "for all" and Cancel.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "directory/image_path.h"
#include "directory/name_clash.h"
#include "image/boot_sector.h"
#include "image_snapshot.h"
#include "platform/host_folder.h"
#include "test_support.h"

using testing_support::newImage;
using testing_support::takeMessages;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

class InsertClashTest : public ::testing::Test {
protected:
    std::string host(const std::string& relative, size_t size, char fill) {
        std::string path = dir.file(relative);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        writeFile(path, std::vector<uint8_t>(size, static_cast<uint8_t>(fill)));
        return path;
    }
    int insert(const std::vector<std::string>& paths, InsertClash* clash, uint16_t folder = 0) {
        std::vector<const char*> p;
        for (const std::string& s : paths) p.push_back(s.c_str());
        inserted = 0;
        return image->insertHostPaths(folder, p.data(), static_cast<int>(p.size()), &inserted,
                                      clash);
    }
    // The file's bytes, or "-" when the path names nothing.
    std::string content(const char* path) {
        ImagePathEntry e;
        if (resolveImagePath(*image, path, &e) != kImagePathFound) return "-";
        std::string out;
        uint32_t size = readLe32(e.entry + 28);
        for (ChainCursor c(*image, readLe16(e.entry + 26)); c.atCluster() && out.size() < size;
             c.advance())
            out.append(reinterpret_cast<const char*>(image->clusterData(c.cluster())),
                       std::min<size_t>(image->clusterBytes, size - out.size()));
        return out;
    }
    TempDir dir;
    std::unique_ptr<VolumeImage> image = newImage(2);
    int inserted = 0;
};

TEST_F(InsertClashTest, RefuseSkipKeepBothAndReplaceAFile) {
    ASSERT_EQ(0, insert({host("Report.txt", 700, 'a')}, nullptr));
    std::string update = host("new/REPORT.TXT", 1100, 'b');
    std::vector<uint8_t> before = snapshot(*image);
    InsertClash clash;
    for (ClashPolicy policy : {kClashRefuse, kClashSkip}) {
        clash.policy = policy;
        EXPECT_EQ(policy == kClashSkip ? 0 : kResultNameExists, insert({update}, &clash));
        EXPECT_EQ(before, snapshot(*image));
    }
    EXPECT_EQ(1, clash.skipped);
    EXPECT_EQ(std::vector<std::string>{"File \"REPORT.TXT\" already exists!"},
              takeMessages(*image));
    clash.policy = kClashKeepBoth;
    ASSERT_EQ(0, insert({update, update}, &clash));
    EXPECT_EQ(2, inserted);
    EXPECT_EQ(std::string(1100, 'b'), content("REPORT (2).TXT"));
    EXPECT_EQ(std::string(1100, 'b'), content("REPORT (3).TXT"));
    // Replace keeps the entry's name as the folder spells it and frees the old clusters.
    int freeBefore = image->countFreeClusters();
    clash.policy = kClashReplace;
    ASSERT_EQ(0, insert({update}, &clash));
    EXPECT_EQ(1, inserted);
    EXPECT_EQ(1, clash.replaced);
    EXPECT_EQ(std::string(1100, 'b'), content("Report.txt"));
    ImagePathEntry e;
    ASSERT_EQ(kImagePathFound, resolveImagePath(*image, "report.txt", &e));
    EXPECT_EQ("Report.txt", imageEntryName(e.entry, e.longName));
    EXPECT_EQ(0x20, e.entry[11]);
    auto clusters = [&](int bytes) { return (bytes + image->clusterBytes - 1) / image->clusterBytes; };
    EXPECT_EQ(freeBefore + clusters(700) - clusters(1100), image->countFreeClusters());
    EXPECT_TRUE(takeMessages(*image).empty());
}

// Replacing merges a folder into the folder of its name; a file never replaces a folder.
TEST_F(InsertClashTest, ReplaceMergesFoldersAndRefusesAFileForAFolder) {
    host("old/DOCS/A.TXT", 10, 'o');
    host("old/DOCS/KEEP.TXT", 10, 'k');
    ASSERT_EQ(0, insert({dir.file("old/DOCS")}, nullptr));
    host("new/DOCS/A.TXT", 20, 'n');
    host("new/DOCS/SUB/B.TXT", 30, 's');
    std::string file = host("file/DOCS", 5, 'f');
    InsertClash clash;
    clash.policy = kClashReplace;
    EXPECT_EQ(kResultClashKind, insert({dir.file("new/DOCS"), file}, &clash));
    EXPECT_EQ(3, inserted);  // A.TXT replaced, SUB and B.TXT made
    EXPECT_EQ(std::string(20, 'n'), content("DOCS/A.TXT"));
    EXPECT_EQ(std::string(10, 'k'), content("DOCS/KEEP.TXT"));
    EXPECT_EQ(std::string(30, 's'), content("DOCS/SUB/B.TXT"));
    EXPECT_EQ(std::vector<std::string>{"Could not replace folder \"DOCS\" with a file!"},
              takeMessages(*image));
}

// The question comes once per clash until "for all"; Cancel ends the operation.
TEST_F(InsertClashTest, AskedUntilForAllAndCancelStopsTheRest) {
    std::vector<std::string> firsts = {host("1/A", 1, '1'), host("1/B", 1, '1'),
                                       host("1/C", 1, '1')};
    ASSERT_EQ(0, insert(firsts, nullptr));
    std::vector<std::string> seconds = {host("2/A", 2, '2'), host("2/B", 2, '2'),
                                        host("2/C", 2, '2'), host("2/D", 2, '2')};
    std::vector<std::string> asked;
    InsertClash clash;
    clash.policy = kClashAsk;
    clash.ask = [&](const std::string& name, bool oldIsFolder, bool newIsFolder, bool* forAll) {
        EXPECT_FALSE(oldIsFolder || newIsFolder);
        asked.push_back(name);
        *forAll = asked.size() == 2;
        return asked.size() == 1 ? kClashAnswerKeepBoth : kClashAnswerSkip;
    };
    ASSERT_EQ(0, insert(seconds, &clash));
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), asked);
    EXPECT_EQ(2, inserted);  // "A (2)" and D
    EXPECT_EQ("22", content("A (2)"));
    EXPECT_EQ("1", content("C"));
    clash = InsertClash();
    clash.policy = kClashAsk;
    clash.ask = [](const std::string&, bool, bool, bool*) { return kClashAnswerCancel; };
    std::vector<uint8_t> before = snapshot(*image);
    EXPECT_EQ(kResultCancelled, insert({seconds[0], host("2/E", 1, 'e')}, &clash));
    EXPECT_EQ(before, snapshot(*image));
}

// A replacement on a full disk reuses the old file's clusters once the new data is read; one
// that cannot fit, or whose old chain another entry shares, leaves the image as it was.
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
    EXPECT_EQ(std::string(left * cluster, 'f'), content("FILL"));
    EXPECT_EQ(0, image->countFreeClusters());
    takeMessages(*image);

    // FILL's entry pointed at A's chain: a cross-link whose data Replace must not free.
    ImagePathEntry a, fill;
    ASSERT_EQ(kImagePathFound, resolveImagePath(*image, "A", &a));
    ASSERT_EQ(kImagePathFound, resolveImagePath(*image, "FILL", &fill));
    std::memcpy(image->rootDir + fill.entryIndex * 32 + 26, a.entry + 26, 2);
    before = snapshot(*image);
    EXPECT_EQ(kResultDamaged, insert({host("new/A", 1, 'n')}, &clash));
    EXPECT_EQ(before, snapshot(*image));
}

}  // namespace
