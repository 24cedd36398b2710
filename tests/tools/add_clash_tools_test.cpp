// `add --skip` and `add --replace` on names the folder holds, checked with fsck.fat -n and mcopy.
#include <gtest/gtest.h>

#include <filesystem>

#include "tool_support.h"

using namespace tool_support;
using testing_support::readFile;

TEST(AddClashTools, SkipLeavesTheImageReplaceUpdatesFilesAndMergesFolders) {
    testing_support::TempDir dir;
    auto put = [&](const std::string& rel, size_t size) {
        std::filesystem::create_directories((dir.path() / rel).parent_path());
        testing_support::writeFile(dir.file(rel), std::vector<uint8_t>(size, rel[0]));
        return dir.file(rel);
    };
    std::string image = dir.file("clash.img"), add = cli() + " add " + quote(image) + " ";
    put("old/docs/a.txt", 3000);
    ASSERT_EQ(0, run(cli() + " new " + quote(image) + " --type 2").status);
    ASSERT_EQ(0, run(add + quote(dir.file("old/docs")) + " " + put("old/Top.bin", 900)).status);
    std::vector<uint8_t> before = readFile(image);
    put("new/docs/a.txt", 5000), put("new/docs/b.txt", 7);
    std::string paths = quote(dir.file("new/docs")) + " " + quote(put("new/TOP.BIN", 1200));
    EXPECT_EQ(0, run(add + paths + " --skip").status);
    EXPECT_EQ(before, readFile(image));

    EXPECT_EQ(0, run(add + paths + " --replace").status);
    std::string report, out = dir.file("out");
    EXPECT_TRUE(fsckClean(image, &report)) << report;
    ASSERT_EQ(0, run("mkdir " + out + " && mcopy -s -n -i " + quote(image) + " ::/ " + out).status);
    for (const char* file : {"docs/a.txt", "docs/b.txt", "TOP.BIN"})
        EXPECT_EQ(readFile(dir.file(std::string("new/") + file)),
                  readFile(out + "/" + (file[0] == 'T' ? "Top.bin" : file)));  // the name it had
    EXPECT_EQ("Could not replace folder \"docs\" with a file!\nerror 780\n",
              run(add + quote(put("file/docs", 1)) + " --replace").output);
}
