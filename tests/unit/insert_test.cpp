// Insertion into the in-memory image: entries, long names, clusters, growth, and refusals that
// must leave every byte as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "directory/folder_walk.h"
#include "directory/long_name.h"
#include "image/boot_sector.h"
#include "platform/host_folder.h"
#include "test_support.h"

using testing_support::newImage;
using testing_support::takeMessages;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

struct Found {
    uint8_t entry[32];
    std::u16string longName;
    int32_t entryCluster, entryIndex, longNameCluster, longNameIndex;
};

std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// Walks the folder and returns the entries in walk order.
std::vector<Found> listFolder(VolumeImage& image, uint16_t folder) {
    std::vector<Found> out;
    forEachEntry(image, folder, [&](const WalkedEntry& e) {
        Found f;
        std::memcpy(f.entry, e.entry, sizeof f.entry);
        for (int i = 0; i < kLongNameUnits && e.longName[i] != 0; ++i)
            f.longName += static_cast<char16_t>(e.longName[i]);
        f.entryCluster = e.entryCluster;
        f.entryIndex = e.entryIndex;
        f.longNameCluster = e.longNameCluster;
        f.longNameIndex = e.longNameIndex;
        out.push_back(f);
    });
    return out;
}

// The entry whose long name, or stored 8.3 name when it has none, is `name`.
bool findEntry(VolumeImage& image, uint16_t folder, const std::string& name, Found* found) {
    for (const Found& f : listFolder(image, folder)) {
        std::string shortName(reinterpret_cast<const char*>(f.entry), 11);
        if (f.longName == wide(name) || (f.longName.empty() && shortName == name)) {
            *found = f;
            return true;
        }
    }
    return false;
}

std::string shortOf(const Found& f) {
    return std::string(reinterpret_cast<const char*>(f.entry), 11);
}
uint16_t firstClusterOf(const Found& f) { return readLe16(f.entry + 26); }
uint32_t sizeOf(const Found& f) { return readLe32(f.entry + 28); }

std::vector<uint8_t> pattern(size_t n, int seed) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + seed + i / 251);
    return bytes;
}

// The bytes of the file as the image holds them, following its chain.
std::vector<uint8_t> readBack(VolumeImage& image, const Found& f, std::vector<uint16_t>* chain) {
    std::vector<uint8_t> out;
    uint16_t c = firstClusterOf(f);
    while (c >= 2 && c < 0xFF8 && out.size() < sizeOf(f)) {
        if (chain) chain->push_back(c);
        const uint8_t* data = image.clusterData(c);
        size_t n = std::min<size_t>(image.clusterBytes, sizeOf(f) - out.size());
        out.insert(out.end(), data, data + n);
        c = image.fatTable[c];
    }
    return out;
}

class InsertTest : public ::testing::Test {
protected:
    std::string hostFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = dir.file(name);
        writeFile(path, bytes);
        return path;
    }
    // The insertion is refused with `message` and leaves every byte as it was.
    void expectRefused(uint16_t folder, const std::string& path, const std::string& name, int code,
                       const std::string& message) {
        auto before = snapshot(*image);
        EXPECT_EQ(code, image->insertHostFile(folder, path.c_str(), name.c_str()));
        EXPECT_EQ(std::vector<std::string>{message}, takeMessages(*image));
        EXPECT_EQ(before, snapshot(*image));
    }
    TempDir dir;
    std::unique_ptr<VolumeImage> image = newImage(2);
};

TEST_F(InsertTest, FileGoesInWithLongNameChainAndZeroTail) {
    std::vector<uint8_t> bytes = pattern(1300, 1);
    std::string path = hostFile("src.bin", bytes);
    std::memset(image->clusterData(4), 0xEE, 512);  // a deleted file's bytes
    ASSERT_EQ(0, image->insertHostFile(0, path.c_str(), "Quarterly Report.data"));
    EXPECT_TRUE(takeMessages(*image).empty());

    Found f;
    ASSERT_TRUE(findEntry(*image, 0, "Quarterly Report.data", &f));
    EXPECT_EQ("QUARTE~1DAT", shortOf(f));
    EXPECT_EQ(0x20, f.entry[11]);
    EXPECT_EQ(1300u, sizeOf(f));
    EXPECT_EQ(0, f.longNameCluster);
    EXPECT_EQ(1, f.longNameIndex);  // right after the volume label
    EXPECT_EQ(3, f.entryIndex);     // 21 characters: two long-name slots
    std::vector<uint16_t> chain;
    EXPECT_EQ(bytes, readBack(*image, f, &chain));
    EXPECT_EQ((std::vector<uint16_t>{2, 3, 4}), chain);
    EXPECT_EQ(0xFFF, image->fatTable[4]);
    const uint8_t* last = image->clusterData(4);
    for (int i = 1300 - 1024; i < 512; ++i) ASSERT_EQ(0, last[i]);
}

TEST_F(InsertTest, PlainUpperCaseNameHasNoLongNameSlots) {
    std::string path = hostFile("x", pattern(10, 2));
    ASSERT_EQ(0, image->insertHostFile(0, path.c_str(), "README.TXT"));
    Found f;
    ASSERT_TRUE(findEntry(*image, 0, "README  TXT", &f));
    EXPECT_EQ(-1, f.longNameIndex);
    EXPECT_EQ(1, f.entryIndex);
    // The same name in another case is the same file.
    expectRefused(0, path, "readme.txt", kResultNameExists, "File \"readme.txt\" already exists!");
}

TEST_F(InsertTest, EmptyFileExactClusterSizesAndLowestFreeClusters) {
    std::string empty = hostFile("e", {});
    std::string one = hostFile("one", pattern(512, 3));
    std::string twoish = hostFile("two", pattern(513, 4));
    ASSERT_EQ(0, image->insertHostFile(0, empty.c_str(), "empty"));
    ASSERT_EQ(0, image->insertHostFile(0, one.c_str(), "one"));
    ASSERT_EQ(0, image->insertHostFile(0, twoish.c_str(), "two"));
    Found f;
    ASSERT_TRUE(findEntry(*image, 0, "empty", &f));
    EXPECT_EQ(0, firstClusterOf(f));
    EXPECT_EQ(0u, sizeOf(f));
    ASSERT_TRUE(findEntry(*image, 0, "one", &f));
    EXPECT_EQ(2, firstClusterOf(f));
    EXPECT_EQ(0xFFF, image->fatTable[2]);
    ASSERT_TRUE(findEntry(*image, 0, "two", &f));
    std::vector<uint16_t> chain;
    EXPECT_EQ(pattern(513, 4), readBack(*image, f, &chain));
    EXPECT_EQ((std::vector<uint16_t>{3, 4}), chain);
    EXPECT_EQ(image->getClusterCount() - 3, image->countFreeClusters());

    // The lowest free clusters are taken around used and bad ones.
    image->fatTable[6] = 0xFF7;
    std::string path = hostFile("f", pattern(1500, 5));
    ASSERT_EQ(0, image->insertHostFile(0, path.c_str(), "F.BIN"));
    ASSERT_TRUE(findEntry(*image, 0, "F       BIN", &f));
    chain.clear();
    EXPECT_EQ(pattern(1500, 5), readBack(*image, f, &chain));
    EXPECT_EQ((std::vector<uint16_t>{5, 7, 8}), chain);
    EXPECT_EQ(0xFF7, image->fatTable[6]);
}

TEST_F(InsertTest, ReusesDeletedSlotRunOnlyWhenLongEnough) {
    std::string path = hostFile("f", pattern(1, 6));
    for (const char* name : {"A", "B", "C", "D"})
        ASSERT_EQ(0, image->insertHostFile(0, path.c_str(), name));
    image->rootDir[2 * 32] = 0xE5;  // "B" deleted: one free slot between used ones
    ASSERT_EQ(0, image->insertHostFile(0, path.c_str(), "long name"));  // needs two slots
    ASSERT_EQ(0, image->insertHostFile(0, path.c_str(), "E"));          // fits the hole
    Found f;
    ASSERT_TRUE(findEntry(*image, 0, "long name", &f));
    EXPECT_EQ(5, f.longNameIndex);
    ASSERT_TRUE(findEntry(*image, 0, "E          ", &f));
    EXPECT_EQ(2, f.entryIndex);
}

// A full root, a folder whose full chain leads back to itself (never grown) and targets outside
// the data clusters are refused byte for byte.
TEST_F(InsertTest, FullOrInvalidFoldersRefusedByteForByte) {
    std::string path = hostFile("f", {});
    for (int i = 1; i < 224; ++i)
        ASSERT_EQ(0, image->insertHostFile(0, path.c_str(), ("F" + std::to_string(i)).c_str()));
    expectRefused(0, path, "F224", kResultDirectoryFull,
                  "Directory is full, could not insert \"F224\"!");
    image = newImage(2);
    uint16_t folder = 0;
    ASSERT_EQ(0, image->createFolder(0, "LOOP", 0, 0, &folder));
    for (int i = 0; i < 14; ++i)  // fills the folder's one cluster: ".", ".." and 14 entries
        ASSERT_EQ(0,
                  image->insertHostFile(folder, path.c_str(), ("F" + std::to_string(i)).c_str()));
    image->fatTable[folder] = folder;
    expectRefused(folder, path, "F14", kResultDirectoryFull,
                  "Directory is full, could not insert \"F14\"!");
    for (uint16_t outside : {uint16_t{0xFFF}, uint16_t{1}})
        expectRefused(outside, path, "X", kResultDirectoryFull,
                      "Directory is full, could not insert \"X\"!");
}

TEST_F(InsertTest, TooBigForFreeSpaceRefusedByteForByte) {
    image = newImage(6);  // 160KB: 155 clusters of 1024 bytes
    expectRefused(0, hostFile("big", pattern(155 * 1024 + 1, 7)), "big.bin", kResultNoSpace,
                  "Not enough free space on image for \"big.bin\"!");
    std::string exact = hostFile("exact", pattern(155 * 1024, 8));
    ASSERT_EQ(0, image->insertHostFile(0, exact.c_str(), "exact.bin"));
    EXPECT_EQ(0, image->countFreeClusters());
}

TEST_F(InsertTest, BadNamesAndUnreadableFilesRefused) {
    std::string path = hostFile("f", pattern(5, 9));
    auto before = snapshot(*image);
    EXPECT_EQ(kResultNameTooLong,
              image->insertHostFile(0, path.c_str(), std::string(256, 'n').c_str()));
    EXPECT_EQ(kResultBadName, image->insertHostFile(0, path.c_str(), "what?"));
    EXPECT_EQ(kResultBadName, image->insertHostFile(0, path.c_str(), ".."));
    std::string missing = dir.file("missing");
    EXPECT_EQ(kResultHostIo, image->insertHostFile(0, missing.c_str(), "missing"));
    EXPECT_EQ(kResultHostIo, image->insertHostFile(0, dir.path().string().c_str(), "folder"));
    auto messages = takeMessages(*image);
    ASSERT_EQ(5u, messages.size());
    EXPECT_EQ("File name \"" + std::string(256, 'n') + "\" is too long!", messages[0]);
    EXPECT_EQ("Invalid file name \"what?\"!", messages[1]);
    EXPECT_EQ("Invalid file name \"..\"!", messages[2]);
    EXPECT_EQ("Could not read file \"" + missing + "\"!", messages[3]);
    EXPECT_EQ(before, snapshot(*image));
    EXPECT_EQ(0, image->insertHostFile(0, path.c_str(), std::string(255, 'n').c_str()));
}

TEST_F(InsertTest, FolderHasDotEntriesPointingAtItselfAndParent) {
    uint16_t outer = 0, inner = 0;
    ASSERT_EQ(0, image->createFolder(0, "Outer Folder", 0x5A21, 0x6000, &outer));
    ASSERT_EQ(0, image->createFolder(outer, "inner", 0x5A21, 0x6000, &inner));
    Found f;
    ASSERT_TRUE(findEntry(*image, 0, "Outer Folder", &f));
    EXPECT_EQ(0x10, f.entry[11]);
    EXPECT_EQ(outer, firstClusterOf(f));
    EXPECT_EQ(0u, sizeOf(f));
    EXPECT_EQ(0x5A21, readLe16(f.entry + 24));
    const uint8_t* o = image->clusterData(outer);
    EXPECT_EQ(0, std::memcmp(o, ".          \x10", 12));
    EXPECT_EQ(outer, readLe16(o + 26));
    EXPECT_EQ(0, std::memcmp(o + 32, "..         \x10", 12));
    EXPECT_EQ(0, readLe16(o + 32 + 26));  // parent is the root
    const uint8_t* i = image->clusterData(inner);
    EXPECT_EQ(outer, readLe16(i + 32 + 26));
    EXPECT_EQ(0xFFF, image->fatTable[inner]);
    EXPECT_EQ(kResultNameExists, image->createFolder(0, "OUTER FOLDER", 0, 0, &inner));
}

TEST_F(InsertTest, SubfolderGrowsAcrossClustersKeepingEveryName) {
    uint16_t folder = 0;
    ASSERT_EQ(0, image->createFolder(0, "grow", 0x5A21, 0, &folder));
    std::string path = hostFile("f", pattern(100, 10));
    // 14-character names: two long-name slots and a short entry each, so runs cross clusters.
    for (int i = 0; i < 40; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "grown file %03d", i);
        ASSERT_EQ(0, image->insertHostFile(folder, path.c_str(), name)) << name;
    }
    int clusters = 0;
    for (uint16_t c = folder; c >= 2 && c < 0xFF8; c = image->fatTable[c]) ++clusters;
    EXPECT_EQ((2 + 40 * 3 + 15) / 16, clusters);
    auto entries = listFolder(*image, folder);
    ASSERT_EQ(41u, entries.size());  // ".." and the 40 files
    bool crossed = false;
    for (int i = 0; i < 40; ++i) {
        const Found& f = entries[i + 1];
        char name[32];
        std::snprintf(name, sizeof name, "grown file %03d", i);
        EXPECT_EQ(wide(name), f.longName);
        EXPECT_EQ(pattern(100, 10), readBack(*image, f, nullptr));
        crossed = crossed || f.longNameCluster != f.entryCluster;
    }
    EXPECT_TRUE(crossed);
}

TEST_F(InsertTest, GrowthThatDoesNotFitRefusedByteForByte) {
    image = newImage(6);  // 1024-byte clusters, 32 slots
    uint16_t folder = 0;
    ASSERT_EQ(0, image->createFolder(0, "SUB", 0, 0, &folder));
    std::string empty = hostFile("e", {});
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(0,
                  image->insertHostFile(folder, empty.c_str(), ("F" + std::to_string(i)).c_str()));
    std::string fill = hostFile("fill", pattern(154 * 1024, 11));
    ASSERT_EQ(0, image->insertHostFile(0, fill.c_str(), "FILL"));
    ASSERT_EQ(0, image->countFreeClusters());
    expectRefused(folder, empty, "F30", kResultNoSpace,
                  "Not enough free space on image for \"F30\"!");
}

TEST_F(InsertTest, InsertFilesReadsBothSelectionFormsAndReportsEachFailure) {
    hostFile("one.txt", pattern(10, 12));
    hostFile("two.txt", pattern(600, 13));
    std::vector<char> selection(kInsertSelectionBytes, '\0');
    std::string folder = dir.path().string();
    std::string names[] = {folder, "one.txt", "missing.txt", "two.txt", "one.txt"};
    size_t at = 0;
    for (const std::string& s : names) {
        std::memcpy(selection.data() + at, s.c_str(), s.size() + 1);
        at += s.size() + 1;
    }
    char title[260] = "";
    EXPECT_EQ(kResultHostIo, image->insertFiles(0, selection.data(), title));
    auto messages = takeMessages(*image);
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ(0u, messages[0].find("Could not read file \""));
    EXPECT_NE(std::string::npos, messages[0].find("missing.txt\"!"));
    EXPECT_EQ("File \"one.txt\" already exists!", messages[1]);
    Found f;
    ASSERT_TRUE(findEntry(*image, 0, "one.txt", &f));
    ASSERT_TRUE(findEntry(*image, 0, "two.txt", &f));
    EXPECT_EQ(pattern(600, 13), readBack(*image, f, nullptr));

    std::string single = dir.file("solo.dat");
    writeFile(single, pattern(3, 14));
    std::fill(selection.begin(), selection.end(), '\0');
    std::memcpy(selection.data(), single.c_str(), single.size() + 1);
    EXPECT_EQ(0, image->insertFiles(0, selection.data(), "solo.dat"));
    EXPECT_TRUE(findEntry(*image, 0, "solo.dat", &f));

    // A selection without any terminator inside the buffer inserts nothing.
    std::fill(selection.begin(), selection.end(), 'x');
    auto before = snapshot(*image);
    EXPECT_EQ(0, image->insertFiles(0, selection.data(), title));
    EXPECT_EQ(before, snapshot(*image));
}

TEST_F(InsertTest, HostTreeFiveDeepGoesOnAfterRefusedFile) {
    image = newImage(6);
    std::string tree = dir.file("tree");
    std::string path = tree;
    for (int depth = 0; depth < 5; ++depth) {
        std::filesystem::create_directories(path);
        writeFile(path + "/file at depth " + std::to_string(depth) + ".txt",
                  pattern(700 + depth, depth));
        path += "/level" + std::to_string(depth + 1);
    }
    writeFile(tree + "/huge.bin", pattern(200 * 1024, 1));  // more than the 160KB disk holds
    int inserted = 0;
    EXPECT_EQ(kResultNoSpace, image->insertHostPath(0, tree.c_str(), &inserted));
    EXPECT_EQ(std::vector<std::string>{"Not enough free space on image for \"huge.bin\"!"},
              takeMessages(*image));
    EXPECT_EQ(1 + 5 + 4, inserted);  // the folder, five files and four folders below it

    Found f;
    ASSERT_TRUE(findEntry(*image, 0, "tree", &f));
    uint16_t folder = firstClusterOf(f);
    for (int depth = 0; depth < 5; ++depth) {
        ASSERT_TRUE(
            findEntry(*image, folder, "file at depth " + std::to_string(depth) + ".txt", &f));
        EXPECT_EQ(pattern(700 + depth, depth), readBack(*image, f, nullptr));
        if (depth == 4) break;
        ASSERT_TRUE(findEntry(*image, folder, "level" + std::to_string(depth + 1), &f));
        EXPECT_EQ(0x10, f.entry[11]);
        folder = firstClusterOf(f);
    }
}

}  // namespace

#ifndef _WIN32
#include <sys/stat.h>

namespace {

// Only regular files and folders go in: a FIFO (which would block a plain open) and links to
// folders (which lead out of the tree, or around in a loop) are refused by name, the rest goes in.
// A link to a file goes in as that file.
TEST_F(InsertTest, TreeTakesOnlyRegularFilesAndFoldersAndFollowsNoFolderLink) {
    namespace fs = std::filesystem;
    std::string tree = dir.file("tree");
    fs::create_directories(tree + "/sub");
    fs::create_directories(dir.file("outside"));
    writeFile(tree + "/a.txt", pattern(100, 1));
    writeFile(dir.file("target.bin"), pattern(300, 2));
    writeFile(dir.file("outside/secret.txt"), pattern(10, 3));
    ASSERT_EQ(0, mkfifo((tree + "/pipe").c_str(), 0600));
    fs::create_symlink(dir.file("target.bin"), tree + "/file link");
    fs::create_symlink(dir.file("outside"), tree + "/folder link");
    fs::create_symlink("..", tree + "/sub/loop");

    int inserted = 0;
    EXPECT_EQ(kResultHostIo, image->insertHostPath(0, tree.c_str(), &inserted));
    EXPECT_EQ((std::vector<std::string>{"Could not read file \"" + tree + "/folder link\"!",
                                        "Could not read file \"" + tree + "/pipe\"!",
                                        "Could not read file \"" + tree + "/sub/loop\"!"}),
              takeMessages(*image));
    EXPECT_EQ(4, inserted);  // tree, a.txt, file link, sub
    Found f;
    ASSERT_TRUE(findEntry(*image, 0, "tree", &f));
    uint16_t folder = firstClusterOf(f);
    ASSERT_TRUE(findEntry(*image, folder, "file link", &f));
    EXPECT_EQ(pattern(300, 2), readBack(*image, f, nullptr));
    EXPECT_EQ(4u, listFolder(*image, folder).size());  // "..", a.txt, file link, sub

    expectRefused(0, tree + "/pipe", "pipe", kResultHostIo,
                  "Could not read file \"" + tree + "/pipe\"!");
}

// A file that shrinks once opened goes in as it is left. (Windows opens it without write sharing:
// nobody can shrink it meanwhile.)
TEST(HostSource, ShrunkFileGivesWhatIsLeft) {
    TempDir dir;
    std::string path = dir.file("f");
    writeFile(path, pattern(3000, 6));
    HostSource source;
    HostFileInfo info;
    ASSERT_TRUE(source.open(path.c_str(), true, true, &info));
    EXPECT_EQ(3000u, info.size);
    std::filesystem::resize_file(path, 1000);
    std::vector<uint8_t> store(4096, 0xEE);
    uint8_t* pieces[3] = {store.data(), store.data() + 1024, store.data() + 3072};
    uint64_t got = 0;
    ASSERT_TRUE(source.read(pieces, 3, 1024, 3000, &got));
    EXPECT_EQ(1000u, got);
    EXPECT_TRUE(std::equal(store.begin(), store.begin() + 1000, pattern(1000, 6).begin()));
    EXPECT_EQ(0xEE, store[1000]);
}

}  // namespace
#endif
