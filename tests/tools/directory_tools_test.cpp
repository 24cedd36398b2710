// The walker, extraction and deletion against the tools users trust: images made at test time
// with mkfs.fat and mtools, extraction compared with `mcopy -s`, deletion checked with
// `fsck.fat -n` and mtools' own listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "image/boot_sector.h"
#include "platform/host_text.h"
#include "tool_support.h"

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;
using tool_support::treeOf;

namespace fs = std::filesystem;

namespace {

const std::string kLong100 =
    "A rather long file name that goes on and on, well past one hundred characters, to fill "
    "pieces.txt";
const std::string kLong220 = std::string(200, 'L') + " twenty more chars.dat";

// Deterministic content of `size` bytes that differs per name.
std::vector<uint8_t> content(const std::string& name, size_t size) {
    std::vector<uint8_t> out(size);
    uint32_t x = 2166136261u;
    for (char c : name) x = (x ^ static_cast<uint8_t>(c)) * 16777619u;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<uint8_t>(x >> 16);
    }
    return out;
}

void put(const fs::path& root, const std::string& rel, size_t size) {
    fs::path p = root / fs::u8path(rel);
    fs::create_directories(p.parent_path());
    writeFile(p.string(), content(rel, size));
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

std::string mtools(const std::string& command) { return "LC_ALL=C.UTF-8 " + command; }

// mtools' bare recursive listing: one "::/path" a line, sorted.
std::vector<std::string> mdirPaths(const std::string& image) {
    auto r = run(mtools("mdir -/ -a -b -i " + quote(image) + " ::/"));
    std::vector<std::string> out;
    std::istringstream in(r.output);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("::/", 0) == 0) {
            if (line.back() == '/') line.pop_back();  // folders end in '/'
            out.push_back(line.substr(2));
        }
    std::sort(out.begin(), out.end());
    return out;
}

struct DirectoryTools : ::testing::Test {
    TempDir dir;
    fs::path src = dir.path() / "src";
    std::string image = dir.file("test.img");

    void SetUp() override {
        put(src, "+", 1);                            // a long name of 1 character
        put(src, "Thirteen.Char", 600);              // 13
        put(src, "Fourteen.Chars", 513);             // 14
        put(src, "Twenty-six characters.txt", 512);  // 26
        put(src, kLong100, 5000);                    // 100+
        put(src, "name with spaces.txt", 2);
        put(src, "Ünïcödé àccents.txt", 1500);
        put(src, "README.TXT", 100);  // 8.3 only
        put(src, "notes.txt", 3);     // 8.3 only, with mtools' lower-case flags
        put(src, "Docs/DATA.BIN", 2048);
        put(src, "Docs/empty", 0);
        put(src, "l1/Level Two/l3/Level Four/l5/deep file.txt", 777);
        put(src, "l1/Level Two/l3/Level Four/l5/DEEP.TXT", 10);
        // A folder spanning several clusters, long names crossing their ends.
        for (int i = 0; i < 45; ++i)
            put(src, "Many Files/entry number " + std::to_string(i) + " of many.txt",
                static_cast<size_t>(i * 37));
        // mtools cannot add this name to the crowded folder ("No directory slots"): a folder of
        // its own, behind two shorter names so that it crosses a cluster end.
        put(src, "Long Names/first of the long names in this folder.txt", 1);
        put(src, "Long Names/" + kLong220, 3000);
    }

    void makeImage(const std::string& mkfsOptions = "", const std::string& size = "1440") {
        auto made = run(tool_support::mkfsFat() + " -C -F 12 " + mkfsOptions + " " + quote(image) +
                        " " + size);
        ASSERT_EQ(0, made.status) << made.output;
        auto copied = run(
            mtools("mcopy -s -m -i " + quote(image) + " " + quote(src.string()) + "/* ::/"));
        ASSERT_EQ(0, copied.status) << copied.output;
    }

    // Fragmented files and deleted entries: a hole left by a deleted file is filled by a larger
    // one, and a deleted long-named entry stays behind as 0xE5 slots.
    void fragmentAndDelete() {
        fs::path extra = dir.path() / "extra";
        put(extra, "one.bin", 1500);
        put(extra, "two.bin", 1500);
        put(extra, "three.bin", 1500);
        put(extra, "Fragmented file.bin", 9000);
        std::string i = " -i " + quote(image) + " ";
        for (const char* f : {"one.bin", "two.bin", "three.bin"})
            ASSERT_EQ(0,
                      run(mtools("mcopy" + i + quote((extra / f).string()) + " ::/Docs/")).status);
        ASSERT_EQ(0, run(mtools("mdel" + i + "::/Docs/two.bin")).status);
        ASSERT_EQ(
            0, run(mtools("mdel" + i + quote("::/Many Files/entry number 3 of many.txt"))).status);
        ASSERT_EQ(0, run(mtools("mcopy" + i + quote((extra / "Fragmented file.bin").string()) +
                                " ::/Docs/"))
                         .status);
        ASSERT_EQ(0, run(mtools("mattrib +r +h" + i + "::/Docs/one.bin")).status);
    }

    std::map<std::string, std::vector<uint8_t>> mcopyTree(const std::string& name) {
        fs::path out = dir.path() / name;
        fs::create_directories(out);
        auto r = run(mtools("mcopy -s -n -i " + quote(image) + " ::/ " + quote(out.string())));
        EXPECT_EQ(0, r.status) << r.output;
        return treeOf(out);
    }

    std::map<std::string, std::vector<uint8_t>> tolvenTree(const std::string& name) {
        fs::path out = dir.path() / name;
        fs::create_directories(out);
        auto r = run(cli() + " extract " + quote(image) + " -d " + quote(out.string()));
        EXPECT_EQ(0, r.status) << r.output;
        return treeOf(out);
    }
};

// The long names of folder `folder` (first cluster) whose slots begin in an earlier cluster than
// their short entry, as UTF-8.
std::vector<std::string> namesCrossingClusters(VolumeImage& im, uint16_t folder) {
    std::vector<std::string> out;
    forEachEntry(im, folder, [&](const WalkedEntry& e) {
        char text[kLongNameUnits * 3 + 1];
        if (e.longNameCluster > 0 && e.longNameCluster != e.entryCluster &&
            utf16ToUtf8(e.longName, kLongNameUnits, text, sizeof text) > 0)
            out.push_back(text);
    });
    return out;
}

uint16_t firstClusterOf(VolumeImage& im, uint16_t folder, const char* shortName11) {
    uint16_t first = 0xFFFF;
    forEachEntry(im, folder, [&](const WalkedEntry& e) {
        if (std::memcmp(e.entry, shortName11, 11) != 0) return false;
        first = entryFirstCluster(e.entry);
        return true;
    });
    return first;
}

// On an image that holds the cases under test: a folder of several clusters with long names
// crossing from one to the next, and a fragmented file written into a hole.
TEST_F(DirectoryTools, ExtractionEqualsMcopyAndRmOfACrossingNameLeavesTheRest) {
    makeImage();
    fragmentAndDelete();
    std::unique_ptr<VolumeImage> im(new VolumeImage);
    ASSERT_EQ(0, im->loadImageFile(image.c_str()));
    uint16_t many = firstClusterOf(*im, 0, "MANYFI~1   ");
    ASSERT_NE(0xFFFF, many);
    EXPECT_NE(0xFFF, im->fatTable[many]);
    std::vector<std::string> crossing = namesCrossingClusters(*im, many);
    ASSERT_FALSE(crossing.empty());
    uint16_t frag = firstClusterOf(*im, firstClusterOf(*im, 0, "DOCS       "), "FRAGME~1BIN");
    ASSERT_NE(0xFFFF, frag);
    bool jumps = false;
    for (uint16_t c = frag; c >= 2 && c < 0xFF0; c = im->fatTable[c])
        if (im->fatTable[c] < 0xFF0 && im->fatTable[c] != c + 1) jumps = true;
    EXPECT_TRUE(jumps);
    auto mine = tolvenTree("tolven");
    auto theirs = mcopyTree("mcopy");
    EXPECT_EQ(theirs, mine);
    // Long names come out exactly, 8.3 names as stored with their lower-case flags applied (mtools
    // stores "l1" as "L1" with the flag), at every depth.
    for (const std::string& name :
         {std::string("+"), std::string("Thirteen.Char"), std::string("Fourteen.Chars"),
          std::string("Twenty-six characters.txt"), kLong100, std::string("name with spaces.txt"),
          std::string("Ünïcödé àccents.txt"), std::string("README.TXT"), std::string("notes.txt"),
          std::string("Docs/DATA.BIN"), std::string("l1/Level Two/l3/Level Four/l5/deep file.txt"),
          std::string("l1/Level Two/l3/Level Four/l5/DEEP.TXT"), std::string("Docs/one.bin"),
          "Long Names/" + kLong220, std::string("Docs/Fragmented file.bin")})
        EXPECT_EQ(1u, mine.count(name)) << name;
    EXPECT_EQ(0u, mine.count("Many Files/entry number 3 of many.txt"));
    EXPECT_EQ(content("Docs/empty", 0), mine["Docs/empty"]);

    // rm of a name crossing clusters leaves the rest as mtools sees it.
    std::vector<std::string> before = mdirPaths(image);
    auto r = run(cli() + " rm " + quote(image) + " " + quote("Many Files/" + crossing[0]));
    ASSERT_EQ(0, r.status) << r.output;
    std::string report;
    EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;
    before.erase(std::find(before.begin(), before.end(), "/Many Files/" + crossing[0]));
    EXPECT_EQ(before, mdirPaths(image));
}

TEST_F(DirectoryTools, ExtractNamedPathsUsesTheNamesOfTheTree) {
    makeImage();
    fs::path out = dir.path() / "named";
    fs::create_directories(out);
    auto r = run(cli() + " extract " + quote(image) + " 'l1/level two/L3' readme.txt " +
                 quote("many files/ENTRY NUMBER 7 OF MANY.TXT") + " -d " + quote(out.string()));
    ASSERT_EQ(0, r.status) << r.output;
    auto got = treeOf(out);
    EXPECT_EQ(content("l1/Level Two/l3/Level Four/l5/deep file.txt", 777),
              got["l3/Level Four/l5/deep file.txt"]);
    EXPECT_EQ(1u, got.count("README.TXT"));
    EXPECT_EQ(content("Many Files/entry number 7 of many.txt", 7 * 37),
              got["entry number 7 of many.txt"]);

    // A path that is not in the image extracts nothing and says so.
    fs::path none = dir.path() / "none";
    fs::create_directories(none);
    r = run(cli() + " extract " + quote(image) + " README.TXT no/such/file -d " +
            quote(none.string()));
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.output.find("Path \"no/such/file\" not found in image!"));
    EXPECT_TRUE(fs::is_empty(none));

    // Extracting again merges into the folders there; a file of the same name is refused (the
    // others still tried, each entry's failure reported with its code) unless --skip or --replace
    // says what to do.
    auto again = [&](const std::string& more) {
        return run(cli() + " extract " + quote(image) + " Docs l1 -d " + quote(out.string()) +
                   more);
    };
    fs::path data = out / "Docs" / "DATA.BIN";
    ASSERT_EQ(0, again("").status);
    writeFile(data.string(), {'o', 'l', 'd'});
    r = again("");
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.output.find("File \"" + data.string() + "\" already exists!"));
    EXPECT_EQ(std::string::npos, r.output.find("directory")) << r.output;
    EXPECT_NE(r.output.find("error 620\n"), r.output.rfind("error 620\n")) << r.output;
    EXPECT_EQ(0, again(" --skip").status);
    EXPECT_EQ(3u, treeOf(out / "Docs")["DATA.BIN"].size());
    EXPECT_EQ(0, again(" Docs --replace").status);
    EXPECT_EQ(content("Docs/DATA.BIN", 2048), treeOf(out / "Docs")["DATA.BIN"]);
    EXPECT_EQ(2u, treeOf(out / "Docs").size()) << "a path named twice is extracted once";
}

// Extracted files keep the entries' modification times as `mcopy -m` does, here in a zone with
// summer time.
TEST_F(DirectoryTools, ExtractionKeepsTheTimesMcopyKeeps) {
    ASSERT_EQ(0, run("touch -d 2001-07-03 " + quote((src / "README.TXT").string())).status);
    makeImage();
    fs::path mine = dir.path() / "mine", theirs = dir.path() / "theirs";
    for (const fs::path& p : {mine, theirs}) fs::create_directories(p);
    const std::string zone = "TZ=Europe/Berlin ", to = " -i " + quote(image) + " ::/ ";
    ASSERT_EQ(
        0, run(zone + cli() + " extract " + quote(image) + " -d " + quote(mine.string())).status);
    ASSERT_EQ(0, run(zone + mtools("mcopy -s -m -n") + to + quote(theirs.string())).status);
    for (auto& e : fs::recursive_directory_iterator(theirs))
        EXPECT_TRUE(e.is_directory() ||
                    e.last_write_time() ==
                        fs::last_write_time(mine / fs::relative(e.path(), theirs)))
            << e.path();
    EXPECT_GT(fs::file_time_type::clock::now() - fs::last_write_time(mine / "README.TXT"),
              std::chrono::hours(24 * 365));
}

TEST_F(DirectoryTools, LsListsWhatMdirLists) {
    makeImage();
    fragmentAndDelete();
    auto r = run(cli() + " ls " + quote(image) + " -r");
    ASSERT_EQ(0, r.status) << r.output;
    std::vector<std::string> mine;
    std::istringstream in(r.output);
    std::string line;
    std::string oneBin;
    while (std::getline(in, line)) {
        // "attr size date time /path"
        size_t path = line.find(" /");
        ASSERT_NE(std::string::npos, path) << line;
        mine.push_back(lowerAscii(line.substr(path + 1)));
        if (line.find("/Docs/one.bin") != std::string::npos) oneBin = line;
    }
    std::vector<std::string> theirs = mdirPaths(image);
    for (std::string& p : theirs) p = lowerAscii(p);
    std::sort(theirs.begin(), theirs.end());
    std::sort(mine.begin(), mine.end());
    EXPECT_EQ(theirs, mine);
    EXPECT_EQ(0u, oneBin.find("-rah- 1500 ")) << oneBin;

    r = run(cli() + " ls " + quote(image) + " 'L1\\level two'");
    ASSERT_EQ(0, r.status);
    EXPECT_NE(std::string::npos, r.output.find("d---- 0 "));
    EXPECT_NE(std::string::npos, r.output.find(" /l1/Level Two/l3\n"));
    EXPECT_EQ(std::string::npos, r.output.find("Level Four"));  // not recursive
}

// Other layouts: 2 KB clusters, and a full root walked to its last slot.
TEST_F(DirectoryTools, OtherLayoutsExtractAsMcopyDoes) {
    makeImage("-s 4 -r 112 -f 2", "1680");
    EXPECT_EQ(mcopyTree("mcopy"), tolvenTree("tolven"));
    fs::remove_all(src);
    fs::remove_all(dir.path() / "mcopy");
    fs::remove_all(dir.path() / "tolven");
    fs::remove(image);
    for (int i = 0; i < 16; ++i) put(src, "F" + std::to_string(i) + ".TXT", static_cast<size_t>(i));
    makeImage("-r 16");
    auto r = run(cli() + " ls " + quote(image));
    ASSERT_EQ(0, r.status) << r.output;
    EXPECT_EQ(16, std::count(r.output.begin(), r.output.end(), '\n'));
    EXPECT_EQ(mcopyTree("mcopy"), tolvenTree("tolven"));
}

TEST_F(DirectoryTools, RmLeavesImagesFsckAcceptsWithEverythingElseUnchanged) {
    makeImage();
    fragmentAndDelete();
    std::vector<std::string> before = mdirPaths(image);
    auto r = run(cli() + " rm " + quote(image) + " 'many files' l1 " + quote(kLong100) +
                 " docs/one.bin '/Docs/Fragmented file.bin' +");
    ASSERT_EQ(0, r.status) << r.output;
    std::string report;
    EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;

    std::vector<std::string> expected;
    for (const std::string& p : before) {
        if (p.rfind("/Many Files", 0) == 0 || p.rfind("/l1", 0) == 0 || p == "/" + kLong100 ||
            p == "/Docs/one.bin" || p == "/Docs/Fragmented file.bin" || p == "/+")
            continue;
        expected.push_back(p);
    }
    EXPECT_EQ(expected, mdirPaths(image));

    // The freed clusters count as free: the same files copied by mtools into a fresh image
    // leave exactly as much room.
    std::string fresh = dir.file("fresh.img");
    fs::path keep = dir.path() / "keep";
    for (const char* f : {"Thirteen.Char", "Fourteen.Chars", "Twenty-six characters.txt",
                          "name with spaces.txt", "Ünïcödé àccents.txt", "README.TXT", "notes.txt"})
        put(keep, f, fs::file_size(src / fs::u8path(f)));
    put(keep, "Docs/DATA.BIN", 2048);
    put(keep, "Docs/empty", 0);
    put(keep, "Docs/three.bin", 1500);
    put(keep, "Long Names/first of the long names in this folder.txt", 1);
    put(keep, "Long Names/" + kLong220, 3000);
    ASSERT_EQ(0, run(tool_support::mkfsFat() + " -C -F 12 " + quote(fresh) + " 1440").status);
    ASSERT_EQ(
        0,
        run(mtools("mcopy -s -i " + quote(fresh) + " " + quote(keep.string()) + "/* ::/")).status);
    auto freeOf = [](const std::string& img) {
        auto info = run(cli() + " info " + quote(img));
        size_t at = info.output.find("free_clusters:");
        return info.output.substr(at, info.output.find('\n', at) - at);
    };
    EXPECT_EQ(freeOf(fresh), freeOf(image));

    // What is left still extracts as mtools sees it.
    EXPECT_EQ(mcopyTree("mcopy"), tolvenTree("tolven"));
}

TEST_F(DirectoryTools, FailedRmLeavesTheFileAsItWasNestedRmIsHarmless) {
    makeImage();
    std::vector<uint8_t> original = readFile(image);
    auto r = run(cli() + " rm " + quote(image) + " README.TXT not/there");
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.output.find("Path \"not/there\" not found in image!"));
    EXPECT_EQ(original, readFile(image));
    r = run(cli() + " rm " + quote(image) + " /");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(original, readFile(image));
    EXPECT_EQ(2, run(cli() + " rm " + quote(image)).status);
    // A file inside a folder removed by the same command is harmless.
    r = run(cli() + " rm " + quote(image) + " Docs Docs/DATA.BIN");
    ASSERT_EQ(0, r.status) << r.output;
    std::string report;
    EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;
}

// Names: one case folding (Greek and Cyrillic too) for add's clash check and rm's lookup; a
// stored 8.3 name with a blank inside is read whole, so "a.txt" is another name; control and
// format characters in a name are escaped in ls output instead of forging a line.
TEST_F(DirectoryTools, NamesFoldReadAndPrintOneWay) {
    fs::path n = dir.path() / "names";
    put(n, "\u03a3\u0436.txt", 10);
    put(n, "\u03c3\u0416.TXT", 20);
    put(n, "a.txt", 30);
    put(n, "abcdefghij.txt", 3);
    std::string i = quote(image);
    ASSERT_EQ(0, run(cli() + " new " + i + " --type 2").status);
    std::string m = mtools("mcopy -i " + i + " " + quote((n / "abcdefghij.txt").string()));
    ASSERT_EQ(0, run(m + " ::/abcdefghij.txt && " + m + " ::/AXB.TXT").status);
    auto bytes = readFile(image);
    std::string raw(bytes.begin(), bytes.end());
    bytes[raw.find("AXB     TXT") + 1] = ' ';
    bytes[raw.find(std::string("a\0b\0c\0", 6)) + 4] = '\n';
    writeFile(image, bytes);

    ASSERT_EQ(0, run(cli() + " add " + i + " " + quote((n / "\u03a3\u0436.txt").string())).status);
    auto clash = run(cli() + " add " + i + " " + quote((n / "\u03c3\u0416.TXT").string()));
    EXPECT_EQ("File \"\u03c3\u0416.TXT\" already exists!\nerror 620\n", clash.output);
    ASSERT_EQ(0, run(cli() + " add " + i + " " + quote((n / "a.txt").string())).status);
    // A right-to-left override and invalid UTF-8 (an argument's) are escaped like controls.
    put(n, "r\u202egpj.exe", 1);
    put(n, "a\xff.txt", 1);
    EXPECT_EQ("Invalid file name \"a\\xff.txt\"!\nerror 640\n",
              run(cli() + " add " + i + " " + quote((n / "r\u202egpj.exe").string()) + " " +
                  quote((n / "a\xff.txt").string()))
                  .output);
    auto ls = run(cli() + " ls " + i).output;
    for (const char* line :
         {" 3 ", "/ab\\x0adefghij.txt\n", "/A B.TXT\n", "/a.txt\n", "/r\\xe2\\x80\\xaegpj.exe\n"})
        EXPECT_NE(std::string::npos, ls.find(line)) << line << " in\n" << ls;
    EXPECT_EQ(5, std::count(ls.begin(), ls.end(), '\n')) << ls;
    fs::create_directories(dir.path() / "out");
    ASSERT_EQ(
        0,
        run(cli() + " extract " + i + " /A.TXT -d " + quote((dir.path() / "out").string())).status);
    EXPECT_EQ(content("a.txt", 30), readFile((dir.path() / "out" / "a.txt").string()));
    ASSERT_EQ(0, run(cli() + " rm " + i + " /\u03c3\u0416.txt").status);
    // mtools reads the two odd names its own way (cut at the blank, the line broken), but sees
    // three entries and the one inserted under a Greek name gone.
    auto paths = mdirPaths(image);
    EXPECT_EQ(4u, paths.size());
    EXPECT_EQ(1, std::count(paths.begin(), paths.end(), "/a.txt"));
    EXPECT_TRUE(tool_support::fsckClean(image));
}

}  // namespace
