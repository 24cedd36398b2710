// `add --skip` and `add --replace` on names the folder holds, checked with fsck.fat -n and mcopy.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tool_support.h"

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;
namespace fs = std::filesystem;

TEST(AddClashTools, SkipLeavesTheImageReplaceUpdatesFilesAndMergesFolders) {
    TempDir dir;
    auto put = [&](const std::string& rel, size_t size, char fill) {
        fs::create_directories((dir.path() / rel).parent_path());
        writeFile(dir.file(rel), std::vector<uint8_t>(size, static_cast<uint8_t>(fill)));
        return quote(dir.file(rel));
    };
    std::string image = quote(dir.file("clash.img"));
    ASSERT_EQ(0, run(cli() + " new " + image + " --type 2").status);
    std::string add = cli() + " add " + image + " ";
    put("old/docs/a.txt", 3000, 'o');
    ASSERT_EQ(0, run(add + quote(dir.file("old/docs")) + " " + put("old/Top.bin", 900, 'o')).status);
    std::vector<uint8_t> before = readFile(dir.file("clash.img"));
    put("new/docs/a.txt", 5000, 'n');
    put("new/docs/b.txt", 7, 'b');
    put("new/TOP.BIN", 1200, 'n');
    std::string paths = quote(dir.file("new/docs")) + " " + quote(dir.file("new/TOP.BIN"));
    EXPECT_EQ(2, run(add + paths + " --skip --replace").status);
    EXPECT_EQ(0, run(add + paths + " --skip").status);
    EXPECT_EQ(before, readFile(dir.file("clash.img")));

    EXPECT_EQ(0, run(add + paths + " --replace").status);
    std::string report;
    EXPECT_TRUE(tool_support::fsckClean(dir.file("clash.img"), &report)) << report;
    fs::path out = dir.path() / "out";
    fs::create_directories(out);
    ASSERT_EQ(0, run("mcopy -s -n -i " + image + " ::/ " + quote(out.string())).status);
    EXPECT_EQ(readFile(dir.file("new/docs/a.txt")), readFile((out / "docs/a.txt").string()));
    EXPECT_EQ(readFile(dir.file("new/docs/b.txt")), readFile((out / "docs/b.txt").string()));
    // The entry keeps the name it had.
    EXPECT_EQ(readFile(dir.file("new/TOP.BIN")), readFile((out / "Top.bin").string()));

    auto kind = run(add + put("file/docs", 1, 'f') + " --replace");
    EXPECT_EQ(1, kind.status);
    EXPECT_EQ("Could not replace folder \"docs\" with a file!\nerror 780\n", kind.output);
}
