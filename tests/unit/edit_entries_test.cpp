// Renaming, attributes and the volume label on the in-memory image: names and slots as insertion
// makes them, and refusals that leave every byte as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "directory/image_path.h"
#include "image/boot_sector.h"
#include "test_support.h"

using testing_support::newImage;
using testing_support::takeMessages;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

class EditEntries : public ::testing::Test {
protected:
    void add(const char* name, size_t bytes = 600, uint16_t folder = 0) {
        writeFile(dir.file("src"), std::vector<uint8_t>(bytes, 0x5A));
        ASSERT_EQ(0, image->insertHostFile(folder, dir.file("src").c_str(), name));
    }
    ImagePathEntry find(const char* path) {
        ImagePathEntry e;
        EXPECT_EQ(kImagePathFound, resolveImagePath(*image, path, &e)) << path;
        return e;
    }
    int rename(const char* path, const char* to, int32_t* index = nullptr) {
        ImagePathEntry e = find(path);
        return image->renameEntry(e.parentCluster, e.entryCluster, e.entryIndex, e.longNameCluster,
                                  e.longNameIndex, to, nullptr, index);
    }
    std::string text(const uint8_t* bytes) {
        return std::string(reinterpret_cast<const char*>(bytes), 11);
    }

    TempDir dir;
    std::unique_ptr<VolumeImage> image = newImage(2);  // label entry in root slot 0
};

TEST_F(EditEntries, RenameGivesFreshNamesInTheOldSlotsAndKeepsTheRest) {
    add("Quarterly report.txt");  // slots 1-3
    add("QUARTE~2.TXT");
    ImagePathEntry before = find("Quarterly report.txt");
    int32_t index = -1;
    ASSERT_EQ(0, rename("quarterly REPORT.txt", "Quarterly summary.txt", &index));
    EXPECT_EQ("QUARTE~1TXT", text(find("Quarterly summary.txt").entry));  // its own ~1 is free
    EXPECT_EQ(0, std::memcmp(before.entry + 11, find("Quarterly summary.txt").entry + 11, 21));
    EXPECT_EQ(3, index);
    // Another case of the same name, then a free 8.3 name: no long-name slots, the rest freed.
    ASSERT_EQ(0, rename("quarterly summary.txt", "QUARTERLY SUMMARY.TXT"));
    ASSERT_EQ(0, rename("QUARTE~1.TXT", "Q.TXT", &index));
    EXPECT_EQ(-1, find("Q.TXT").longNameIndex);
    EXPECT_EQ(1, index);
    EXPECT_EQ(0xE5, image->rootDir[2 * 32]);
    EXPECT_EQ(0xE5, image->rootDir[3 * 32]);
}

TEST_F(EditEntries, RenamedFolderKeepsDotEntriesAndGrowsWhenFull) {
    uint16_t created = 0;
    ASSERT_EQ(0, image->createFolder(0, "DOCS", 0x5421, 0x6000, &created));
    for (int i = 0; i < 14; ++i) add(("F" + std::to_string(i)).c_str(), 1, created);
    std::vector<uint8_t> dots(image->clusterData(created), image->clusterData(created) + 64);
    // 16 slots of 512 bytes, all used: a longer name needs a second cluster.
    ASSERT_EQ(0, rename("DOCS/F13", "A name long enough for two slots"));
    EXPECT_NE(0xFFF, image->fatTable[created]);
    ASSERT_EQ(0, rename("DOCS", "Documents of 2024"));
    EXPECT_EQ(created, find("Documents of 2024/A name long enough for two slots").parentCluster);
    EXPECT_EQ(0, std::memcmp(dots.data(), image->clusterData(created), 64));
}

TEST_F(EditEntries, RefusalsLeaveEveryByte) {
    add("one.txt");
    add("Two.txt");
    uint16_t created = 0;
    ASSERT_EQ(0, image->createFolder(0, "DIR", 0, 0, &created));
    auto before = snapshot(*image);
    EXPECT_EQ(kResultNameExists, rename("one.txt", "TWO.TXT"));
    EXPECT_EQ(kResultNoEntry, image->renameEntry(created, created, 0, -1, -1, "dot"));  // "."
    EXPECT_EQ(kResultNoEntry, image->setAttributes(0, 0, 1, 0));                        // the label
    EXPECT_EQ(kResultBadLabel, image->setVolumeLabel("TWELVE CHARS"));
    EXPECT_EQ((std::vector<std::string>{"File \"TWO.TXT\" already exists!", "Entry not found!",
                                        "Entry not found!",
                                        "Volume label \"TWELVE CHARS\" is too long!"}),
              takeMessages(*image));
    EXPECT_EQ(before, snapshot(*image));
    // A full root takes a name of as many slots, not a longer one.
    for (int i = 5; i < 223; ++i) add(("F" + std::to_string(i)).c_str(), 0);
    before = snapshot(*image);
    EXPECT_EQ(kResultDirectoryFull, rename("one.txt", "a much longer name.txt"));
    EXPECT_EQ(before, snapshot(*image));
    EXPECT_EQ(0, rename("one.txt", "six.txt"));
}

TEST_F(EditEntries, VolumeLabelInEntryAndBootSector) {
    image = newImage(2, "");  // no label entry
    add("first");
    ASSERT_EQ(0, image->setVolumeLabel(" my disk "));
    EXPECT_EQ("MY DISK    ", text(image->rootDir + 2 * 32));  // the first free slot
    EXPECT_EQ("MY DISK    ", text(image->bootSector + bs::kVolumeLabel));
    // Without the extended boot signature offset 43 is boot code, and stays so.
    image->bootSector[bs::kExtendedSignature] = 0;
    ASSERT_EQ(0, image->setVolumeLabel("OLD DOS"));
    EXPECT_EQ("OLD DOS    ", text(image->rootDir + 2 * 32));
    EXPECT_EQ("MY DISK    ", text(image->bootSector + bs::kVolumeLabel));
}

}  // namespace
