// The one case folding and the one reading of stored 8.3 names, as insertion's clash check, path
// lookup and extraction all use them.
#include <gtest/gtest.h>

#include <cstring>

#include "directory/extract.h"
#include "directory/image_path.h"
#include "directory/name_case.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

TEST(NameCase, UpperCasesUnitsAsWindowsDoes) {
    const uint16_t cases[][2] = {
        {'a', 'A'},     {'Z', 'Z'},       {0xE9, 0xC9},     {0xFF, 0x178},   {0x3C3, 0x3A3},
        {0x3C2, 0x3C2}, {0x436, 0x416},   {0x45F, 0x40F},   {0xDF, 0xDF},    {0x131, 0x131},
        {0x17F, 0x17F}, {0xFF41, 0xFF21}, {0x2170, 0x2160}, {0xD801, 0xD801}};
    for (const auto& c : cases) EXPECT_EQ(c[1], upcaseUnit(c[0])) << std::hex << c[0];
#ifdef _WIN32
    // Under Windows (or Wine) the table must be the system's own, unit for unit.
    typedef WCHAR(WINAPI * Upcase)(WCHAR);
    Upcase up = reinterpret_cast<Upcase>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlUpcaseUnicodeChar")));
    ASSERT_NE(nullptr, up);
    for (uint32_t u = 0; u < 0x10000; ++u)
        ASSERT_EQ(up(static_cast<WCHAR>(u)), upcaseUnit(static_cast<uint16_t>(u))) << u;
#endif
}

std::u16string units(const uint16_t* text) {
    std::u16string out;
    while (*text != 0) out += static_cast<char16_t>(*text++);
    return out;
}

TEST(SlotKind, FirstByteBeforeAttributes) {
    const struct {
        uint8_t first, attributes;
        SlotKind kind;
    } cases[] = {{0x00, 0x20, kSlotFree},    {0x00, 0x0F, kSlotFree},    {0x00, 0x08, kSlotFree},
                 {0xE5, 0x0F, kSlotDeleted}, {0xE5, 0x08, kSlotDeleted}, {'A', 0x0F, kSlotLongName},
                 {'A', 0x08, kSlotLabel},    {'A', 0x28, kSlotLabel},    {'A', 0x09, kSlotEntry},
                 {'A', 0x10, kSlotEntry},    {'.', 0x10, kSlotEntry},    {0x05, 0x20, kSlotEntry}};
    for (const auto& c : cases) {
        uint8_t slot[de::kSize] = {};
        slot[0] = c.first;
        slot[de::kAttributes] = c.attributes;
        EXPECT_EQ(c.kind, slotKind(slot)) << std::hex << int(c.first) << " " << int(c.attributes);
    }
}

TEST(ShortNameReading, BlanksInsideStayAndBytesAreOemText) {
    // With byte 12's lower-case flags Windows shows and copies the name as the list shows it.
    struct Case {
        const char* stored;
        uint8_t attributes, flags;
        std::u16string read, shown;
    };
    const Case cases[] = {
        {"A B     TXT", 0x20, 0, u"A B.TXT", u"a b.txt"},
        {"\x05"
         "BC     DAT",
         0x20, 0, u"\u03c3BC.DAT", u"\u03c3bc.dat"},
        {"CAF\x82       ", 0x10, 0, u"CAF\u00e9", u"CAF\u00e9"},
        {"README  TXT", 0x20, 0x08, u"README.TXT", u"readme.TXT"},
        {"DEEP       ", 0x10, 0x08, u"DEEP", u"deep"},
        {"\x8e\x80\xe4     \x99  ", 0x20, 0x18, u"\u00c4\u00c7\u03a3.\u00d6",
         u"\u00e4\u00e7\u03c3.\u00f6"},
    };
    for (const Case& c : cases) {
        uint8_t entry[32] = {};
        std::memcpy(entry, c.stored, 11);
        entry[de::kAttributes] = c.attributes;
        entry[de::kNameCase] = c.flags;
        uint16_t read[kShortNameUnits], shown[kLongNameUnits], copied[kShortNameUnits];
        shortNameUnits(entry, read);
        shortDisplayName(entry, shown);
        shortNameAsShown(entry, copied);
        EXPECT_EQ(c.read, units(read)) << c.stored;
        EXPECT_EQ(c.shown, units(shown)) << c.stored;
        EXPECT_EQ(c.flags != 0 ? c.shown : c.read, units(copied)) << c.stored;
        uint16_t noLongName[kLongNameUnits] = {};
        EXPECT_TRUE(imageNameMatches(entry, noLongName, read));
        char host[64];
        ASSERT_GT(entryHostName(entry, noLongName, host, sizeof host), 0);
        EXPECT_EQ(imageEntryName(entry, noLongName), host);  // extraction names it as ls shows it
    }
}

}  // namespace
