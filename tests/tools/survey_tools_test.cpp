// owner, chain, map --owners and dump against mtools (mshowfat's chains, minfo's geometry) and
// the image file's own bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool_support.h"

using testing_support::TempDir;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;

namespace {

int minfoValue(const std::string& info, const std::string& key) {
    size_t at = info.find(key + ": ");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + key.size() + 2));
}

}  // namespace

// FRAG.BIN fills the gap that deleting GAP.BIN left and goes on past KEEP.BIN: two fragments.
TEST(Cli, OwnerChainAndDumpAgreeWithMtoolsAndTheBytes) {
    TempDir dir;
    std::string img = dir.file("i.img"), q = quote(img);
    ASSERT_EQ(0, run(tool_support::mkfsFat() + " -C " + q + " 720").status);
    testing_support::writeFile(dir.file("two"), std::vector<uint8_t>(1500, 'g'));
    testing_support::writeFile(dir.file("five"), std::vector<uint8_t>(4500, 'f'));
    for (const std::string& c :
         {"mcopy -i " + q + " " + quote(dir.file("two")) + " ::/GAP.BIN",
          "mcopy -i " + q + " " + quote(dir.file("two")) + " ::/KEEP.BIN", "mdel -i " + q + " ::/GAP.BIN",
          "mcopy -i " + q + " " + quote(dir.file("five")) + " '::/Frag file.bin'"})
        ASSERT_EQ(0, run(c).status) << c;

    std::string shown = run("mshowfat -i " + q + " '::/Frag file.bin'").output;  // "<2-3> <6-8>"
    std::string runs = shown.substr(shown.find('<') + 1);
    size_t cut;
    while ((cut = runs.find("> <")) != std::string::npos) runs.replace(cut, 3, ", ");
    runs = runs.substr(0, runs.find('>'));
    auto chain = run(cli() + " chain " + q + " '/frag FILE.bin'");
    ASSERT_EQ(0, chain.status);
    EXPECT_EQ("/Frag file.bin: " + runs + "\nclusters: 5 fragments: 2\n", chain.output);

    std::string first = runs.substr(0, runs.find('-'));
    auto owner = run(cli() + " owner " + q + " " + first + " 300 9999");
    EXPECT_EQ(1, owner.status);
    EXPECT_NE(std::string::npos, owner.output.find(first + ": /Frag file.bin\n300: free\n"));
    EXPECT_NE(std::string::npos, owner.output.find("No data cluster \"9999\""));
    auto info = run(cli() + " info " + q).output;
    EXPECT_NE(std::string::npos, info.find("fragmented_files: 1\nlargest_free_run: 706\n"));
    auto map = run(cli() + " map " + q + " --owners");
    EXPECT_NE(std::string::npos, map.output.find("AABBAAA..."));
    EXPECT_NE(std::string::npos, map.output.find("A /Frag file.bin\nB /KEEP.BIN\n"));

    // The root's and the file's first sectors where minfo's geometry puts them, byte for byte.
    info = run("minfo -i " + q + " ::").output;
    int sectorBytes = minfoValue(info, "sector size"), fats = minfoValue(info, "fats");
    int rootSector = minfoValue(info, "reserved (boot) sectors") +
                     fats * minfoValue(info, "sectors per fat");
    int dataSector = rootSector + minfoValue(info, "max available root directory slots") * 32 /
                                      sectorBytes;
    int clusterSectors = minfoValue(info, "cluster size");
    std::vector<uint8_t> bytes = testing_support::readFile(img);
    struct Case {
        std::string args;
        int sector;
        std::string header;
    } cases[] = {
        {"--root", rootSector, "root directory (sector 1 of "},
        {"--cluster " + first, dataSector + (std::stoi(first) - 2) * clusterSectors,
         "cluster " + first + " of /Frag file.bin"},
        {"--fat 2", rootSector - minfoValue(info, "sectors per fat"), "FAT copy 2 (sector 1 of"},
    };
    for (const Case& c : cases) {
        auto dump = run(cli() + " dump " + q + " " + c.args + " --count 1");
        ASSERT_EQ(0, dump.status) << c.args;
        char expected[128];
        int at = c.sector * sectorBytes;
        int n = std::snprintf(expected, sizeof expected, "sector %i: %s", c.sector,
                              c.header.c_str());
        EXPECT_EQ(0u, dump.output.find(std::string(expected, static_cast<size_t>(n)))) << dump.output;
        // The last line's offset and its 16 bytes in hex.
        n = std::snprintf(expected, sizeof expected, "\n%08X ", at + sectorBytes - 16);
        for (int i = 0; i < 16; ++i)
            n += std::snprintf(expected + n, sizeof expected - n, i == 8 ? "  %02X" : " %02X",
                               bytes[static_cast<size_t>(at + sectorBytes - 16 + i)]);
        EXPECT_NE(std::string::npos, dump.output.find(expected)) << c.args << "\n" << dump.output;
    }
    auto decoded = run(cli() + " dump " + q + " --root --decode --count 1");
    EXPECT_NE(std::string::npos, decoded.output.find("long name  \"Frag file.bin\"  order 1 last"));
    EXPECT_EQ(2, run(cli() + " dump " + q + " --root --boot").status);
    EXPECT_EQ(1, run(cli() + " dump " + q + " --sector 1440").status);
    EXPECT_TRUE(tool_support::fsckClean(img));
}
