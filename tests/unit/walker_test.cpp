#include <gtest/gtest.h>

#include "directory/dir_entry.h"
#include "image/volume_image.h"
#include "tests/unit/image_builder.h"

using namespace testimg;

namespace {

const uint8_t kDir = de::kAttrDirectory;
const uint8_t kArc = de::kAttrArchive;

// One image per test: the volume object is large, so it lives on the heap.
struct WalkerTest : ::testing::Test {
    VolumeImage* im = new VolumeImage;
    ~WalkerTest() override { delete im; }
};

TEST(ShortNameChecksum, RotatesRightAndAdds) {
    uint8_t bytes[11] = {'A'};
    // 0x41, then ten rotations: A0 50 28 14 0A 05 82 41 A0 50.
    EXPECT_EQ(0x50, shortNameChecksum(bytes));
    // 0x01, rotated to 0x80 and plus 1 = 0x81, then nine rotations of 0x81 (odd, so the carry
    // wraps): C0 60 30 18 0C 06 03 81 C0.
    uint8_t carry[11] = {0x01, 0x01};
    EXPECT_EQ(0xC0, shortNameChecksum(carry));
}

TEST_F(WalkerTest, EmptyRootEndsAtFirstCallFullRootAfterEveryEntry) {
    build(*im, 1, 16, 2880);
    EXPECT_TRUE(walkAll(*im, 0).empty());
    for (int i = 0; i < 16; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "F%02d", i);
        place(*im, 0, i, {shortEntry(name, kArc, 0)});
    }
    std::vector<Walked> all = walkAll(*im, 0);
    ASSERT_EQ(16u, all.size());
    EXPECT_EQ("F15        ", all[15].shortName);
    EXPECT_EQ(15, all[15].entryIndex);
    // The walk stays ended.
    uint8_t e[32], n[kLongNameBytes];
    int32_t a, b, c, d;
    EXPECT_EQ(0, im->nextEntry(e, n, kLongNameBytes, a, b, c, d));
}

TEST_F(WalkerTest, RootSkipsLabelsAndDeletedEndsAtFreeSlotOrRunAtItsEnd) {
    build(*im);
    int i = 0;
    i = place(*im, 0, i, {shortEntry("MYDISK", de::kAttrVolumeLabel, 0)});
    i = place(*im, 0, i, {shortEntry("ODDLABEL", 0x28, 0)});
    std::vector<uint8_t> gone = shortEntry("GONE.TXT", kArc, 0);
    gone[0] = de::kDeleted;
    i = place(*im, 0, i, {gone});
    i = addEntry(*im, 0, i, u"Long name.txt", shortEntry("LONGNA~1.TXT", kArc, 0));
    std::vector<Walked> all = walkAll(*im, 0);
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(u"Long name.txt", all[0].longName);
    EXPECT_EQ(0, all[0].longNameCluster);
    EXPECT_EQ(3, all[0].longNameIndex);  // 13 characters: one piece
    EXPECT_EQ(0, all[0].entryCluster);
    EXPECT_EQ(4, all[0].entryIndex);

    // The root ends at a free slot and at a long-name run reaching its end.
    build(*im, 1, 16, 2880);
    place(*im, 0, 0, {shortEntry("A", kArc, 0)});
    place(*im, 0, 2, {shortEntry("B", kArc, 0)});  // after the free slot 1: never seen
    EXPECT_EQ(1u, walkAll(*im, 0).size());

    build(*im, 1, 16, 2880);
    place(*im, 0, 0, {shortEntry("A", kArc, 0)});
    std::vector<std::vector<uint8_t>> run = longNameSlots(u"dangling", shortEntry("X", 0, 0));
    place(*im, 0, 15, run);  // the run fills the last slot; no short entry follows
    EXPECT_EQ(1u, walkAll(*im, 0).size());
}

TEST_F(WalkerTest, SubfolderHidesDotAndEndsAtAFreeSlotOnlyAfterALongNameRun) {
    build(*im);
    chain(*im, {2});
    dotEntries(*im, 2, 0);
    addEntry(*im, 2, 2, u"", shortEntry("README.TXT", kArc, 0, 0));
    std::vector<Walked> all = walkAll(*im, 2);
    ASSERT_EQ(2u, all.size());
    EXPECT_EQ("..         ", all[0].shortName);
    EXPECT_EQ(0, readLe16(all[0].raw.data() + de::kFirstCluster));
    EXPECT_EQ("README  TXT", all[1].shortName);
    EXPECT_EQ(2, all[1].entryCluster);
    EXPECT_EQ(2, all[1].entryIndex);
    EXPECT_EQ(-1, all[1].longNameCluster);
    EXPECT_EQ(-1, all[1].longNameIndex);
    EXPECT_TRUE(all[1].longName.empty());

    // A free slot in a folder ends the walk only after a long-name run.
    build(*im);
    chain(*im, {2, 3});
    dotEntries(*im, 2, 0);
    place(*im, 2, 3, {shortEntry("AFTER", kArc, 0)});    // slot 2 free
    place(*im, 2, 20, {shortEntry("NEXTCL", kArc, 0)});  // in the second cluster
    all = walkAll(*im, 2);
    ASSERT_EQ(3u, all.size());
    EXPECT_EQ("AFTER      ", all[1].shortName);
    EXPECT_EQ(3, all[2].entryCluster);
    EXPECT_EQ(4, all[2].entryIndex);

    // A long-name run followed by a free slot ends the walk there.
    build(*im);
    chain(*im, {2});
    dotEntries(*im, 2, 0);
    place(*im, 2, 2, longNameSlots(u"orphan", shortEntry("ORPHAN", 0, 0)));
    place(*im, 2, 5, {shortEntry("LATER", kArc, 0)});
    EXPECT_EQ(1u, walkAll(*im, 2).size());  // only ".."
}

TEST_F(WalkerTest, LongNamesOfOneThirteenFourteenAndTwentySixUnits) {
    build(*im);
    const std::u16string names[] = {u"a", u"abcdefghijklm", u"abcdefghijklmn",
                                    u"abcdefghijklmnopqrstuvwxyz", std::u16string(255, u'x')};
    int i = 0;
    int n = 0;
    for (const std::u16string& name : names) {
        char s[16];
        std::snprintf(s, sizeof s, "N%d", n++);
        i = addEntry(*im, 0, i, name, shortEntry(s, kArc, 0));
    }
    std::vector<Walked> all = walkAll(*im, 0);
    ASSERT_EQ(5u, all.size());
    for (size_t k = 0; k < 5; ++k) EXPECT_EQ(names[k], all[k].longName) << k;
    EXPECT_EQ(all[1].entryIndex - 1, all[1].longNameIndex);
    EXPECT_EQ(all[2].entryIndex - 2, all[2].longNameIndex);
}

// The long name starts in the folder's first cluster and its entry lies in the next: 40
// characters in 512-byte clusters (slots 14, 15, then 0, 1, entry at 2), 100 in 2048-byte ones
// (slots 60 to 63, then 0 to 3, entry at 4).
TEST_F(WalkerTest, LongNameCrossingClusterGivesLocationsInBothClusters) {
    struct Crossing {
        int sectorsPerCluster;
        uint16_t next;
        int start;
        std::u16string name;
        int entryIndex;
    };
    const Crossing rows[] = {{1, 5, 14, u"a long name that crosses the boundary...", 2},
                             {4, 3, 60, std::u16string(100, u'z'), 4}};
    for (const Crossing& row : rows) {
        SCOPED_TRACE(row.sectorsPerCluster);
        build(*im, row.sectorsPerCluster, 224, 2880);
        chain(*im, {2, row.next});
        dotEntries(*im, 2, 0);
        addEntry(*im, 2, row.start, row.name, shortEntry("ALONGN~1", kArc, 0));
        std::vector<Walked> all = walkAll(*im, 2);
        ASSERT_EQ(2u, all.size());
        EXPECT_EQ(row.name, all[1].longName);
        EXPECT_EQ(2, all[1].longNameCluster);
        EXPECT_EQ(row.start, all[1].longNameIndex);
        EXPECT_EQ(row.next, all[1].entryCluster);
        EXPECT_EQ(row.entryIndex, all[1].entryIndex);
    }
}

TEST_F(WalkerTest, LongNamesAreComposedOnlyOfTheirOwnPieces) {
    build(*im);
    std::vector<uint8_t> live = shortEntry("LIVE.TXT", kArc, 0);
    // Pieces of a deleted entry's name (other checksum) directly before a live short entry.
    place(*im, 0, 0, longNameSlots(u"old name of something", shortEntry("OLD", 0, 0)));
    place(*im, 0, 2, {live});
    std::vector<Walked> all = walkAll(*im, 0);
    ASSERT_EQ(1u, all.size());
    EXPECT_TRUE(all[0].longName.empty());
    EXPECT_EQ(0, all[0].longNameIndex);  // the slot with 0x40 was still met

    // Piece 1 matches, piece 2 is foreign: the name is cut after piece 1.
    build(*im);
    std::vector<std::vector<uint8_t>> good = longNameSlots(u"abcdefghijklmNOPQ", live);
    good[0][de::kChecksum] ^= 0x5A;
    place(*im, 0, 0, good);
    place(*im, 0, 2, {live});
    all = walkAll(*im, 0);
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(u"abcdefghijklm", all[0].longName);

    // Pieces are placed by their number, not by disk order.
    build(*im);
    std::vector<uint8_t> e = shortEntry("SWAP", kArc, 0);
    std::vector<std::vector<uint8_t>> s = longNameSlots(u"0123456789abcXYZ", e);
    std::swap(s[0], s[1]);  // piece 1 first on disk
    place(*im, 0, 0, s);
    place(*im, 0, 2, {e});
    all = walkAll(*im, 0);
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(u"0123456789abcXYZ", all[0].longName);
    EXPECT_EQ(1, all[0].longNameIndex);  // where the 0x40 piece now lies

    // A long name before a deleted short entry is dropped with it.
    build(*im);
    std::vector<uint8_t> gone = shortEntry("GONE", kArc, 0);
    std::vector<std::vector<uint8_t>> run = longNameSlots(u"gone but named", gone);
    gone[0] = de::kDeleted;
    place(*im, 0, 0, run);
    place(*im, 0, 2, {gone});
    place(*im, 0, 3, {shortEntry("NEXT", kArc, 0)});
    all = walkAll(*im, 0);
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ("NEXT       ", all[0].shortName);
    EXPECT_EQ(-1, all[0].longNameIndex);
    EXPECT_TRUE(all[0].longName.empty());
}

TEST_F(WalkerTest, NestedWalkResumesOuterWalkNameBufferTakesItsSize) {
    build(*im);
    chain(*im, {2});
    dotEntries(*im, 2, 0);
    place(*im, 2, 2, {shortEntry("INNER", kArc, 0)});
    place(*im, 0, 0, {shortEntry("SUB", kDir, 2)});
    place(*im, 0, 1, {shortEntry("AFTER", kArc, 0)});
    uint8_t e[32], n[kLongNameBytes];
    int32_t a, b, c, d;
    ASSERT_EQ(1, im->startWalk(0, e, n, kLongNameBytes, a, b, c, d));
    WalkCursor saved = im->saveCursor();
    EXPECT_EQ(2u, walkAll(*im, 2).size());
    im->restoreCursor(saved);
    ASSERT_EQ(1, im->nextEntry(e, n, kLongNameBytes, a, b, c, d));
    EXPECT_EQ(0, std::memcmp(e, "AFTER", 5));

    // The name buffer gets only the bytes asked for.
    build(*im);
    addEntry(*im, 0, 0, u"abcdefghijklmnop", shortEntry("ABC", kArc, 0));
    std::memset(n, 0xAB, sizeof n);
    ASSERT_EQ(1, im->startWalk(0, e, n, 8, a, b, c, d));
    EXPECT_EQ('a', n[0]);
    EXPECT_EQ('d', n[6]);
    EXPECT_EQ(0xAB, n[8]);
}

// --- damaged images ------------------------------------------------------------------------

TEST_F(WalkerTest, DamagedFolderChainsEndTheWalk) {
    build(*im);
    dotEntries(*im, 2, 0);
    im->fatTable[2] = 3;
    im->fatTable[3] = 4;
    im->fatTable[4] = 3;  // back into the chain
    place(*im, 3, 0, {shortEntry("IN3", kArc, 0)});
    place(*im, 4, 0, {shortEntry("IN4", kArc, 0)});
    std::vector<Walked> all = walkAll(*im, 2);
    ASSERT_EQ(3u, all.size());  // "..", IN3, IN4, then the link back to 3 ends the walk
    EXPECT_EQ("IN4        ", all[2].shortName);

    im->fatTable[2] = 2;  // a cluster linked to itself
    EXPECT_EQ(1u, walkAll(*im, 2).size());

    // Links naming no data cluster end the folder; first clusters naming none are empty folders.
    const uint16_t links[] = {0x000, 0x001, 0xFF0, 0xFF6,
                              0xFF7, 0xFF8, 0xFFE, static_cast<uint16_t>(im->clusterCount + 2),
                              0xFEF};
    for (uint16_t link : links) {
        dotEntries(*im, 2, 0);
        place(*im, 2, 15, {shortEntry("LAST", kArc, 0)});
        im->fatTable[2] = link;
        std::vector<Walked> listed = walkAll(*im, 2);
        ASSERT_EQ(2u, listed.size()) << std::hex << link;
        EXPECT_EQ("LAST       ", listed[1].shortName);
    }
    const uint16_t firsts[] = {1, static_cast<uint16_t>(im->clusterCount + 2), 0xFF7, 0xFFF,
                               0xFFFF};
    for (uint16_t first : firsts) EXPECT_TRUE(walkAll(*im, first).empty()) << first;
}

TEST_F(WalkerTest, LfnPieceNumberedBeyondTwentyIsIgnored) {
    build(*im);
    std::vector<uint8_t> e = shortEntry("BIG", kArc, 0);
    std::vector<std::vector<uint8_t>> s = longNameSlots(u"first piece!!second piece", e);
    for (int piece = 21; piece <= 31; ++piece) {
        std::vector<std::vector<uint8_t>> run = s;
        std::vector<uint8_t> extra = s[0];
        extra[de::kSequence] = static_cast<uint8_t>(de::kLastPiece | piece);
        run.insert(run.begin(), extra);
        build(*im);
        place(*im, 0, 0, run);
        place(*im, 0, 3, {e});
        std::vector<Walked> all = walkAll(*im, 0);
        ASSERT_EQ(1u, all.size());
        EXPECT_EQ(u"first piece!!second piece", all[0].longName) << piece;
    }
    // A run of 31 pieces: the first 20 compose the name, filling all 260 units.
    build(*im);
    std::u16string longest(31 * 13, u'q');
    addEntry(*im, 0, 0, longest, e);
    std::vector<Walked> all = walkAll(*im, 0);
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(std::u16string(260, u'q'), all[0].longName);
}

}  // namespace
