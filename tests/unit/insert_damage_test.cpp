// Insertion into damaged folders: an accepted entry must be one the walker lists, so that a
// file reported as inserted is never hidden behind an end mark.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_builder.h"
#include "test_support.h"

using testing_support::TempDir;
using testing_support::writeFile;

namespace {

const char kLongName[] = "A long name with spaces.text";  // three long-name slots and the entry

bool listed(VolumeImage& im, uint16_t folder, const std::u16string& name) {
    for (const testimg::Walked& w : testimg::walkAll(im, folder))
        if (w.longName == name) return true;
    return false;
}

std::u16string wide(const char* s) { return std::u16string(s, s + std::strlen(s)); }

}  // namespace

// The root ends at slot 1; slot 2 holds a stale entry from before. The first run of four free
// slots after the stale one lies beyond the end, where the walker never looks.
TEST(InsertDamage, StaleSlotBeyondRootEndMark) {
    std::unique_ptr<VolumeImage> im(new VolumeImage);
    testimg::build(*im);
    testimg::place(*im, 0, 0, {testimg::shortEntry("A.TXT", de::kAttrArchive, 0)});
    testimg::place(*im, 0, 2, {testimg::shortEntry("STALE.TXT", de::kAttrArchive, 0)});
    TempDir dir;
    writeFile(dir.file("host.txt"), std::vector<uint8_t>(100, 'x'));

    ASSERT_EQ(0, im->insertHostFile(0, dir.file("host.txt").c_str(), kLongName));
    std::vector<testimg::Walked> root = testimg::walkAll(*im, 0);
    ASSERT_EQ(2u, root.size());
    EXPECT_EQ(testimg::shortName("A.TXT"), root[0].shortName);
    EXPECT_EQ(wide(kLongName), root[1].longName);
    // The entry took the end mark's place; the stale slot behind it became the new end.
    EXPECT_EQ(1, root[1].longNameIndex);
    EXPECT_EQ(4, root[1].entryIndex);
    EXPECT_EQ(0, im->rootDir[5 * 32]);
}

// In a folder, a free slot right after a long-name run ends the walk: the slots behind it (here
// after a stale entry, so the new run cannot join the orphan piece) may not take the entry, and
// the folder may not grow behind it either.
TEST(InsertDamage, FreeSlotAfterOrphanLongNameInFolder) {
    std::unique_ptr<VolumeImage> im(new VolumeImage);
    testimg::build(*im);
    testimg::place(*im, 0, 0, {testimg::shortEntry("DIR", de::kAttrDirectory, 2)});
    testimg::chain(*im, {2});
    testimg::dotEntries(*im, 2, 0);
    std::vector<uint8_t> orphan = testimg::shortEntry("GONE.TXT", de::kAttrArchive, 0);
    testimg::place(*im, 2, 2, {testimg::longNameSlots(u"gone", orphan)[0]});
    testimg::place(*im, 2, 4, {testimg::shortEntry("STALE.TXT", de::kAttrArchive, 0)});
    TempDir dir;
    writeFile(dir.file("host.txt"), std::vector<uint8_t>(100, 'x'));

    int result = im->insertHostFile(2, dir.file("host.txt").c_str(), kLongName);
    if (result == 0) {
        EXPECT_TRUE(listed(*im, 2, wide(kLongName)));
    } else {
        EXPECT_EQ(kResultDirectoryFull, result);
    }
}

// The folder's only cluster is marked free in the FAT. The file's data must not be given that
// cluster, or writing the entry would overwrite the data and the data the folder.
TEST(InsertDamage, FolderClusterMarkedFree) {
    std::unique_ptr<VolumeImage> im(new VolumeImage);
    testimg::build(*im);
    testimg::place(*im, 0, 0, {testimg::shortEntry("DIR", de::kAttrDirectory, 2)});
    testimg::dotEntries(*im, 2, 0);
    im->fatTable[2] = 0;
    TempDir dir;
    std::vector<uint8_t> bytes(700);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 13);
    writeFile(dir.file("host.bin"), bytes);

    ASSERT_EQ(0, im->insertHostFile(2, dir.file("host.bin").c_str(), "HOST.BIN"));
    std::vector<testimg::Walked> folder = testimg::walkAll(*im, 2);
    ASSERT_EQ(2u, folder.size());  // ".." and the new file
    EXPECT_EQ(testimg::shortName("HOST.BIN"), folder[1].shortName);
    uint16_t first = readLe16(folder[1].raw.data() + de::kFirstCluster);
    ASSERT_NE(2, first);
    ASSERT_NE(0xFFF, im->fatTable[first]);
    uint16_t second = im->fatTable[first];
    ASSERT_NE(2, second);
    EXPECT_EQ(0, std::memcmp(im->clusterData(first), bytes.data(), 512));
    EXPECT_EQ(0, std::memcmp(im->clusterData(second), bytes.data() + 512, 188));
}

namespace {

// The clusters of the chain that an inserted file's entry names, in order.
std::vector<uint16_t> chainOf(VolumeImage& im, uint16_t folder, const char* shortName) {
    std::vector<uint16_t> clusters;
    for (const testimg::Walked& w : testimg::walkAll(im, folder)) {
        if (w.shortName != testimg::shortName(shortName)) continue;
        uint32_t c = readLe16(w.raw.data() + de::kFirstCluster);
        for (int hops = 0; c >= 2 && c < 0xFF0 && hops < 10; ++hops, c = im.fatTable[c])
            clusters.push_back(static_cast<uint16_t>(c));
    }
    return clusters;
}

// Clusters 2..4 hold files whose FAT entries a damaged FAT gave back: OLD.TXT's only cluster in
// the root, the middle of a chain that ends early, and a file's cluster inside a subfolder. A
// new file must go after them all and leave their bytes alone.
TEST(InsertDamage, ClustersStillNamedByEntriesAreNotReused) {
    std::unique_ptr<VolumeImage> im(new VolumeImage);
    testimg::build(*im);
    testimg::place(*im, 0, 0,
                   {testimg::shortEntry("OLD.TXT", de::kAttrArchive, 2, 100),
                    testimg::shortEntry("CUT.TXT", de::kAttrArchive, 5, 1000),
                    testimg::shortEntry("DIR", de::kAttrDirectory, 6)});
    im->fatTable[2] = 0;
    im->fatTable[5] = 3;  // CUT.TXT: 5 -> 3, and 3 is marked free
    im->fatTable[3] = 0;
    testimg::chain(*im, {6});
    testimg::dotEntries(*im, 6, 0);
    testimg::place(*im, 6, 2, {testimg::shortEntry("INNER.TXT", de::kAttrArchive, 4, 10)});
    im->fatTable[4] = 0;
    for (uint16_t c : {uint16_t{2}, uint16_t{3}, uint16_t{4}})
        std::memset(im->clusterData(c), 0xA0 + c, im->clusterBytes);
    TempDir dir;
    writeFile(dir.file("host.bin"), std::vector<uint8_t>(1500, 'n'));

    ASSERT_EQ(0, im->insertHostFile(0, dir.file("host.bin").c_str(), "NEW.BIN"));
    std::vector<uint16_t> used = chainOf(*im, 0, "NEW.BIN");
    EXPECT_EQ((std::vector<uint16_t>{7, 8, 9}), used);
    for (uint16_t c : {uint16_t{2}, uint16_t{3}, uint16_t{4}})
        EXPECT_EQ(std::vector<uint8_t>(im->clusterBytes, static_cast<uint8_t>(0xA0 + c)),
                  std::vector<uint8_t>(im->clusterData(c), im->clusterData(c) + im->clusterBytes))
            << "cluster " << c << " was overwritten";
}

// A folder that names itself, a folder that names its parent and a chain looping back: the scan
// for used clusters ends, and the insertion still takes a free cluster.
TEST(InsertDamage, UsedClusterScanEndsOnLoopingFolders) {
    std::unique_ptr<VolumeImage> im(new VolumeImage);
    testimg::build(*im);
    testimg::place(*im, 0, 0, {testimg::shortEntry("LOOP", de::kAttrDirectory, 2)});
    im->fatTable[2] = 3;
    im->fatTable[3] = 2;
    testimg::place(*im, 2, 0,
                   {testimg::shortEntry("SELF", de::kAttrDirectory, 2),
                    testimg::shortEntry("BACK", de::kAttrDirectory, 3)});
    TempDir dir;
    writeFile(dir.file("host.bin"), std::vector<uint8_t>(10, 'n'));

    ASSERT_EQ(0, im->insertHostFile(0, dir.file("host.bin").c_str(), "NEW.BIN"));
    EXPECT_EQ((std::vector<uint16_t>{4}), chainOf(*im, 0, "NEW.BIN"));
}

}  // namespace

namespace {

// Root A.TXT, then DIR (cluster 2) with its dot entries.
void plainTree(VolumeImage& im) {
    testimg::build(im);
    testimg::place(im, 0, 0,
                   {testimg::shortEntry("A.TXT", de::kAttrArchive, 0),
                    testimg::shortEntry("DIR", de::kAttrDirectory, 2)});
    testimg::chain(im, {2});
    testimg::dotEntries(im, 2, 0);
}

// In DIR: the long name of file 7 below, deleted long-name slots after it and an entry behind
// them, which the walker lists under that name until a new entry takes the deleted slots. In the
// root: the end mark, and behind it a stale entry whose cluster (5) the FAT calls free.
void damagedTree(VolumeImage& im) {
    plainTree(im);
    std::vector<uint8_t> kept = testimg::shortEntry("KEPT.TXT", de::kAttrArchive, 0);
    std::vector<std::vector<uint8_t>> slots = testimg::longNameSlots(u"a long file name 7.txt",
                                                                     kept);
    for (int i = 0; i < 3; ++i) {
        slots.push_back(slots[0]);
        slots.back()[0] = de::kDeleted;
    }
    slots.push_back(kept);
    testimg::place(im, 2, 2, slots);
    testimg::place(im, 0, 3, {testimg::shortEntry("STALE.TXT", de::kAttrArchive, 5, 10)});
}

}  // namespace

// One operation of many entries writes the image that one operation per entry writes: what an
// operation keeps from entry to entry (names, free slots, the referenced clusters) stays true,
// also where the damage makes it read a folder or the references again.
TEST(InsertDamage, ManyEntriesInOneOperationEqualOneOperationEach) {
    TempDir dir;
    std::string selection = dir.path().string() + '\0';
    std::vector<std::string> names;
    for (int i = 0; i < 24; ++i) {
        names.push_back(i % 5 == 0 ? "F" + std::to_string(i) + ".TXT"
                                   : "a long file name " + std::to_string(i) + ".txt");
        writeFile(dir.file(names.back()), std::vector<uint8_t>(static_cast<size_t>(i) * 150, 'x'));
        selection += names.back() + '\0';
    }
    for (auto build : {plainTree, damagedTree}) {
        for (uint16_t folder : {uint16_t{0}, uint16_t{2}}) {
            SCOPED_TRACE(testing::Message() << (build == plainTree ? "plain" : "damaged")
                                            << " tree, folder " << folder);
            std::unique_ptr<VolumeImage> once(new VolumeImage), each(new VolumeImage);
            build(*once);
            build(*each);
            once->insertFiles(folder, selection.c_str(), nullptr);
            for (const std::string& name : names)
                each->insertHostFile(folder, dir.file(name).c_str(), name.c_str());
            EXPECT_EQ(testing_support::takeMessages(*each), testing_support::takeMessages(*once));
            EXPECT_EQ(snapshot(*each), snapshot(*once));
        }
    }
}

// Folder A's first cluster is BIG.BIN's data; folder N owns its cluster but has no "." and "..".
// Insertion, rename and attributes write into neither.
TEST(InsertDamage, FolderOnAFilesDataOrWithoutDotsIsRefused) {
    std::unique_ptr<VolumeImage> im(new VolumeImage);
    testimg::build(*im);
    testimg::chain(*im, {2, 3});
    im->fatTable[4] = 0xFFF;
    testimg::place(*im, 0, 0,
                   {testimg::shortEntry("BIG.BIN", 0, 2, 1024),
                    testimg::shortEntry("A", de::kAttrDirectory, 2),
                    testimg::shortEntry("N", de::kAttrDirectory, 4)});
    testimg::place(*im, 2, 0, {testimg::shortEntry("IN.TXT", 0, 0, 0)});
    testimg::place(*im, 4, 0, {testimg::shortEntry("IN.TXT", 0, 0, 0)});
    std::vector<uint8_t> before = snapshot(*im);
    uint16_t made = 0;
    EXPECT_EQ(kResultDamaged, im->createFolder(2, "X", 0, 0, &made));
    EXPECT_EQ(kResultDamaged, im->createFolder(4, "X", 0, 0, &made));
    EXPECT_EQ(kResultDamaged, im->renameEntry(2, 2, 0, -1, -1, "Y.TXT", nullptr, nullptr));
    EXPECT_EQ(kResultDamaged, im->renameEntry(4, 4, 0, -1, -1, "Y.TXT", nullptr, nullptr));
    EXPECT_EQ(kResultDamaged, im->setAttributes(2, 0, de::kAttrHidden, 0));
    EXPECT_EQ((std::vector<std::string>{
                  "Could not insert \"X\": its folder shares its clusters with another entry! Run "
                  "Check disk to repair it.",
                  "Could not insert \"X\": its folder does not begin with \".\" and \"..\"! Run "
                  "Check disk to repair it.",
                  "Could not rename the entry: its folder shares its clusters with another entry! "
                  "Run Check disk to repair it.",
                  "Could not rename the entry: its folder does not begin with \".\" and \"..\"! "
                  "Run Check disk to repair it.",
                  "Could not change the attributes: its folder shares its clusters with another "
                  "entry! Run Check disk to repair it."}),
              testing_support::takeMessages(*im));
    EXPECT_EQ(before, snapshot(*im));
}
