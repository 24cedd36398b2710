#include <gtest/gtest.h>

#include <cstring>

#include "image/edit_journal.h"
#include "test_support.h"

using testing_support::newImage;

namespace {

// One step per record, however much changed, holding only the changed units; a new step cuts
// off the redo and, with it, a saved state there. The bytes: the window tests' undo checks.
TEST(EditJournal, StepsRedoCutAndTheSavedMark) {
    auto im = newImage(5);  // 2880KB
    EditJournal journal;
    ASSERT_TRUE(journal.reset(*im));
    EXPECT_FALSE(journal.record(*im)) << "nothing changed";
    uint16_t made = 0;
    ASSERT_EQ(kResultOk, im->createFolder(0, "A", 0, 0, &made));
    ASSERT_EQ(kResultOk, im->setVolumeLabel("MY DISK"));
    ASSERT_TRUE(journal.record(*im));
    EXPECT_EQ(1u, journal.stepCount());
    EXPECT_LT(journal.heldBytes(), 4096u);  // boot sector, FAT and root pieces, one cluster
    journal.markSaved();
    ASSERT_TRUE(journal.undo(*im));
    im->bootSector[3] = 'x';
    ASSERT_TRUE(journal.record(*im));
    EXPECT_FALSE(journal.canRedo());
    EXPECT_FALSE(journal.atSavedState());
}

TEST(EditJournal, OldestStepsGoBeyondEitherBound) {
    auto im = newImage(2);
    EditJournal byCount(kJournalByteBound, 3), byBytes(1024, kJournalStepBound);
    byCount.reset(*im);
    byBytes.reset(*im);
    for (int i = 0; i < 5; ++i) {
        im->bootSector[3] = static_cast<uint8_t>('a' + i);
        for (int c = 0; c <= i; ++c) im->clusterData(static_cast<uint32_t>(10 + c))[0] ^= 1;
        byCount.record(*im);
        byBytes.record(*im);
        if (i == 0) byCount.markSaved();
    }
    EXPECT_EQ(3u, byCount.stepCount());
    while (byCount.undo(*im)) EXPECT_FALSE(byCount.atSavedState()) << "its step was dropped";
    EXPECT_EQ('b', im->bootSector[3]);
    // Two clusters' worth: only the newest step (five clusters, a boot sector piece) stays.
    EXPECT_EQ(1u, byBytes.stepCount());
    EXPECT_EQ(6u * 512, byBytes.heldBytes());
}

TEST(EditJournal, AnotherGeometryIsKeptWhole) {
    auto im = newImage(2);
    auto other = newImage(9);
    EditJournal journal;
    journal.reset(*im);
    static_cast<VolumeState&>(*im) = *other;  // as a floppy read of another format
    ASSERT_TRUE(journal.record(*im));
    ASSERT_TRUE(journal.undo(*im));
    EXPECT_EQ(2880, im->totalSectors());
    ASSERT_TRUE(journal.redo(*im));
    EXPECT_EQ(720, im->totalSectors());
    EXPECT_EQ(0, std::memcmp(im->clusters.data(), other->clusters.data(),
                             static_cast<size_t>(other->clusters.count()) * other->clusterBytes));
}

}  // namespace
