#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "image/volume_image.h"
#include "tests/unit/image_builder.h"
#include "tests/unit/test_support.h"

using namespace testimg;

namespace {

const uint8_t kDir = de::kAttrDirectory;
const uint8_t kArc = de::kAttrArchive;

struct DeleteTest : ::testing::Test {
    std::unique_ptr<VolumeImage> im{new VolumeImage};

    // Deletes the walked entry `w` the way the Delete command does.
    void remove(const Walked& w) {
        if (w.raw.size() != 32) return;
        uint16_t first = readLe16(w.raw.data() + de::kFirstCluster);
        if (w.raw[de::kAttributes] & kDir) im->deleteFolderContents(first);
        im->deleteEntry(first, w.entryCluster, w.entryIndex, w.longNameCluster, w.longNameIndex);
    }
    // As rm and the Delete command run it: nothing outside the named tree may change.
    int removeTree(uint16_t folder, const char* shortName11) {
        Walked w = find(folder, shortName11);
        return im->deleteTree(w.raw.data(), w.entryCluster, w.entryIndex, w.longNameCluster,
                              w.longNameIndex);
    }
    Walked find(uint16_t folder, const char* shortName11) {
        for (const Walked& w : walkAll(*im, folder))
            if (w.shortName == shortName11) return w;
        ADD_FAILURE() << "no entry " << shortName11;
        return Walked{};
    }
    uint8_t firstByte(int cluster, int index) { return slot(*im, cluster, index)[0]; }
};

TEST_F(DeleteTest, RootEntryBeforeFreeSlotIsMarkedFreeOtherwiseDeleted) {
    build(*im);
    int i = addEntry(*im, 0, 0, u"first file.txt", shortEntry("FIRSTF~1.TXT", kArc, 0));
    addEntry(*im, 0, i, u"last file.txt", shortEntry("LASTFI~1.TXT", kArc, 0));
    remove(find(0, "LASTFI~1TXT"));
    EXPECT_EQ('F', firstByte(0, 2));
    for (int k = 3; k <= 4; ++k) EXPECT_EQ(0x00, firstByte(0, k)) << k;
    remove(find(0, "FIRSTF~1TXT"));
    for (int k = 0; k <= 2; ++k) EXPECT_EQ(0x00, firstByte(0, k)) << k;

    build(*im);
    i = addEntry(*im, 0, 0, u"first file.txt", shortEntry("FIRSTF~1.TXT", kArc, 0));
    addEntry(*im, 0, i, u"", shortEntry("NEXT", kArc, 0));
    remove(find(0, "FIRSTF~1TXT"));
    for (int k = 0; k <= 2; ++k) EXPECT_EQ(0xE5, firstByte(0, k)) << k;
    EXPECT_EQ('N', firstByte(0, 3));
}

// The root's last slot has no slot after it: free mark; a folder cluster's last slot may have one
// in the next cluster: deleted mark.
TEST_F(DeleteTest, LastSlotOfRootIsFreeOfFolderClusterDeleted) {
    build(*im, 1, 16, 2880);
    for (int k = 0; k < 15; ++k) place(*im, 0, k, {shortEntry("A", kArc, 0)});
    place(*im, 0, 15, {shortEntry("B", kArc, 0)});
    remove(find(0, "B          "));
    EXPECT_EQ(0x00, firstByte(0, 15));
    chain(*im, {2, 3});
    dotEntries(*im, 2, 0);
    place(*im, 2, 14, {shortEntry("KEEP", kArc, 0)});
    place(*im, 2, 15, {shortEntry("LAST", kArc, 0)});
    remove(find(2, "LAST       "));
    EXPECT_EQ(0xE5, firstByte(2, 15));
}

TEST_F(DeleteTest, LongNamesAcrossTwoAndThreeClustersAreMarkedInFull) {
    build(*im);
    chain(*im, {2, 5});
    dotEntries(*im, 2, 0);
    // 40 characters: slots 2:14, 2:15, 5:0, 5:1 and the short entry at 5:2, then nothing.
    addEntry(*im, 2, 14, u"a long name that crosses the boundary...",
             shortEntry("ALONGN~1", kArc, 0));
    place(*im, 2, 13, {shortEntry("KEEP", kArc, 0)});
    remove(find(2, "ALONGN~1   "));
    EXPECT_EQ(0xE5, firstByte(2, 14));
    EXPECT_EQ(0xE5, firstByte(2, 15));
    // Cluster 5 held nothing else: it was given back (zeroed, freed, chain cut after 2).
    EXPECT_EQ(0, im->fatTable[5]);
    EXPECT_EQ(0xFFF, im->fatTable[2]);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(0x00, firstByte(5, k));

    // A name spanning three clusters is marked in full.
    build(*im);
    chain(*im, {2, 3, 4, 6});
    dotEntries(*im, 2, 0);
    // 220 characters: 17 slots from 2:15 through all of cluster 3 to 4:0, short entry at 4:1.
    std::u16string name(220, u'w');
    addEntry(*im, 2, 15, name, shortEntry("WWWWWW~1", kArc, 0));
    place(*im, 2, 37, {shortEntry("STAYS", kArc, 0)});  // 4:5 keeps cluster 4 in use
    place(*im, 2, 48, {shortEntry("INSIX", kArc, 0)});  // 6:0
    Walked w = find(2, "WWWWWW~1   ");
    ASSERT_EQ(name, w.longName);
    remove(w);
    EXPECT_EQ(0xE5, firstByte(2, 15));
    EXPECT_EQ(0, im->fatTable[3]);  // the middle cluster was given back
    EXPECT_EQ(4, im->fatTable[2]);
    for (int k = 0; k < 2; ++k) EXPECT_NE(0x01, firstByte(4, k) & 0x1F) << k;
    EXPECT_EQ(0x00, firstByte(4, 0));
    EXPECT_EQ(0x00, firstByte(4, 1));
    std::vector<Walked> left = walkAll(*im, 2);
    ASSERT_EQ(3u, left.size());  // "..", STAYS, INSIX: no leftover long-name pieces anywhere
    EXPECT_TRUE(left[1].longName.empty());
    EXPECT_EQ(-1, left[1].longNameIndex);
}

TEST_F(DeleteTest, EmptiedSecondClusterIsReclaimedAndChainRelinked) {
    build(*im);
    chain(*im, {2, 7, 9});
    dotEntries(*im, 2, 0);
    place(*im, 2, 16, {shortEntry("ONLY", kArc, 0)});   // 7:0
    place(*im, 2, 32, {shortEntry("THIRD", kArc, 0)});  // 9:0
    remove(find(2, "ONLY       "));
    EXPECT_EQ(9, im->fatTable[2]);
    EXPECT_EQ(0, im->fatTable[7]);
    EXPECT_EQ(0xFFF, im->fatTable[9]);
    remove(find(2, "THIRD      "));
    EXPECT_EQ(0xFFF, im->fatTable[2]);
    EXPECT_EQ(0, im->fatTable[9]);
    // The first cluster keeps "." and "..", so it is never given back.
    EXPECT_EQ(1u, walkAll(*im, 2).size());
}

// A chain running into a bad cluster keeps the bad mark; an empty file marks its slots only.
TEST_F(DeleteTest, FileFreesItsOwnChainOnly) {
    build(*im);
    place(*im, 0, 0, {shortEntry("EMPTY", kArc, 0), shortEntry("F", kArc, 10, 2000)});
    im->fatTable[10] = 11;
    im->fatTable[11] = 0xFF7;
    remove(find(0, "F          "));
    EXPECT_EQ(0, im->fatTable[10]);
    EXPECT_EQ(0xFF7, im->fatTable[11]);
    chain(*im, {2});
    int freeBefore = im->countFreeClusters();
    remove(find(0, "EMPTY      "));
    EXPECT_EQ(0x00, firstByte(0, 0));
    EXPECT_EQ(freeBefore, im->countFreeClusters());
    EXPECT_EQ(0xFFF, im->fatTable[2]);
}

// A tree three deep with multi-cluster folders, long names across cluster ends and files.
TEST_F(DeleteTest, FolderTreeLeavesNoEntryAndNoUsedCluster) {
    build(*im);
    int next = 2;
    auto take = [&](int n) {
        if (n == 0) return 0;
        std::vector<int> cs;
        for (int k = 0; k < n; ++k) cs.push_back(next++);
        for (size_t k = 0; k < cs.size(); ++k)
            im->fatTable[cs[k]] = static_cast<uint16_t>(k + 1 < cs.size() ? cs[k + 1] : 0xFFF);
        return cs[0];
    };
    std::function<void(int, int, int)> fill = [&](int folder, int parent, int depth) {
        dotEntries(*im, folder, parent);
        int i = 2;
        for (int f = 0; f < 12; ++f) {
            char s[16];
            std::snprintf(s, sizeof s, "FILE%02d.DAT", f);
            std::u16string name = u"a file with a long name number " +
                                  std::u16string(1, static_cast<char16_t>(u'a' + f));
            i = addEntry(*im, folder, i, name, shortEntry(s, kArc, take(f % 3), 1000));
        }
        if (depth < 3) {
            for (int d = 0; d < 2; ++d) {
                int sub = take(4);
                char s[16];
                std::snprintf(s, sizeof s, "SUB%d", d);
                std::u16string name = u"sub folder " +
                                      std::u16string(1, static_cast<char16_t>(u'0' + d));
                i = addEntry(*im, folder, i, name, shortEntry(s, kDir, sub));
                WalkCursor c = im->saveCursor();
                fill(sub, folder, depth + 1);
                im->restoreCursor(c);
            }
        }
    };
    int top = take(4);
    addEntry(*im, 0, 0, u"the tree", shortEntry("THETREE", kDir, top));
    place(*im, 0, 2, {shortEntry("OTHER", kArc, take(1), 1)});
    fill(top, 0, 1);
    ASSERT_GT(im->countUsedClusters(), 100);
    remove(find(0, "THETREE    "));
    EXPECT_EQ(1, im->countUsedClusters());  // OTHER's cluster
    std::vector<Walked> root = walkAll(*im, 0);
    ASSERT_EQ(1u, root.size());
    EXPECT_EQ("OTHER      ", root[0].shortName);
}

TEST_F(DeleteTest, ContentsAloneLeaveTheFolderWithItsFirstCluster) {
    build(*im);
    chain(*im, {2, 3, 4});
    dotEntries(*im, 2, 0);
    for (int k = 2; k < 48; ++k) {
        char s[16];
        std::snprintf(s, sizeof s, "F%02d", k);
        place(*im, 2, k, {shortEntry(s, kArc, 0)});
    }
    im->deleteFolderContents(2);
    EXPECT_EQ(0xFFF, im->fatTable[2]);
    EXPECT_EQ(0, im->fatTable[3]);
    EXPECT_EQ(0, im->fatTable[4]);
    EXPECT_EQ(1u, walkAll(*im, 2).size());
}

// --- damaged images ------------------------------------------------------------------------

TEST_F(DeleteTest, CyclicFolderTreeEndsAndFreesEveryCluster) {
    build(*im);
    chain(*im, {2});
    chain(*im, {3});
    dotEntries(*im, 2, 0);
    dotEntries(*im, 3, 2);
    place(*im, 0, 0, {shortEntry("TOP", kDir, 2)});
    place(*im, 2, 2, {shortEntry("CHILD", kDir, 3)});
    place(*im, 3, 2, {shortEntry("BACK", kDir, 2)});     // leads back to its grandparent
    place(*im, 3, 3, {shortEntry("SELF", kDir, 3)});     // hidden by the walker as "."
    place(*im, 3, 4, {shortEntry("ROOTISH", kDir, 0)});  // first cluster 0: not the root
    place(*im, 0, 1, {shortEntry("SAFE", kArc, 0)});
    remove(find(0, "TOP        "));
    EXPECT_EQ(0, im->countUsedClusters());
    std::vector<Walked> root = walkAll(*im, 0);
    ASSERT_EQ(1u, root.size());
    EXPECT_EQ("SAFE       ", root[0].shortName);
}

// /P/A/B leads back to /P; /Q and /R share one folder chain.
TEST_F(DeleteTest, CheckedFolderReachingOutsideTheTreeIsRefusedUntouched) {
    build(*im);
    im->fatTable[2] = im->fatTable[3] = im->fatTable[4] = 0xFFF;
    place(*im, 0, 0,
          {shortEntry("P", kDir, 2), shortEntry("Q", kDir, 4), shortEntry("R", kDir, 4)});
    dotEntries(*im, 2, 0);
    place(*im, 2, 2, {shortEntry("A", kDir, 3), shortEntry("F1", kArc, 0)});
    dotEntries(*im, 3, 2);
    place(*im, 3, 2, {shortEntry("B", kDir, 2)});
    dotEntries(*im, 4, 0);
    std::vector<uint8_t> before = snapshot(*im);
    EXPECT_EQ(kResultDamaged, removeTree(3, "B          "));
    EXPECT_EQ(std::vector<std::string>{"Could not delete \"/P/A/B\"! Folder \"/P/A/B\" shares its "
                                       "clusters with another entry. Run Check disk to repair it."},
              testing_support::takeMessages(*im));
    EXPECT_EQ(kResultDamaged, removeTree(0, "P          "));
    EXPECT_EQ(kResultDamaged, removeTree(0, "Q          "));
    EXPECT_EQ(before, snapshot(*im));
    EXPECT_EQ(kResultOk, removeTree(2, "F1         "));  // P's own entries may go
}

// X and Y share clusters 6 and 7; Z starts on folder D's cluster.
TEST_F(DeleteTest, CheckedCrossLinkedClustersStayWithTheirOtherOwner) {
    build(*im);
    chain(*im, {5, 6, 7});
    im->fatTable[3] = 0xFFF;
    place(*im, 0, 0, {shortEntry("X", kArc, 5, 1500), shortEntry("Y", kArc, 6, 1000)});
    place(*im, 0, 2, {shortEntry("D", kDir, 3), shortEntry("Z", kArc, 3, 10)});
    dotEntries(*im, 3, 0);
    EXPECT_EQ(kResultOk, removeTree(0, "X          "));
    EXPECT_EQ((std::vector<uint16_t>{0, 7, 0xFFF}),
              std::vector<uint16_t>(&im->fatTable[5], &im->fatTable[8]));
    EXPECT_EQ(std::vector<std::string>{"Kept 2 clusters of \"/X\" that another entry also uses "
                                       "(cross-linked). Run Check disk to repair it."},
              testing_support::takeMessages(*im));
    EXPECT_EQ(kResultOk, removeTree(0, "Y          "));
    EXPECT_EQ(kResultOk, removeTree(0, "Z          "));
    EXPECT_EQ(1, im->countUsedClusters());  // D's cluster 3
}

// A cyclic chain is freed once; links naming no data cluster stop the freeing.
TEST_F(DeleteTest, DamagedFileChainsAreFreedOnce) {
    build(*im);
    place(*im, 0, 0, {shortEntry("LOOP", kArc, 5, 99999)});
    chain(*im, {5, 6, 7});
    im->fatTable[7] = 5;
    remove(find(0, "LOOP       "));
    EXPECT_EQ(0, im->countUsedClusters());
    const uint16_t links[] = {
        0x001, 0xFF0, 0xFF6, 0xFF8, 0xFFE, static_cast<uint16_t>(im->clusterCount + 2), 0xFEF};
    for (uint16_t link : links) {
        im->fatTable[5] = link;
        place(*im, 0, 0, {shortEntry("F", kArc, 5, 5000)});
        remove(find(0, "F          "));
        EXPECT_EQ(0, im->fatTable[5]) << link;
    }
    // First clusters that name no data cluster free nothing.
    int before = im->countFreeClusters();
    im->deleteEntry(0xFFF, 0, 0, -1, -1);
    im->deleteEntry(static_cast<uint16_t>(im->clusterCount + 2), 0, 0, -1, -1);
    EXPECT_EQ(before, im->countFreeClusters());
}

TEST_F(DeleteTest, LocationsOutsideTheImageTouchNothing) {
    build(*im);
    chain(*im, {2});
    std::vector<uint8_t> rootBefore(im->rootDir, im->rootDir + sizeof im->rootDir);
    im->deleteEntry(0, 0, 500, -1, -1);
    im->deleteEntry(0, 5000, 0, 7000, 3);
    im->deleteEntry(0, 2, 99, 2, 1);
    im->deleteEntry(0, 2, 3, 4000, 99);
    EXPECT_EQ(rootBefore, std::vector<uint8_t>(im->rootDir, im->rootDir + sizeof im->rootDir));
    EXPECT_EQ(0xFFF, im->fatTable[2]);
}

}  // namespace
