#include <gtest/gtest.h>

#include <cstring>

#include "test_support.h"

using testing_support::newImage;

namespace {

TEST(FatCodec, DecodesAndEncodesPairsOfThreeBytes) {
    auto image = newImage();
    image->fat1[3] = 0x03;
    image->fat1[4] = 0x40;
    image->fat1[5] = 0x00;
    image->decodeFat();
    EXPECT_EQ(0x003, image->fatTable[2]);
    EXPECT_EQ(0x004, image->fatTable[3]);
    EXPECT_EQ(0, image->fatTable[0]);  // the media bytes are never decoded
    EXPECT_EQ(0, image->fatTable[1]);
    // Encoding reproduces the bytes, keeps the media bytes and makes the second FAT a copy.
    std::memset(image->fat2, 0x5A, sizeof image->fat2);
    image->fatTable[4] = 0xABC;
    image->fatTable[5] = 0xFFF;
    image->encodeFat();
    const uint8_t expected[] = {0xF0, 0xFF, 0xFF, 0x03, 0x40, 0x00, 0xBC, 0xFA, 0xFF};
    EXPECT_EQ(0, std::memcmp(expected, image->fat1, sizeof expected));
    EXPECT_EQ(0, std::memcmp(image->fat1, image->fat2, kFatBytes));
}

TEST(FatCodec, RoundTripsEveryEntryValue) {
    auto image = newImage();
    for (int n = 2; n < kFatTableEntries - 1; ++n)
        image->fatTable[n] = static_cast<uint16_t>((n * 2654435761u) & 0xFFF);
    uint16_t before[kFatTableEntries];
    std::memcpy(before, image->fatTable, sizeof before);
    image->encodeFat();
    std::memset(image->fatTable, 0, sizeof image->fatTable);
    image->decodeFat();
    for (int n = 2; n < kFatTableEntries - 1; ++n) ASSERT_EQ(before[n], image->fatTable[n]) << n;
}

TEST(FatCodec, LastTripleStopsAtBufferEnd) {
    auto image = newImage();
    image->fat1[5118] = 0x21;
    image->fat1[5119] = 0x43;
    image->decodeFat();
    EXPECT_EQ(0x321, image->fatTable[3412]);
    EXPECT_EQ(0x004, image->fatTable[3413]);  // the missing byte 5120 counts as 0

    image->fatTable[3412] = 0xFED;
    image->fatTable[3413] = 0xCBA;
    image->encodeFat();
    EXPECT_EQ(0xED, image->fat1[5118]);
    EXPECT_EQ(0xAF, image->fat1[5119]);  // high nibble: low bits of entry 3413
}

TEST(FatCounts, ClassesOfEntryValues) {
    auto image = newImage();        // 2847 clusters
    image->fatTable[2] = 0x003;     // used
    image->fatTable[3] = 0xFFF;     // used, last
    image->fatTable[4] = 0xFF8;     // reserved, not a last cluster
    image->fatTable[5] = 0xFF0;     // reserved
    image->fatTable[6] = 0xFF6;     // reserved
    image->fatTable[7] = 0xFF7;     // bad
    image->fatTable[8] = 0xFEF;     // used
    image->fatTable[2848] = 0xFFF;  // last cluster of the volume
    image->fatTable[2849] = 0xFFF;  // beyond the volume: not counted
    EXPECT_EQ(4, image->countUsedClusters());
    EXPECT_EQ(3, image->countReservedClusters());
    EXPECT_EQ(1, image->countBadClusters());
    EXPECT_EQ(2847 - 8, image->countFreeClusters());
}

}  // namespace
