#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "directory/dir_entry.h"
#include "directory/folder_names.h"
#include "directory/long_name.h"
#include "directory/oem_text.h"
#include "directory/short_name.h"
#include "image/boot_sector.h"

namespace {

std::string stored(const uint8_t* name) {
    return std::string(reinterpret_cast<const char*>(name), 11);
}

std::string basisOf(const std::u16string& longName, bool* needsTail) {
    BasisName basis = makeBasisName(longName);
    *needsTail = basis.needsTail;
    return stored(basis.name);
}

std::string pick(const std::u16string& longName, const FolderNames& names) {
    uint8_t shortName[11];
    EXPECT_TRUE(pickShortName(makeBasisName(longName), names, shortName));
    return stored(shortName);
}

void addShort(FolderNames* names, const char* stored11) {
    names->add(reinterpret_cast<const uint8_t*>(stored11), u"");
}

TEST(BasisName, FollowsTheDriverRules) {
    bool tail = true;
    EXPECT_EQ("README  TXT", basisOf(u"readme.txt", &tail));
    EXPECT_FALSE(tail);  // only the case changed: the long name keeps it
    EXPECT_EQ("LONGFILETXT", basisOf(u"Long File Name.txt", &tail));
    EXPECT_TRUE(tail);
    EXPECT_EQ("ARCHIVETGZ ", basisOf(u"archive.tar.gz", &tail));  // extra dot dropped
    EXPECT_TRUE(tail);
    EXPECT_EQ("PROFILE    ", basisOf(u".profile", &tail));  // leading dot dropped
    EXPECT_TRUE(tail);
    EXPECT_EQ("FILE    HTM", basisOf(u"file.html", &tail));
    EXPECT_TRUE(tail);
    EXPECT_EQ("CAF\x90    TXT", basisOf(u"caf\u00e9.txt", &tail));  // upper case in 437
    ASSERT_TRUE(setOemCodePage(850));
    EXPECT_EQ("\x05T\x90     TXT", basisOf(u"\u00f5t\u00e9.txt", &tail));  // 0xE5 as 0x05
    ASSERT_TRUE(setOemCodePage(866));
    EXPECT_EQ("\x94\x80\x89\x8b_   TXT", basisOf(u"\u0444\u0430\u0439\u043b\u00e9.txt", &tail));
    EXPECT_TRUE(tail);
    setOemCodePage(437);
    EXPECT_EQ("X_Y_Z__1TXT", basisOf(u"x+y=z;[1].txt", &tail));
    EXPECT_TRUE(tail);
    EXPECT_EQ("A_B        ", basisOf(u"a\U0001F600b", &tail));  // one "_" per character
    EXPECT_TRUE(tail);
    EXPECT_EQ("MAKEFILE   ", basisOf(u"Makefile", &tail));
    EXPECT_FALSE(tail);
}

TEST(ShortName, NumericTailWhenChangedOrTaken) {
    FolderNames names;
    EXPECT_EQ("README  TXT", pick(u"readme.txt", names));
    EXPECT_EQ("LONGFI~1TXT", pick(u"Long File Name.txt", names));
    EXPECT_EQ("AB~1       ", pick(u"a b", names));
    addShort(&names, "README  TXT");
    EXPECT_EQ("README~1TXT", pick(u"ReadMe.txt", names));
    // A short basis keeps its whole base before the tail.
    addShort(&names, "ABCD~1     ");
    EXPECT_EQ("ABCD~2     ", pick(u"ab cd", names));
    EXPECT_EQ("A~1     B  ", pick(u"a..b", names));
}

TEST(ShortName, ManyNamesSharingSixCharactersCountUp) {
    FolderNames names;
    for (int n = 1; n <= 120; ++n) {
        std::string expected = n < 10    ? "LONGFI~" + std::to_string(n)
                               : n < 100 ? "LONGF~" + std::to_string(n)
                                         : "LONG~" + std::to_string(n);
        std::string got = pick(u"longfilename number.txt", names);
        ASSERT_EQ(expected + "TXT", got) << n;
        addShort(&names, got.c_str());
    }
}

TEST(PlainShortName, OnlyValidUpperCaseEightThree) {
    uint8_t name[11];
    ASSERT_TRUE(isPlainShortName(u"README.TXT", name));
    EXPECT_EQ("README  TXT", stored(name));
    ASSERT_TRUE(isPlainShortName(u"A", name));
    EXPECT_EQ("A          ", stored(name));
    EXPECT_TRUE(isPlainShortName(u"$~1_(X).{}", name));
    for (const char16_t* bad : {u"readme.txt", u"ABCDEFGHI", u"A.B.C", u"A B", u"ABCD.TXTX",
                                u".TXT", u"A+B", u"\u00c9T\u00c9", u"ABC."})
        EXPECT_FALSE(isPlainShortName(bad, name)) << std::string(bad, bad + 3).c_str();
}

TEST(LongNameCheck, TrailingDotsAndBlanksDroppedBadNamesRefused) {
    std::u16string clean;
    EXPECT_EQ(kLongNameOk, cleanLongName(u"notes. . ", &clean));
    EXPECT_EQ(u"notes", clean);
    EXPECT_EQ(kLongNameOk, cleanLongName(u" lead", &clean));
    EXPECT_EQ(u" lead", clean);
    EXPECT_EQ(kLongNameInvalid, cleanLongName(u"...", &clean));
    EXPECT_EQ(kLongNameInvalid, cleanLongName(u"", &clean));
    for (const char16_t* bad : {u"a*b", u"a?b", u"a:b", u"a|b", u"a<b", u"a\"b", u"a\\b", u"a\x01"})
        EXPECT_EQ(kLongNameInvalid, cleanLongName(bad, &clean));
    EXPECT_EQ(kLongNameOk, cleanLongName(std::u16string(255, u'x'), &clean));
    EXPECT_EQ(kLongNameTooLong, cleanLongName(std::u16string(256, u'x'), &clean));
    EXPECT_EQ(kLongNameOk, cleanLongName(std::u16string(255, u'x') + u"...", &clean));
}

TEST(FolderNames, MatchLongAndShortNamesIgnoringCase) {
    FolderNames names;
    names.add(reinterpret_cast<const uint8_t*>("LONGFI~1TXT"), u"Long File Name.txt");
    names.add(reinterpret_cast<const uint8_t*>("CAF_~1     "), u"Caf\u00e9");
    names.add(reinterpret_cast<const uint8_t*>("MAKEFILE   "), u"");
    EXPECT_TRUE(names.hasName(u"LONG FILE NAME.TXT"));
    EXPECT_TRUE(names.hasName(u"longfi~1.txt"));
    EXPECT_TRUE(names.hasName(u"CAF\u00c9"));
    EXPECT_TRUE(names.hasName(u"makefile"));
    EXPECT_FALSE(names.hasName(u"makefile.txt"));
    EXPECT_FALSE(names.hasName(u"Long File Name"));
    EXPECT_TRUE(names.hasShortName(reinterpret_cast<const uint8_t*>("MAKEFILE   ")));
    EXPECT_FALSE(names.hasShortName(reinterpret_cast<const uint8_t*>("MAKEFILETXT")));
}

TEST(LongNameSlots, ChecksumMarkTerminatorAndFill) {
    EXPECT_EQ(0x73, shortNameChecksum(reinterpret_cast<const uint8_t*>("README  TXT")));
    EXPECT_EQ(0xD4, shortNameChecksum(reinterpret_cast<const uint8_t*>("LONGFI~1TXT")));

    const int offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (size_t length : {1u, 12u, 13u, 14u, 26u, 100u, 255u}) {
        std::u16string name;
        for (size_t i = 0; i < length; ++i) name += static_cast<char16_t>(u'a' + i % 26);
        int count = longNameSlotCount(length);
        EXPECT_EQ(static_cast<int>((length + 12) / 13), count);
        std::vector<uint8_t> slots(count * 32, 0xAA);
        buildLongNameSlots(name, 0x5C, slots.data());
        for (int s = 0; s < count; ++s) {
            const uint8_t* slot = slots.data() + s * 32;
            int piece = count - s;
            EXPECT_EQ(piece | (s == 0 ? 0x40 : 0), slot[0]);
            EXPECT_EQ(0x0F, slot[11]);
            EXPECT_EQ(0, slot[12]);
            EXPECT_EQ(0x5C, slot[13]);
            EXPECT_EQ(0, readLe16(slot + 26));
            for (int k = 0; k < 13; ++k) {
                size_t at = (piece - 1) * 13 + k;
                uint16_t expected = at < length ? name[at] : at == length ? 0x0000 : 0xFFFF;
                ASSERT_EQ(expected, readLe16(slot + offsets[k])) << length << " " << at;
            }
        }
    }
}

}  // namespace
