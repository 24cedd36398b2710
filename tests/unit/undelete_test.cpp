#include <gtest/gtest.h>

#include <memory>

#include "directory/undelete.h"
#include "tests/unit/image_builder.h"
#include "tests/unit/image_snapshot.h"

using namespace testimg;

namespace {

struct UndeleteTest : ::testing::Test {
    std::unique_ptr<VolumeImage> im{new VolumeImage};
    std::vector<UndeleteLine> lines;

    void SetUp() override { build(*im); }
    // Places the entry with its long name at `index`, then deletes it as DOS does.
    int addDeleted(int folder, int index, const std::u16string& longName,
                   const std::vector<uint8_t>& entry) {
        int end = addEntry(*im, folder, index, longName, entry);
        for (int i = index; i < end; ++i) slot(*im, folder, i)[0] = 0xE5;
        return end;
    }
    DeletedEntry deleted(uint16_t folder, size_t which) {
        return listDeleted(*im, folder).at(which);
    }
    int undelete(uint16_t folder, size_t which, uint8_t first, bool partial = false) {
        return undeleteEntry(*im, folder, deleted(folder, which), first, partial, "", &lines);
    }
};

TEST_F(UndeleteTest, FilesComeBackWithLongNameOrGivenFirstCharacter) {
    int next = addDeleted(0, 0, u"Read me please.txt", shortEntry("README~1.TXT", 0x20, 2, 1000));
    next = addDeleted(0, next, u"", shortEntry("NOTES.TXT", 0x20, 5, 10));
    chain(*im, {3});  // taken: the first file's chain goes on with the next free cluster
    std::vector<DeletedEntry> all = listDeleted(*im, 0);
    ASSERT_EQ(2u, all.size());
    EXPECT_EQ("Read me please.txt", deletedEntryName(all[0]));
    EXPECT_EQ('R', all[0].firstByte);
    EXPECT_TRUE(all[0].recoverable);
    EXPECT_EQ((std::vector<uint16_t>{2, 4}), all[0].chain);
    EXPECT_EQ("?OTES.TXT", deletedEntryName(all[1]));

    // Without the lost character nothing changes.
    std::vector<uint8_t> before = snapshot(*im);
    EXPECT_EQ(kResultFirstCharNeeded, undelete(0, 1, 0));
    EXPECT_EQ(before, snapshot(*im));

    EXPECT_EQ(kResultOk, undelete(0, 0, 0));
    EXPECT_EQ(kResultOk, undelete(0, 0, 'N'));
    std::vector<Walked> live = walkAll(*im, 0);
    ASSERT_EQ(2u, live.size());
    EXPECT_EQ(u"Read me please.txt", live[0].longName);  // the slots' sequence bytes are back
    EXPECT_EQ("NOTES   TXT", live[1].shortName);
    EXPECT_EQ(4, im->fatTable[2]);
    EXPECT_EQ(0xFFF, im->fatTable[4]);
    EXPECT_EQ(0xFFF, im->fatTable[5]);
    EXPECT_TRUE(listDeleted(*im, 0).empty());
}

TEST_F(UndeleteTest, TakenClustersAndTakenNamesAreRefused) {
    addEntry(*im, 0, 0, u"", shortEntry("NOTES.TXT", 0x20, 2, 10));
    chain(*im, {2});
    addDeleted(0, 1, u"", shortEntry("BIG.DAT", 0x20, 2, 1500));  // its first cluster is taken
    addDeleted(0, 2, u"", shortEntry("NOTES.TXT", 0x20, 0, 0));
    std::vector<uint8_t> before = snapshot(*im);
    EXPECT_FALSE(deleted(0, 0).recoverable);
    EXPECT_EQ(kResultOverwritten, undelete(0, 0, 'B'));
    EXPECT_EQ(kResultNameExists, undelete(0, 1, 'N'));
    EXPECT_EQ(kResultBadFirstChar, undelete(0, 1, 'n'));
    EXPECT_EQ(before, snapshot(*im));
    EXPECT_EQ(kResultOk, undelete(0, 1, 'M'));
    // A cluster free in the FAT that a live chain still reaches is taken.
    addDeleted(0, 3, u"", shortEntry("REACHED.TXT", 0x20, 9, 10));
    addEntry(*im, 0, 4, u"", shortEntry("LIVE.TXT", 0x20, 8, 1000));
    chain(*im, {8, 9});
    im->fatTable[9] = 0;
    EXPECT_FALSE(deleted(0, 1).recoverable);

    // Copying out takes what can be read: the free clusters after the taken one.
    EXPECT_EQ(kResultOk, undelete(0, 0, 'B', true));
    EXPECT_EQ(UndeleteLine::kPartial, lines.back().kind);
    EXPECT_EQ(3, readLe16(slot(*im, 0, 1) + de::kFirstCluster));
    EXPECT_EQ(4, im->fatTable[3]);
}

TEST_F(UndeleteTest, FolderComesBackWithItsDeletedContents) {
    addDeleted(0, 0, u"", shortEntry("DOCS", de::kAttrDirectory, 5));
    dotEntries(*im, 5, 0);
    int next = addDeleted(5, 2, u"", shortEntry("INNER.TXT", 0x20, 6, 5));
    next = addDeleted(5, next, u"Long inner name.txt", shortEntry("LONGIN~1.TXT", 0x20, 7, 600));
    addDeleted(5, next, u"", shortEntry("GONE.TXT", 0x20, 2, 5));
    chain(*im, {2});
    EXPECT_EQ(kResultOk, undelete(0, 0, 'D'));
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("/DOCS", lines[0].path);
    EXPECT_EQ(UndeleteLine::kGivenUnderscore, lines[1].kind);
    EXPECT_EQ("/DOCS/_NNER.TXT", lines[1].path);
    EXPECT_EQ("/DOCS/Long inner name.txt", lines[2].path);
    EXPECT_EQ(UndeleteLine::kLeftOverwritten, lines[3].kind);
    EXPECT_EQ(0xFFF, im->fatTable[5]);
    EXPECT_EQ(8, im->fatTable[7]);  // 600 bytes: the next free cluster after 7
    EXPECT_EQ(3u, walkAll(*im, 5).size());  // ".." and the two recovered files
}

}  // namespace
