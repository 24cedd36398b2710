// Insertion, new --from and convert checked by the tools users trust: fsck.fat -n clean, mcopy -s
// gives back names and bytes, mdir shows the 8.3 names and lists a converted image as its source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/disk_types.h"
#include "tool_support.h"

using testing_support::newImage;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;
using tool_support::treeOf;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> pattern(size_t n, int seed) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 13 + seed + i / 509);
    return bytes;
}

// The 8.3 names mdir lists in an image folder, by long name (or by the 8.3 name itself when the
// entry has no long name), as "NAME    EXT".
std::map<std::string, std::string> mdirShortNames(const std::string& image,
                                                  const std::string& folder) {
    std::map<std::string, std::string> names;
    auto listed = run("LC_ALL=C.UTF-8 mdir -i " + quote(image) + " " + quote("::" + folder));
    EXPECT_EQ(0, listed.status) << listed.output;
    size_t at = 0;
    while (at < listed.output.size()) {
        size_t end = listed.output.find('\n', at);
        if (end == std::string::npos) end = listed.output.size();
        std::string line = listed.output.substr(at, end - at);
        at = end + 1;
        // "MYFILE~1 TXT         3 2026-12-07   6:24  my file name.txt"
        // Columns count characters (mdir prints UTF-8): the byte where column n begins.
        auto col = [&line](size_t n) {
            size_t b = 0;
            for (; b < line.size() && n > 0; --n)
                while (++b < line.size() && (line[b] & 0xC0) == 0x80) continue;
            return b;
        };
        if (line.size() < 40 || line[0] == ' ' || line[col(8)] != ' ') continue;
        if (line.compare(0, 9, ".        ") == 0 || line.compare(0, 9, "..       ") == 0) continue;
        std::string shortName = line.substr(0, col(8)) + line.substr(col(9), col(12) - col(9));
        size_t longAt = line.find("  ", col(38));
        std::string longName;
        if (longAt != std::string::npos) longName = line.substr(longAt + 2);
        while (!longName.empty() && longName.back() == ' ') longName.pop_back();
        names[longName.empty() ? shortName : longName] = shortName;
    }
    return names;
}

std::string randomName(size_t length, char fill) { return std::string(length, fill); }

class InsertTools : public ::testing::Test {
protected:
    // A host tree with every kind of name and size the insertion must get right.
    void buildSource() {
        src = dir.path() / "src";
        fs::create_directories(src);
        auto put = [this](const fs::path& rel, const std::vector<uint8_t>& bytes) {
            fs::create_directories((src / rel).parent_path());
            writeFile((src / rel).string(), bytes);
        };
        put("a", pattern(1, 1));
        put(randomName(13, 'b'), pattern(13, 2));
        put(randomName(14, 'c'), pattern(14, 3));
        put(randomName(26, 'd'), pattern(26, 4));
        put(std::string(120, 'e') + ".txt", pattern(100, 5));
        put(std::string(240, 'f') + ".bin", pattern(10, 6));
        put("my file name.txt", pattern(30, 7));
        put("caf\xc3\xa9 cr\xc3\xa8me.txt", pattern(40, 8));
        // Greek, Cyrillic and CJK (mtools cannot read an emoji's surrogate pair: the unit tests
        // round-trip those).
        const std::string greek =
            "\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac";
        put(greek + "/" + greek + ".txt", pattern(41, 8));
        put(greek + "/\xd0\x9a\xd0\xb8\xd1\x80\xd0\xb8\xd0\xbb\xd0\xbb\xd0\xb8\xd1\x86\xd0\xb0",
            pattern(42, 8));
        put(greek + "/\xe6\xbc\xa2\xe5\xad\x97 \xe6\x96\x87\xe4\xbb\xb6.txt", pattern(43, 8));
        put("README.TXT", pattern(50, 9));
        put("empty.dat", {});
        put("one cluster.bin", pattern(512, 10));
        put("many clusters.bin", pattern(70000, 11));
        for (int i = 1; i <= 12; ++i)
            put("sharedprefix " + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".txt",
                pattern(i * 37, i));
        put("d1/d2/d3/d4/d5/deep file.txt", pattern(600, 12));
        for (int i = 0; i < 60; ++i)
            put("grow/entry number " + std::to_string(i) + " in a growing folder", pattern(i, 13));
    }

    std::string newImageFile(const char* name, int diskType = 2) {
        std::string path = dir.file(name);
        auto made = run(cli() + " new " + quote(path) + " --type " + std::to_string(diskType));
        EXPECT_EQ(0, made.status) << made.output;
        return path;
    }

    // A tree that fits every disk type, the 16 root entries of DMF included.
    void buildSmallSource() {
        src = dir.path() / "small";
        fs::create_directories(src / "Sub Folder" / "Deeper");
        writeFile((src / "README.TXT").string(), pattern(700, 1));
        writeFile((src / "Long file name.txt").string(), pattern(2100, 2));
        writeFile((src / "empty.dat").string(), {});
        for (int i = 0; i < 30; ++i)
            writeFile((src / "Sub Folder" / ("entry " + std::to_string(i) + ".txt")).string(),
                      pattern(i * 53u, i));
        writeFile((src / "Sub Folder" / "Deeper" / "deep file.bin").string(), pattern(3000, 4));
    }
    // fsck.fat finds nothing to repair; mcopy -s copies `from` of the image into a fresh folder.
    fs::path checkedCopy(const std::string& image, const std::string& from = "/") {
        std::string report;
        EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;
        fs::path out = dir.path() / "out";
        fs::remove_all(out);
        fs::create_directories(out);
        auto copied =
            run("mcopy -s -n -i " + quote(image) + " ::" + from + " " + quote(out.string()));
        EXPECT_EQ(0, copied.status) << copied.output;
        return out;
    }
    // fsck.fat is clean, mcopy gives the host tree back; what mdir and mattrib show but free space.
    std::string checkAndList(const std::string& image) {
        EXPECT_EQ(treeOf(src), treeOf(checkedCopy(image)));
        std::string list = "mdir -/ -a -i " + quote(image) + " ::/ | grep -v 'bytes free'";
        return run(list).output + run("mattrib -/ -i " + quote(image) + " ::/").output;
    }

    TempDir dir;
    fs::path src;
};

TEST_F(InsertTools, NewFromFolderThenConvertBetweenEveryPairOfTypes) {
    buildSmallSource();
    for (int s = 0; s < kDiskTypeCount; ++s) {
        SCOPED_TRACE(diskTypeName(s));
        std::string from = dir.file("from.img"), to = dir.file("to.img");
        auto made = run(cli() + " new " + quote(from) + " --type " + std::to_string(s) +
                        " --force --label TREE --from " + quote(src.string()));
        ASSERT_EQ(0, made.status) << made.output;
        ASSERT_EQ(0, run(cli() + " attrib " + quote(from) + " /README.TXT +r +h +s").status);
        std::string listed = checkAndList(from);
        EXPECT_NE(std::string::npos, listed.find("A  SHR     ::/README.TXT")) << listed;
        for (int t = 0; t < kDiskTypeCount; ++t) {
            SCOPED_TRACE(diskTypeName(t));
            auto converted = run(cli() + " convert " + quote(from) + " " + quote(to) + " --type " +
                                 std::to_string(t));
            ASSERT_EQ(0, converted.status) << converted.output;
            EXPECT_EQ(listed, checkAndList(to));
        }
    }
}

TEST_F(InsertTools, NewFromAndConvertRefusalsLeaveNoImageAndTheSourceAlone) {
    buildSmallSource();
    std::string full = dir.file("full.img"), small = dir.file("small.img"),
                link = dir.file("link.img"), from = " --from " + quote(src.string());
    writeFile((src / "big.bin").string(), pattern(400 * 1024, 5));
    ASSERT_EQ(0, run(cli() + " new " + quote(full) + " --type 1440KB" + from).status);
    std::vector<uint8_t> before = readFile(full);
    EXPECT_EQ(1, run(cli() + " new " + quote(small) + " --type 360" + from).status);
    auto convert = run(cli() + " convert " + quote(full) + " " + quote(small) + " --type 360KB");
    EXPECT_EQ(1, convert.status);
    EXPECT_NE(std::string::npos, convert.output.find("clusters")) << convert.output;
    EXPECT_FALSE(fs::exists(small));
    fs::create_symlink(full, link);
    for (const std::string& same : {full, link})
        EXPECT_EQ(2, run(cli() + " convert " + quote(full) + " " + quote(same)).status);
    EXPECT_EQ(before, readFile(full));
}

TEST_F(InsertTools, FsckCleanAndMcopyGivesBackNamesAndBytes) {
    buildSource();
    std::unique_ptr<VolumeImage> image = newImage(2);
    int inserted = 0;
    ASSERT_EQ(0, image->insertHostPath(0, src.string().c_str(), &inserted));
    std::string path = dir.file("filled.img");
    ASSERT_EQ(0, image->saveImageFile(path.c_str()));

    EXPECT_EQ(treeOf(src), treeOf(checkedCopy(path, "/src") / "src"));

    auto names = mdirShortNames(path, "/src");
    EXPECT_EQ("A          ", names["a"]);
    EXPECT_EQ("BBBBBB~1   ", names[randomName(13, 'b')]);
    EXPECT_EQ("EEEEEE~1TXT", names[std::string(120, 'e') + ".txt"]);
    EXPECT_EQ("MYFILE~1TXT", names["my file name.txt"]);
    // Code page 437 has the "\xc3\x89" (byte 0x90, as in mtools' 850) but no "\xc3\x88".
    EXPECT_EQ(
        "CAF\xc3\x89"
        "CR~1TXT",
        names["caf\xc3\xa9 cr\xc3\xa8me.txt"]);
    EXPECT_EQ("README  TXT", names["README  TXT"]);  // stored as is, no long name
    EXPECT_EQ("ONECLU~1BIN", names["one cluster.bin"]);
    EXPECT_EQ("SHARED~1TXT", names["sharedprefix 01.txt"]);
    EXPECT_EQ("SHARED~9TXT", names["sharedprefix 09.txt"]);
    EXPECT_EQ("SHARE~10TXT", names["sharedprefix 10.txt"]);
    EXPECT_EQ("SHARE~12TXT", names["sharedprefix 12.txt"]);
    EXPECT_EQ("D1         ", names["d1"]);
    auto grow = mdirShortNames(path, "/src/grow");
    EXPECT_EQ(60u, grow.size());
    EXPECT_EQ("ENTRYN~1   ", grow["entry number 0 in a growing folder"]);
    EXPECT_EQ("ENTRY~10   ", grow["entry number 17 in a growing folder"]);  // sorted: 0, 1, 10..19
}

TEST_F(InsertTools, FillingTheDiskRefusesTheRestAndStaysClean) {
    std::unique_ptr<VolumeImage> image = newImage(6);  // 160KB
    fs::create_directories(dir.path() / "fill");
    int files = 0;
    for (;;) {
        std::string host = (dir.path() / "fill" / ("chunk " + std::to_string(files))).string();
        writeFile(host, pattern(7000, files));
        std::vector<uint8_t> before = snapshot(*image);
        int result = image->insertHostFile(0, host.c_str(),
                                           ("chunk number " + std::to_string(files)).c_str());
        if (result != 0) {
            EXPECT_EQ(kResultNoSpace, result);
            EXPECT_EQ(before, snapshot(*image));
            break;
        }
        ASSERT_LT(++files, 100);
    }
    EXPECT_EQ(22, files);  // 155 clusters of 1024 bytes, 7 clusters a file
    std::string path = dir.file("full.img");
    ASSERT_EQ(0, image->saveImageFile(path.c_str()));
    fs::path out = checkedCopy(path);
    EXPECT_EQ(static_cast<size_t>(files), treeOf(out).size());
    EXPECT_EQ(pattern(7000, 21), readFile((out / "chunk number 21").string()));
}

TEST_F(InsertTools, LastWriteTimeIsHostLocalTime) {
    std::string host = dir.file("dated.txt");
    writeFile(host, pattern(5, 1));
    // A fixed zone without tzdata: 05:06:08 local is 10:06:08 UTC.
    ASSERT_EQ(0, run("TZ=EST5 touch -d '2021-03-04 05:06:08' " + quote(host)).status);
    std::string image = newImageFile("dated.img");
    auto added = run("TZ=EST5 " + cli() + " add " + quote(image) + " " + quote(host));
    ASSERT_EQ(0, added.status) << added.output;
    auto listed = run("mdir -i " + quote(image) + " ::/");
    EXPECT_NE(std::string::npos, listed.output.find("2021-03-04   5:06  dated.txt"))
        << listed.output;
    std::vector<uint8_t> bytes = readFile(image);
    // The entry after the label and the long-name slot: time 05:06:08 and date 2021-03-04.
    const uint8_t* entry = bytes.data() + 512 + 9 * 512 * 2 + 2 * 32;
    EXPECT_EQ(5 * 2048 + 6 * 32 + 4, entry[22] | entry[23] << 8);
    EXPECT_EQ((2021 - 1980) * 512 + 3 * 32 + 4, entry[24] | entry[25] << 8);
    EXPECT_TRUE(tool_support::fsckClean(image));
}

TEST_F(InsertTools, AddRefusalsLeaveTheImageFileByteForByte) {
    std::string image = newImageFile("refuse.img");
    std::string host = dir.file("data.bin");
    writeFile(host, pattern(2000, 3));
    ASSERT_EQ(0, run(cli() + " add " + quote(image) + " " + quote(host)).status);
    std::vector<uint8_t> before = readFile(image);

    auto again = run(cli() + " add " + quote(image) + " " + quote(host));
    EXPECT_EQ(1, again.status);
    EXPECT_NE(std::string::npos, again.output.find("File \"data.bin\" already exists!\nerror 620"))
        << again.output;
    auto missing = run(cli() + " add " + quote(image) + " " + quote(dir.file("nope")));
    EXPECT_EQ(1, missing.status);
    EXPECT_NE(std::string::npos, missing.output.find("Could not read file \"")) << missing.output;
    auto noFolder = run(cli() + " add " + quote(image) + " " + quote(host) + " -d /nowhere");
    EXPECT_EQ(1, noFolder.status);
    EXPECT_EQ(before, readFile(image));

    // One refused and one accepted: the accepted one is saved, the status still says 1.
    std::string other = dir.file("other.bin");
    writeFile(other, pattern(10, 4));
    auto mixed = run(cli() + " add " + quote(image) + " " + quote(host) + " " + quote(other));
    EXPECT_EQ(1, mixed.status);
    auto names = mdirShortNames(image, "/");
    EXPECT_EQ(1u, names.count("other.bin"));
    std::string report;
    EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;

    // A refusal and then a failed save: both reported, each with its code, the save's last.
    writeFile(dir.file("third.bin"), pattern(10, 5));
    ASSERT_EQ(0, run("chmod 444 " + quote(image)).status);
    EXPECT_EQ(
        "File \"data.bin\" already exists!\nerror 620\nCould not create image file!\n" + image +
            ": Permission denied\nerror 100\n",
        run(cli() + " add " + quote(image) + " " + quote(host) + " " + quote(dir.file("third.bin")))
            .output);
}

// A subfolder whose free slot (first byte 0) has used slots behind it, as in a damaged image: DOS
// and mtools stop reading at that slot, so a new entry goes in before it or not at all.
TEST_F(InsertTools, EntriesGoWhereMtoolsReadsThem) {
    std::string image = dir.file("end.img"), i = " -i " + quote(image) + " ";
    std::string host = dir.file("DATA.TXT"), longName = dir.file("long name.txt");
    writeFile(host, pattern(5, 1));
    writeFile(longName, pattern(5, 2));
    ASSERT_EQ(0, run(tool_support::mkfsFat() + " -C " + quote(image) + " 1440 >/dev/null && mmd" +
                     i + "::D && mcopy" + i + quote(host) + " ::D/A.TXT && mcopy" + i +
                     quote(host) + " ::D/B.TXT")
                     .status);
    std::vector<uint8_t> bytes = readFile(image);
    std::fill_n(bytes.begin() + 33 * 512 + 2 * 32, 32, 0);  // A.TXT's slot, before B.TXT's
    writeFile(image, bytes);
    EXPECT_EQ("Directory is full, could not insert \"long name.txt\"!\nerror 610\n",
              run(cli() + " add " + quote(image) + " " + quote(longName) + " -d /D").output);
    ASSERT_EQ(0, run(cli() + " add " + quote(image) + " " + quote(host) + " -d /D").status);
    auto names = mdirShortNames(image, "/D");
    EXPECT_EQ(1u, names.count("DATA    TXT") * names.count("B       TXT"));
}

TEST_F(InsertTools, MkdirAndAddIntoNestedFolder) {
    std::string image = newImageFile("mkdir.img");
    ASSERT_EQ(0, run(cli() + " mkdir " + quote(image) + " /Projects").status);
    ASSERT_EQ(
        0, run(cli() + " mkdir " + quote(image) + " " + quote("/projects/Tolven Sources")).status);
    std::vector<uint8_t> before = readFile(image);
    auto twice = run(cli() + " mkdir " + quote(image) + " /PROJECTS");
    EXPECT_EQ(1, twice.status);
    EXPECT_NE(std::string::npos, twice.output.find("File \"PROJECTS\" already exists!"))
        << twice.output;
    EXPECT_EQ(1, run(cli() + " mkdir " + quote(image) + " /missing/child").status);
    EXPECT_EQ(before, readFile(image));

    std::string host = dir.file("notes.txt");
    writeFile(host, pattern(900, 2));
    auto added = run(cli() + " add " + quote(image) + " " + quote(host) +
                     " -d '/projects/tolven sources'");
    ASSERT_EQ(0, added.status) << added.output;
    EXPECT_EQ(pattern(900, 2), readFile((checkedCopy(image, "/Projects") / "Projects" /
                                         "Tolven Sources" / "notes.txt")
                                            .string()));
    EXPECT_EQ("PROJECTS   ", mdirShortNames(image, "/")["Projects"]);
}

// An image made by mkfs.fat and mcopy, extracted by Tolven, inserted by Tolven into a new image
// and extracted again gives the tree mtools was given.
TEST_F(InsertTools, RoundTripThroughExtractAndAdd) {
    buildSource();
    std::string original = dir.file("mtools.img");
    ASSERT_EQ(0, run(tool_support::mkfsFat() + " -C -F 12 " + quote(original) + " 1440").status);
    auto copied = run("mcopy -s -i " + quote(original) + " " + quote(src.string()) + " ::/");
    ASSERT_EQ(0, copied.status) << copied.output;

    fs::path first = dir.path() / "first";
    fs::path second = dir.path() / "second";
    fs::create_directories(first);
    fs::create_directories(second);
    auto extracted = run(cli() + " extract " + quote(original) + " -d " + quote(first.string()));
    ASSERT_EQ(0, extracted.status) << extracted.output;
    // mtools keeps short lower-case names such as "src" as 8.3 names with its case flags: they
    // come back as they went in.
    ASSERT_EQ(treeOf(src), treeOf(first / "src"));

    std::string copy = newImageFile("copy.img");
    auto added = run(cli() + " add " + quote(copy) + " " + quote((first / "src").string()));
    ASSERT_EQ(0, added.status) << added.output;
    std::string report;
    EXPECT_TRUE(tool_support::fsckClean(copy, &report)) << report;
    auto again = run(cli() + " extract " + quote(copy) + " -d " + quote(second.string()));
    ASSERT_EQ(0, again.status) << again.output;
    EXPECT_EQ(treeOf(first), treeOf(second));
}

}  // namespace
