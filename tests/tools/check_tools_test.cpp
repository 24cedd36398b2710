// check and check --repair on mkfs.fat/mtools images damaged byte by byte, each kind alone and
// mixed, against fsck.fat -n: whatever fsck reports, check finds; after the repair fsck finds
// nothing and every file the damage did not touch extracts byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tool_support.h"

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;

namespace {

// The 1440 KB layout mkfs.fat gives: FATs at sectors 1 and 10, the root at 19, cluster 2 at 33.
const size_t kFat1 = 512, kFat2 = 10 * 512, kRoot = 19 * 512;
size_t clusterAt(int n) { return (33 + n - 2) * 512u; }

struct Bytes {
    std::vector<uint8_t>& b;
    void fat(int n, int value, bool both = true) {
        for (size_t base : {kFat2, kFat1}) {
            uint8_t* p = &b[base + n * 3 / 2];
            if (n & 1) p[0] = uint8_t((p[0] & 0x0F) | (value << 4)), p[1] = uint8_t(value >> 4);
            else p[0] = uint8_t(value), p[1] = uint8_t((p[1] & 0xF0) | (value >> 8));
            if (!both) return;
        }
    }
    uint8_t* root(int slot) { return &b[kRoot + 32 * slot]; }
    uint8_t* inDir(int slot) { return &b[clusterAt(12) + 32 * slot]; }  // DIR's cluster
};

// A.BIN 2-11, DIR 12 (".", "..", a long name of 2 slots, its short entry), its file 13-22,
// B.TXT 23, label HELLO at root slot 3.
const std::vector<std::string> kFiles = {"A.BIN", "DIR/long name file.txt", "B.TXT"};

struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
    std::vector<const char*> found;  // what check's lines say
    std::vector<std::string> touched;
};

const std::vector<Case> kCases = {
    {"fat copies", [](Bytes& d) { d.fat(100, 0xFFF, false); }, {"copies differ"}, {}},
    {"media byte", [](Bytes& d) { d.b[kFat1] = 0xF8; }, {"media byte"}, {}},
    {"lost chain", [](Bytes& d) { d.fat(300, 301), d.fat(301, 0xFFF); }, {"lost chain of 2"}, {}},
    {"cross-link", [](Bytes& d) { d.fat(5, 14); }, {"cross-linked with /A.BIN"}, {"A.BIN"}},
    {"loop", [](Bytes& d) { d.fat(9, 4); }, {"comes back to cluster 4"}, {"A.BIN"}},
    {"out of range", [](Bytes& d) { d.fat(7, 4000); }, {"links to 4000"}, {"A.BIN"}},
    {"free link", [](Bytes& d) { d.fat(7, 0); }, {"free cluster 7"}, {"A.BIN"}},
    {"size long", [](Bytes& d) { d.root(0)[29] = 0x40; }, {"size 16520, but the chain holds 10"}, {"A.BIN"}},
    {"size short", [](Bytes& d) { d.root(0)[28] = 100, d.root(0)[29] = 0; }, {"needs 1"}, {"A.BIN"}},
    {"dots", [](Bytes& d) { d.inDir(0)[0] = 'X'; }, {"/DIR: no valid"}, {}},
    {"name", [](Bytes& d) { d.root(0)[1] = '*'; }, {"8.3 name"}, {"A.BIN"}},
    {"first cluster", [](Bytes& d) { d.root(0)[27] = 0x0F; }, {"names no data"}, {"A.BIN"}},
    {"attributes", [](Bytes& d) { d.root(2)[11] = 0x0C; }, {"attributes 0x0C"}, {}},
    {"orphan", [](Bytes& d) { d.inDir(2)[13] ^= 1; }, {"2 long-name slots"},
     {"DIR/long name file.txt"}},
    {"second label", [](Bytes& d) { std::copy_n(d.root(3), 32, d.root(4)); }, {"second volume"}, {}},
    {"label in folder", [](Bytes& d) { std::copy_n(d.root(3), 32, d.inDir(5)); }, {"outside"}, {}},
    {"boot label", [](Bytes& d) { d.b[0x2B] = 'J'; }, {"label differs"}, {}},
    {"mixed", [](Bytes& d) { d.fat(100, 0xFFF, false), d.fat(300, 0xFFF), d.fat(5, 14),
                             d.inDir(2)[13] ^= 1, d.root(2)[29] = 9; },
     {"copies differ", "lost chain", "cross-linked", "long-name", "/B.TXT: size 2348"},
     {"A.BIN", "DIR/long name file.txt", "B.TXT"}},
};

}  // namespace

TEST(CheckTools, FindsWhatFsckFindsAndRepairsUntilFsckIsContent) {
    TempDir dir;
    std::string base = dir.file("base.img"), q = quote(base);
    ASSERT_EQ(0, run(tool_support::mkfsFat() + " -C " + q + " 1440").status);
    std::vector<uint8_t> a(5000), b(300, 'b');
    for (size_t i = 0; i < a.size(); ++i) a[i] = uint8_t(i * 7 + i / 251);
    writeFile(dir.file("a"), a);
    writeFile(dir.file("b"), b);
    for (const std::string& c : {"mcopy -i " + q + " " + quote(dir.file("a")) + " ::/A.BIN",
                                 "mmd -i " + q + " ::/DIR",
                                 "mcopy -i " + q + " " + quote(dir.file("a")) +
                                     " '::/DIR/long name file.txt'",
                                 "mcopy -i " + q + " " + quote(dir.file("b")) + " ::/B.TXT",
                                 "mlabel -i " + q + " ::HELLO"})
        ASSERT_EQ(0, run(c).status) << c;
    auto clean = run(cli() + " check " + q);
    EXPECT_EQ(0, clean.status) << clean.output;
    EXPECT_EQ(base + ": clean\n", clean.output);

    std::vector<uint8_t> pristine = readFile(base);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string img = dir.file("d.img"), qi = quote(img);
        std::vector<uint8_t> bytes = pristine;
        Bytes d{bytes};
        c.damage(d);
        writeFile(img, bytes);
        std::string fsck;
        tool_support::fsckClean(img, &fsck);  // check finds damage in every case, fsck's too
        auto found = run(cli() + " check " + qi);
        EXPECT_EQ(1, found.status) << found.output << fsck;
        for (const char* text : c.found) EXPECT_NE(std::string::npos, found.output.find(text)) << found.output;
        EXPECT_EQ(readFile(img), bytes);  // checking writes nothing

        auto repaired = run(cli() + " check " + qi + " --repair");
        EXPECT_EQ(0, repaired.status) << repaired.output;
        EXPECT_NE(std::string::npos, repaired.output.find("repaired: clean now")) << repaired.output;
        EXPECT_TRUE(tool_support::fsckClean(img, &fsck)) << fsck;
        EXPECT_EQ(0, run(cli() + " check " + qi).status);
        for (const std::string& f : kFiles) {
            bool touched = false;
            for (const std::string& t : c.touched) touched = touched || t == f;
            if (touched) continue;
            std::string out = dir.file("out");
            ASSERT_EQ(0, run("mcopy -o -i " + qi + " " + quote("::/" + f) + " " + quote(out)).status)
                << f;
            EXPECT_EQ(readFile(out), f == "B.TXT" ? b : a) << f;
        }
    }
    // Lost clusters come back as files under FOUND.000; several images go through one run.
    std::string one = dir.file("one.img"), two = dir.file("two.img");
    std::vector<uint8_t> lost = pristine;
    Bytes l{lost};
    l.fat(300, 0xFFF);
    std::copy(a.begin(), a.begin() + 512, lost.begin() + long(clusterAt(300)));
    writeFile(one, pristine);
    writeFile(two, lost);
    auto both = run(cli() + " check " + quote(one) + " " + quote(two));
    EXPECT_EQ(1, both.status);
    EXPECT_NE(std::string::npos, both.output.find(one + ": clean\n" + two + ": cluster 300: a lost"));
    EXPECT_EQ(0, run(cli() + " check " + quote(one) + " " + quote(two) + " --repair").status);
    auto chk = run("mtype -i " + quote(two) + " ::/FOUND.000/FILE0000.CHK");
    EXPECT_EQ(std::string(a.begin(), a.begin() + 512), chk.output);
    EXPECT_EQ(2, run(cli() + " check").status);
    EXPECT_EQ(2, run(cli() + " check " + quote(one) + " --fix").status);
}
