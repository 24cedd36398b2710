#include <gtest/gtest.h>

#include <string>

#include "ui/boot_file_name.h"

namespace {

std::string propose(const std::string& imageName) {
    char out[260];
    std::memset(out, 'x', sizeof out);
    proposeBootFileName(imageName.c_str(), out, sizeof out);
    return out;
}

TEST(BootFileName, ExtensionReplacedByBin) {
    EXPECT_EQ("disk.bin", propose("disk.img"));
    EXPECT_EQ("untitled.bin", propose("untitled.img"));
    EXPECT_EQ("a.b.bin", propose("a.b.img"));
    EXPECT_EQ("disk.bin", propose("disk."));
}

TEST(BootFileName, NameWithoutDotGetsBinAppended) {
    EXPECT_EQ("diskbin", propose("disk"));
    EXPECT_EQ("bin", propose(""));
}

TEST(BootFileName, OverlongNameKeepsBinInsideTheBuffer) {
    std::string longName(259, 'A');
    std::string proposal = propose(longName);
    EXPECT_EQ(259u, proposal.size());
    EXPECT_EQ("bin", proposal.substr(256));
    EXPECT_EQ(std::string(256, 'A'), proposal.substr(0, 256));

    char small[8];
    proposeBootFileName("image.img", small, sizeof small);
    EXPECT_STREQ("imagbin", small);
}

}  // namespace
