// tolven-cli rename, attrib and label against the tools users trust: every image they write passes
// fsck.fat -n, and mtools sees the new names (mdir), attributes (mattrib) and label (mlabel -s).
#include <gtest/gtest.h>

#include <string>

#include "tool_support.h"

using testing_support::readFile;
using testing_support::TempDir;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;

namespace {

class EditTools : public ::testing::Test {
protected:
    void SetUp() override {
        image = dir.file("edit.img");
        std::string i = " -i " + quote(image) + " ", file = quote(dir.file("data"));
        ASSERT_EQ(0, run("printf 'some data' > " + file + " && " + tool_support::mkfsFat() +
                         " -C -n MTOOLSLBL " + quote(image) + " 1440 && mcopy" + i + file +
                         " ::README.TXT && mcopy" + i + file + " '::Long name of a file.txt'" +
                         " && mmd" + i + "::DOCS && mcopy" + i + file + " ::DOCS/NOTES.TXT")
                         .status);
    }
    // Runs tolven-cli with `args` after the image; the image must then pass fsck.fat -n.
    tool_support::CommandResult tolven(const std::string& command, const std::string& args) {
        tool_support::CommandResult r = run(cli() + " " + command + " " + quote(image) + " " +
                                            args);
        std::string report;
        EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;
        return r;
    }

    TempDir dir;
    std::string image;
};

TEST_F(EditTools, RenamesAreWhatMtoolsSees) {
    EXPECT_EQ(0, tolven("rename", "'long NAME of a file.TXT' 'Shorter.txt'").status);
    EXPECT_EQ(0, tolven("rename", "readme.txt 'Read me first.txt'").status);
    EXPECT_EQ(0, tolven("rename", "DOCS 'My documents'").status);
    EXPECT_EQ(0, tolven("rename", "'my documents/notes.txt' NOTES2.TXT").status);
    std::string root = run("mdir -i " + quote(image) + " ::").output;
    EXPECT_NE(std::string::npos, root.find("SHORTER  TXT         9")) << root;
    EXPECT_NE(std::string::npos, root.find("README~1 TXT         9")) << root;
    EXPECT_NE(std::string::npos, root.find("Read me first.txt")) << root;
    EXPECT_EQ("some data", run("mtype -i " + quote(image) + " '::My documents/NOTES2.TXT'").output);

    // Refused: the file stays byte for byte, with the message and code on standard error.
    std::vector<uint8_t> before = readFile(image);
    EXPECT_EQ("File \"READ ME FIRST.TXT\" already exists!\nerror 620\n",
              tolven("rename", "Shorter.txt 'READ ME FIRST.TXT'").output);
    EXPECT_EQ(before, readFile(image));
}

TEST_F(EditTools, AttributesAndLabelAreWhatMattribAndMlabelSee) {
    EXPECT_EQ("--a-- /README.TXT\n", tolven("attrib", "readme.txt").output);
    EXPECT_EQ(0, tolven("attrib", "README.TXT +r +h -a +s -s").status);
    EXPECT_NE(
        std::string::npos,
        run("mattrib -i " + quote(image) + " ::README.TXT").output.find("  HR     ::/README.TXT"));
    EXPECT_EQ(0, tolven("attrib", "DOCS +S").status);
    EXPECT_EQ("d---s /DOCS\n", tolven("attrib", "docs").output);
    // "-h" after the path clears the hidden bit; it asks for help only right after the command.
    EXPECT_EQ(0, tolven("attrib", "README.TXT -h -r").status);
    EXPECT_EQ("----- /README.TXT\n", tolven("attrib", "readme.txt").output);
    EXPECT_EQ(2, tolven("attrib", "README.TXT +x").status);

    EXPECT_EQ("MTOOLSLBL\n", tolven("label", "").output);
    EXPECT_EQ(0, tolven("label", "'Backup 1'").status);
    EXPECT_EQ(" Volume label is BACKUP 1   \n", run("mlabel -s -i " + quote(image) + " ::").output);
    std::vector<uint8_t> before = readFile(image);
    EXPECT_EQ("Invalid character in volume label!\nerror 670\n", tolven("label", "'a;b'").output);
    EXPECT_EQ(before, readFile(image));
    EXPECT_EQ(0, tolven("label", "''").status);
    EXPECT_EQ(" Volume has no label\n", run("mlabel -s -i " + quote(image) + " ::").output);
}

// mcopy (code page 850) stores "naïve.doc" as an 8.3 name alone (byte 0xD8): `--codepage 850`
// reads it as mtools does, the default 437 as "╪". New 8.3 names are made in the code page chosen.
TEST_F(EditTools, CodePageReadsAndMakesShortNames) {
    std::string host = dir.file("na\u00efve.doc"), conf = dir.file("mtoolsrc");
    testing_support::writeFile(host, {'x'});
    ASSERT_EQ(0, run("mcopy -i " + quote(image) + " " + quote(host) + " :: && echo " +
                     "default_codepage=852 > " + quote(conf))
                     .status);
    EXPECT_NE(std::string::npos, tolven("ls", "").output.find("/na\u256ave.doc\n"));
    EXPECT_NE(std::string::npos, tolven("--codepage 850 ls", "").output.find("/na\u00efve.doc\n"));
    EXPECT_EQ(0, tolven("--codepage 852 rename", "README.TXT '\u0142\u00f3d\u017a.txt'").status);
    EXPECT_NE(std::string::npos,
              run("LC_ALL=C.UTF-8 MTOOLSRC=" + quote(conf) + " mdir -i " + quote(image) + " ::")
                  .output.find("\u0141\u00d3D\u0179     TXT"));
    EXPECT_EQ(2, run(cli() + " --codepage 1252 ls " + quote(image)).status);
}

}  // namespace
