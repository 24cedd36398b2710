#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sys/stat.h>

#include "directory/extract.h"
#include "platform/host_file.h"
#include "tests/unit/image_builder.h"
#include "tests/unit/test_support.h"

using namespace testimg;
using testing_support::takeMessages;
using testing_support::TempDir;

namespace {

const uint8_t kDir = de::kAttrDirectory;
const uint8_t kArc = de::kAttrArchive;

std::string join(const std::string& folder, const std::string& name) {
    return folder + hostPathSeparator() + name;
}

// Fills cluster `c` with bytes that tell clusters apart.
void fillCluster(VolumeImage& im, int c) {
    uint8_t* d = im.clusterData(static_cast<uint32_t>(c));
    for (int i = 0; i < im.clusterBytes; ++i) d[i] = static_cast<uint8_t>(c * 7 + i);
}

std::vector<uint8_t> expectedBytes(VolumeImage& im, std::initializer_list<int> clusters,
                                   uint32_t size) {
    std::vector<uint8_t> out;
    for (int c : clusters) {
        const uint8_t* d = im.clusterData(static_cast<uint32_t>(c));
        out.insert(out.end(), d, d + im.clusterBytes);
    }
    out.resize(size);
    return out;
}

std::vector<uint16_t> name16(const std::u16string& s) {
    std::vector<uint16_t> out(kLongNameUnits, 0);
    for (size_t i = 0; i < s.size(); ++i) out[i] = s[i];
    return out;
}

// The core names host files in UTF-8; so do these tests ("Report – final.txt").
std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::u8path(path));
}

std::time_t modified(const std::string& path) {
    struct stat st {};
    return stat(std::filesystem::u8path(path).string().c_str(), &st) == 0 ? st.st_mtime : 0;
}

// The names in a host folder as the host spells them (a file system that ignores case still
// keeps the case a name was created with).
std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::u8path(folder)))
        out.insert(e.path().filename().u8string());
    return out;
}

struct ExtractTest : ::testing::Test {
    std::unique_ptr<VolumeImage> im{new VolumeImage};
    TempDir dir;
    std::string out = dir.path().string();
};

// Root: DOCS (folder at 2, two clusters 2 -> 6) holding a long-named file over clusters 3, 4, 5
// (fragmented: 3 -> 5 -> 4), README.TXT without long name (cluster 7, chain longer than its
// size: 7 -> 8), an empty file and a subfolder SUB (cluster 9) with one file.
void buildTree(VolumeImage& im) {
    build(im);
    place(im, 0, 0, {shortEntry("DOCS", kDir, 2)});
    chain(im, {2, 6});
    dotEntries(im, 2, 0);
    int i = addEntry(im, 2, 2, u"Report – final.txt", shortEntry("REPORT~1.TXT", kArc, 3, 1300));
    i = addEntry(im, 2, i, u"", shortEntry("README.TXT", kArc, 7, 600));
    i = addEntry(im, 2, i, u"empty file", shortEntry("EMPTYF~1", kArc, 0, 0));
    addEntry(im, 2, 17, u"Sub folder", shortEntry("SUBFOL~1", kDir, 9));  // in cluster 6
    chain(im, {3, 5, 4});
    chain(im, {7, 8});
    chain(im, {9});
    dotEntries(im, 9, 2);
    addEntry(im, 9, 2, u"", shortEntry("INNER.BIN", kArc, 10, 5));
    chain(im, {10});
    for (int c = 3; c <= 10; ++c)
        if (c != 6 && c != 9) fillCluster(im, c);
}

TEST_F(ExtractTest, FolderTreeWithLongNamesStoredShortNamesAndExactSizes) {
    buildTree(*im);
    std::string docs = join(out, "DOCS");
    ExtractJob job;
    const ExtractCount& made = job.count;
    ASSERT_EQ(0, im->extractFolder(2, docs.c_str(), &job));
    EXPECT_TRUE(takeMessages(*im).empty());
    EXPECT_EQ(4, made.files);
    EXPECT_EQ(2, made.folders);  // DOCS itself and "Sub folder"
    const std::string report = "Report \xe2\x80\x93 final.txt";
    EXPECT_EQ(expectedBytes(*im, {3, 5, 4}, 1300), readFile(join(docs, report)));
    EXPECT_EQ(expectedBytes(*im, {7, 8}, 600), readFile(join(docs, "README.TXT")));  // stored case
    EXPECT_TRUE(exists(join(docs, "empty file")));
    EXPECT_TRUE(readFile(join(docs, "empty file")).empty());
    EXPECT_EQ(expectedBytes(*im, {10}, 5), readFile(join(join(docs, "Sub folder"), "INNER.BIN")));
    // Nothing else: no "." or ".." copies, nothing beside the folder.
    int count = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir.path())) (void)e, ++count;
    EXPECT_EQ(6, count);
}

// A folder extraction makes takes its entry's time (local time; files: a tool test against
// mcopy -m), an entry without a valid time keeps the host's. Extracting again enters the folders
// there; a file there is asked about until answered for all (the CLI's refuse, skip and replace
// are tool tests), and Cancel ends the job.
TEST_F(ExtractTest, TimesAndReExtractionThatMergesFoldersAndAsksAboutFiles) {
    buildTree(*im);
    auto docs = shortEntry("DOCS", kDir, 2), noTime = shortEntry("NOTIME", kArc, 0, 0, 0, 0);
    uint16_t none[kLongNameUnits] = {};
    std::time_t before = std::time(nullptr);
    ASSERT_EQ(0, im->extractEntry(docs.data(), none, out.c_str()));
    ASSERT_EQ(0, im->extractEntry(noTime.data(), none, out.c_str()));
    std::tm when{};
    when.tm_year = 2024 - 1900, when.tm_mday = 1, when.tm_hour = 12, when.tm_isdst = -1;
    EXPECT_EQ(std::mktime(&when), modified(join(out, "DOCS")));
    EXPECT_LE(before, modified(join(out, "NOTIME")));
    std::string readme = join(join(out, "DOCS"), "README.TXT");
    for (ClashAnswer answer : {kClashAnswerSkip, kClashAnswerReplace, kClashAnswerCancel}) {
        testing_support::writeFile(readme, {'o', 'l', 'd'});
        ExtractJob job;
        job.policy = kClashAsk;
        int asked = 0;
        job.ask = [&](const char*, bool* forAll) {
            *forAll = answer == kClashAnswerReplace;
            return ++asked, answer;
        };
        int result = im->extractEntry(docs.data(), none, out.c_str(), &job);
        EXPECT_EQ(answer == kClashAnswerCancel ? kResultCancelled : 0, result);
        EXPECT_EQ(answer == kClashAnswerSkip ? 4 : 1, asked);
        EXPECT_EQ(answer == kClashAnswerReplace ? 4 : 0, job.count.files);
        EXPECT_EQ(answer == kClashAnswerReplace ? 600u : 3u, readFile(readme).size());
    }
}

// Entries the host cannot tell apart (a duplicate 8.3 entry, long names that differ only in an
// unpaired surrogate) never write over one another: the later one is numbered, and said so.
TEST_F(ExtractTest, EntriesOfOneHostNameGetDistinctNamesSharedChainsABound) {
    build(*im);
    int i = place(*im, 0, 0, {shortEntry("A.TXT", kArc, 2, 1), shortEntry("A.TXT", kArc, 3, 1)});
    i = addEntry(*im, 0, i, u"x\xD800.txt", shortEntry("X~1.TXT", kArc, 4, 1));
    i = addEntry(*im, 0, i, u"x\xDC00.txt", shortEntry("X~2.TXT", kArc, 5, 1));
    place(*im, 0, i, {shortEntry("DIR", kDir, 0), shortEntry("DIR", kDir, 0)});
    for (int c = 2; c <= 5; ++c) chain(*im, {c}), fillCluster(*im, c);
    testing_support::writeFile(join(out, "A (2).TXT"), {1});  // not the job's: passed over
    ExtractJob job;
    for (const ListedEntry& e : readListedEntries(*im, 0))
        EXPECT_EQ(0, im->extractEntry(e.entry, e.longName, out.c_str(), &job));
    const std::string x = "x\xef\xbf\xbd";
    EXPECT_EQ((std::set<std::string>{"A.TXT", "A (2).TXT", "A (3).TXT", x + ".txt", x + " (2).txt",
                                     "DIR", "DIR (2)"}),
              namesIn(out));
    ASSERT_EQ(3u, job.renamed.size());
    EXPECT_EQ("Two entries are named \"" + join(out, "A.TXT") +
                  "\": the later one was extracted as \"" + join(out, "A (3).TXT") + "\".",
              job.renamed[0]);

    // 20 entries sharing one chain: the chain goes into kMaxCopiesOfCluster files, the rest are
    // refused, so a damaged image cannot make an extraction write without bound.
    build(*im);
    chain(*im, {2, 3, 4, 5});
    for (int n = 0; n < 20; ++n)
        place(*im, 0, n, {shortEntry(("F" + std::to_string(n)).c_str(), kArc, 2, 2048)});
    std::string shared = join(out, "shared");
    std::filesystem::create_directory(std::filesystem::u8path(shared));
    ExtractJob sharing;
    int n = 0;
    for (const ListedEntry& e : readListedEntries(*im, 0))
        EXPECT_EQ(n++ < kMaxCopiesOfCluster ? 0 : kResultDamaged,
                  im->extractEntry(e.entry, e.longName, shared.c_str(), &sharing));
    EXPECT_EQ(size_t(kMaxCopiesOfCluster), namesIn(shared).size());
    std::vector<std::string> messages = takeMessages(*im);
    ASSERT_EQ(size_t(20 - kMaxCopiesOfCluster), messages.size());
    EXPECT_EQ("Could not extract file \"" + join(shared, "F4") +
                  "\"! Its clusters went into other files already (cross-linked chains). Run "
                  "Check disk to repair it.",
              messages[0]);
}

// An entry extracted on its own gets the name it gets inside an extracted folder: the stored 8.3
// name with the lower-case flags applied, not the list's lower-cased display.
TEST_F(ExtractTest, TopLevelEntryGetsTheNameItHasAtEveryDepth) {
    buildTree(*im);
    const uint16_t none[kLongNameUnits] = {};
    std::vector<uint8_t> readme = shortEntry("README.TXT", kArc, 7, 600);
    ASSERT_EQ(0, im->extractEntry(readme.data(), none, out.c_str()));
    EXPECT_EQ(expectedBytes(*im, {7, 8}, 600), readFile(join(out, "README.TXT")));

    std::vector<uint8_t> docs = shortEntry("DOCS", kDir, 2);
    docs[de::kNameCase] = de::kLowerCaseName;
    ASSERT_EQ(0, im->extractEntry(docs.data(), none, out.c_str()));
    EXPECT_EQ((std::set<std::string>{"README.TXT", "docs"}), namesIn(out));

    std::vector<uint8_t> dotdot = shortEntry("..", kDir, 0);
    EXPECT_EQ(0, im->extractEntry(dotdot.data(), none, out.c_str()));
    EXPECT_TRUE(takeMessages(*im).empty());
}

TEST_F(ExtractTest, UnsafeLongNamesAreRefusedAndNothingLeavesTheFolder) {
    build(*im);
    chain(*im, {2, 4, 5});
    dotEntries(*im, 2, 0);
    chain(*im, {3});
    fillCluster(*im, 3);
    const std::u16string bad[] = {
        u"..\\..\\escape", u"../../escape", u"C:\\escape", u"a:b", u"..", u"...", u" . ",
        u"tab\there",      u"x\x7Fy"};
    int i = 2;
    int n = 0;
    for (const std::u16string& name : bad) {
        char s[16];
        std::snprintf(s, sizeof s, "BAD%d", n++);
        i = addEntry(*im, 2, i, name, shortEntry(s, kArc, 3, 10));
    }
    addEntry(*im, 2, i, u"fine name.txt", shortEntry("FINENA~1.TXT", kArc, 3, 10));
    std::string target = join(out, "t");
    EXPECT_EQ(kResultHostIo, im->extractFolder(2, target.c_str()));
    std::vector<std::string> messages = takeMessages(*im);
    ASSERT_EQ(9u, messages.size());
    EXPECT_EQ("Could not create file \"" + join(target, "..\\..\\escape") + "\"!", messages[0]);
    EXPECT_EQ("Could not create file \"" + join(target, "..") + "\"!", messages[4]);
    EXPECT_EQ(expectedBytes(*im, {3}, 10), readFile(join(target, "fine name.txt")));
    int count = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir.path())) (void)e, ++count;
    EXPECT_EQ(2, count);  // t and the one good file
}

// Device names are refused only where the host has devices.
TEST_F(ExtractTest, DeviceNamesAreRefusedOnlyWhereTheHostHasDevices) {
    build(*im);
    chain(*im, {2});
    dotEntries(*im, 2, 0);
    int i = addEntry(*im, 2, 2, u"aux.c", shortEntry("AUX.C", kArc, 0, 0));
    i = addEntry(*im, 2, i, u"Com1", shortEntry("COM1", kArc, 0, 0));
    addEntry(*im, 2, i, u"", shortEntry("NUL", kDir, 0));  // 8.3 folder name
    std::string target = join(out, "t");
#ifdef _WIN32
    EXPECT_EQ(kResultHostIo, im->extractFolder(2, target.c_str()));
    std::vector<std::string> messages = takeMessages(*im);
    ASSERT_EQ(3u, messages.size());
    EXPECT_EQ("Could not create file \"" + join(target, "aux.c") + "\"!", messages[0]);
    EXPECT_EQ("Could not create directory \"" + join(target, "NUL") + "\"!", messages[2]);
    for (const char* device : {"con.txt.bak", "PRN", "aux ", "Nul.", "com9.log", "LPT1", "conout$"})
        EXPECT_FALSE(isSafeHostName(device)) << device;
    for (const char* plain : {"console", "com0", "lpt10", "conin", "auxiliary.c"})
        EXPECT_TRUE(isSafeHostName(plain)) << plain;
#else
    EXPECT_EQ(0, im->extractFolder(2, target.c_str()));
    EXPECT_TRUE(exists(join(target, "aux.c")));
    EXPECT_TRUE(exists(join(target, "NUL")));
    EXPECT_TRUE(isSafeHostName("con.txt.bak"));
#endif
    EXPECT_FALSE(isSafeHostName("a/b"));
    EXPECT_TRUE(isSafeHostName("..a"));
    EXPECT_TRUE(isSafeHostName("Überweisung 2024.pdf"));
}

TEST_F(ExtractTest, FileWriteRunsSpanManyClusters) {
    build(*im);
    // 150 clusters of 512 bytes, more than one write run.
    std::vector<int> clusters;
    for (int c = 2; c < 152; ++c) {
        fillCluster(*im, c);
        im->fatTable[c] = static_cast<uint16_t>(c + 1);
    }
    im->fatTable[151] = 0xFFF;
    std::string path = join(out, "big.bin");
    ASSERT_EQ(0, im->extractFile(2, path.c_str(), 150 * 512 - 3));
    std::vector<uint8_t> got = readFile(path);
    ASSERT_EQ(150u * 512 - 3, got.size());
    EXPECT_EQ(0, std::memcmp(got.data() + 100 * 512, im->clusterData(102), 512));

    // Fragmented: runs long enough to be written on their own between single clusters that are
    // gathered; the file keeps the chain's order.
    std::vector<int> order;
    for (int c = 400; c < 480; ++c) order.push_back(c);
    for (int c : {300, 302, 304}) order.push_back(c);
    for (int c = 500; c < 600; ++c) order.push_back(c);
    order.push_back(306);
    std::vector<uint8_t> expected;
    for (size_t i = 0; i < order.size(); ++i) {
        fillCluster(*im, order[i]);
        im->fatTable[order[i]] = static_cast<uint16_t>(i + 1 < order.size() ? order[i + 1] : 0xFFF);
        const uint8_t* d = im->clusterData(static_cast<uint32_t>(order[i]));
        expected.insert(expected.end(), d, d + 512);
    }
    expected.resize(expected.size() - 100);
    ASSERT_EQ(0, im->extractFile(400, path.c_str(), static_cast<uint32_t>(expected.size())));
    EXPECT_EQ(expected, readFile(path));
}

// A plain file of the name is emptied first; a file that cannot be created is reported.
TEST_F(ExtractTest, ExtractFileReplacesAPlainFileOrReportsItCannot) {
    buildTree(*im);
    std::string path = join(out, "README.TXT");
    testing_support::writeFile(path, std::vector<uint8_t>(5000, 1));
    ASSERT_EQ(0, im->extractFile(7, path.c_str(), 600));
    EXPECT_EQ(expectedBytes(*im, {7, 8}, 600), readFile(path));
    EXPECT_TRUE(takeMessages(*im).empty());
    path = join(join(out, "missing folder"), "f.txt");
    EXPECT_EQ(kResultHostIo, im->extractFile(0, path.c_str(), 0));
    EXPECT_EQ(std::vector<std::string>{"Could not create file \"" + path + "\"!"},
              takeMessages(*im));
}

TEST_F(ExtractTest, TempCopyIsListedAndDeletedAtTheEnd) {
    build(*im);
    chain(*im, {2});
    fillCluster(*im, 2);
    std::vector<uint8_t> e = shortEntry("VIEW.TXT", kArc, 2, 100);
    std::string unique = "tolven view " +
                         std::to_string(reinterpret_cast<uintptr_t>(im.get()) % 100000) + ".txt";
    std::vector<uint16_t> name(kLongNameUnits, 0);
    for (size_t k = 0; k < unique.size(); ++k) name[k] = static_cast<uint8_t>(unique[k]);
    MessageList temps;
    char path[4096];
    ASSERT_EQ(0, im->extractTempCopy(e.data(), name.data(), temps, path, sizeof path));
    EXPECT_EQ(expectedBytes(*im, {2}, 100), readFile(path));
    ASSERT_EQ(0, im->extractTempCopy(e.data(), name.data(), temps, path, sizeof path));

    // A folder gives no copy; an unsafe name is refused.
    std::vector<uint8_t> folder = shortEntry("DIR", kDir, 2);
    EXPECT_EQ(0, im->extractTempCopy(folder.data(), name.data(), temps, path, sizeof path));
    EXPECT_STREQ("", path);
    std::vector<uint16_t> evil = name16(u"..\\..\\evil.txt");
    EXPECT_EQ(kResultHostIo, im->extractTempCopy(e.data(), evil.data(), temps, path, sizeof path));
    EXPECT_EQ(1u, takeMessages(*im).size());

    char tempFolder[4096];
    ASSERT_TRUE(hostTempPath(tempFolder, sizeof tempFolder));
    std::string expected = std::string(tempFolder) + unique;
    EXPECT_TRUE(exists(expected));
    deleteTempFiles(temps);  // the second deletion of the same path fails silently
    EXPECT_TRUE(temps.isEmpty());
    EXPECT_FALSE(exists(expected));
}

// --- damaged images ------------------------------------------------------------------------

// A cyclic chain ends after every cluster once; links naming no data cluster give a shorter file.
TEST_F(ExtractTest, DamagedChainsEndTheFile) {
    build(*im, 1, 224, 200);  // a small image: 167 clusters
    chain(*im, {2, 3, 4});
    im->fatTable[4] = 2;
    for (int c = 2; c <= 4; ++c) fillCluster(*im, c);
    std::string path = join(out, "cycle.bin");
    ASSERT_EQ(0, im->extractFile(2, path.c_str(), 0xFFFFFFFFu));
    EXPECT_EQ(3u * 512, readFile(path).size());
    const uint16_t links[] = {0x001, 0xFF0, 0xFF8, static_cast<uint16_t>(im->clusterCount + 2)};
    for (uint16_t link : links) {
        im->fatTable[2] = link;
        ASSERT_EQ(0, im->extractFile(2, path.c_str(), 2000));
        EXPECT_EQ(512u, readFile(path).size()) << link;
    }
    ASSERT_EQ(0, im->extractFile(static_cast<uint16_t>(im->clusterCount + 2), path.c_str(), 99));
    EXPECT_TRUE(readFile(path).empty());
}

TEST_F(ExtractTest, FolderLeadingBackToAncestorIsReportedAndSkipped) {
    build(*im);
    chain(*im, {2});
    chain(*im, {3});
    dotEntries(*im, 2, 0);
    dotEntries(*im, 3, 2);
    addEntry(*im, 2, 2, u"child", shortEntry("CHILD", kDir, 3));
    int i = addEntry(*im, 3, 2, u"loop", shortEntry("LOOP", kDir, 2));  // back to its grandparent
    addEntry(*im, 3, i, u"zero", shortEntry("ZERO", kDir, 0));          // would be the root
    place(*im, 0, 0, {shortEntry("ROOTFILE", kArc, 0, 0)});
    std::string target = join(out, "top");
    EXPECT_EQ(kResultDamaged, im->extractFolder(2, target.c_str()));
    std::string child = join(target, "child");
    EXPECT_EQ(std::vector<std::string>{"Could not extract folder \"" + join(child, "loop") +
                                       "\"! It leads to a folder extracted before (a cross-linked "
                                       "or looping folder). Run Check disk to repair it."},
              takeMessages(*im));
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(join(child, "zero"))));
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::u8path(join(child, "zero"))));
}

TEST_F(ExtractTest, PathPastMaxPathIsExtracted) {
    build(*im);
    chain(*im, {2, 3});
    dotEntries(*im, 2, 0);
    std::u16string longName(250, u'n');
    addEntry(*im, 2, 2, longName, shortEntry("NNNNNN~1", kArc, 0, 0));
    std::string target = join(out, std::string(200, 'd'));
    EXPECT_EQ(0, im->extractFolder(2, target.c_str()));
    EXPECT_EQ(std::set<std::string>{std::string(250, 'n')}, namesIn(target));
}

#ifndef _WIN32

// A symbolic link or a hard-linked file already in the target folder is never written through:
// the entry is refused and what the link leads to stays as it was.
TEST_F(ExtractTest, NeverWritesThroughALinkInTheTarget) {
    namespace fs = std::filesystem;
    buildTree(*im);
    std::string victim = dir.file("victim");
    testing_support::writeFile(victim, {1, 2, 3});
    fs::create_directories(join(out, "to"));
    fs::create_symlink(victim, join(out, "to/README.TXT"));
    fs::create_hard_link(victim, join(out, "to/INNER.BIN"));
    for (const char* name : {"README.TXT", "INNER.BIN"}) {
        std::string path = join(out, std::string("to/") + name);
        EXPECT_EQ(kResultHostIo, im->extractFile(7, path.c_str(), 600)) << name;
        EXPECT_EQ(std::vector<std::string>{"Could not create file \"" + path + "\"!"},
                  takeMessages(*im));
    }
    EXPECT_TRUE(fs::is_symlink(join(out, "to/README.TXT")));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), readFile(victim));
}
#endif

}  // namespace
