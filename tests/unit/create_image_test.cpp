#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "image/volume_label.h"
#include "platform/boot_template.h"
#include "platform/clock.h"
#include "test_support.h"
#include "tests/support/faulty_host.h"

using testing_support::newImage;
using testing_support::takeMessages;

namespace {

TEST(BootTemplate, BytesAreTheDocumentedSector) {
    uint8_t t[512];
    ASSERT_TRUE(loadBootTemplate(nullptr, t));
    const uint8_t head[] = {0xE9, 0x3B, 0x00, 'T',  'O',  'L',  'V',  'E',  'N',  ' ',
                            ' ',  0x00, 0x02, 0x01, 0x01, 0x00, 0x02, 0xE0, 0x00, 0x40,
                            0x0B, 0xF0, 0x09, 0x00, 0x12, 0x00, 0x02, 0x00};
    EXPECT_EQ(0, std::memcmp(head, t, sizeof head));
    for (int i = 0x1C; i < 0x26; ++i) EXPECT_EQ(0, t[i]) << i;
    EXPECT_EQ(0x29, t[0x26]);
    EXPECT_EQ(0xFFFFFFFFu, readLe32(t + 0x27));
    EXPECT_EQ(0, std::memcmp("NO NAME    FAT12   ", t + 0x2B, 19));
    const uint8_t code[56] = {
        0xFA, 0xB8, 0xC0, 0x07, 0x8E, 0xD8, 0x8E, 0xC0, 0x8E, 0xE0, 0x8E, 0xE8, 0xB8, 0x00,
        0x00, 0x8E, 0xD0, 0xBC, 0xFF, 0xFF, 0xFB, 0xBE, 0x76, 0x00, 0xE8, 0x0C, 0x00, 0xBE,
        0x97, 0x00, 0xE8, 0x06, 0x00, 0xB4, 0x00, 0xCD, 0x16, 0xCD, 0x19, 0xAC, 0x08, 0xC0,
        0x74, 0x0B, 0xB4, 0x0E, 0xB7, 0x00, 0xB3, 0x07, 0xCD, 0x10, 0xE9, 0xF0, 0xFF, 0xC3};
    EXPECT_EQ(0, std::memcmp(code, t + 0x3E, sizeof code));
    EXPECT_EQ(0, std::memcmp("\r\nTolven - non bootable floppy\r\n", t + 0x76, 33));
    EXPECT_EQ(0, std::memcmp("\r\nPress any key to reboot", t + 0x97, 26));
    EXPECT_EQ(0, std::memcmp("\r\n", t + 0xB1, 3));
    for (int i = 0xB4; i < 0x1FE; ++i) ASSERT_EQ(0, t[i]) << i;
    EXPECT_EQ(0x55, t[0x1FE]);
    EXPECT_EQ(0xAA, t[0x1FF]);
}

#ifdef _WIN32
TEST(BootTemplate, ResourceOfTheProgramEqualsTheBuiltInBytes) {
    uint8_t t[512];
    // The test program carries the BOOTCODE resource; the lookup goes through FindResourceA.
    ASSERT_TRUE(loadBootTemplate(nullptr, t));
    EXPECT_EQ(0, std::memcmp(builtInBootTemplate(), t, 512));
}
#endif

TEST(CreateImage, Default1440KB) {
    auto image = newImage(2, "NO NAME", "TOLVEN");
    const uint8_t* b = image->bootSector;
    EXPECT_EQ(0, std::memcmp("TOLVEN  ", b + 3, 8));
    EXPECT_EQ(0, std::memcmp("NO NAME    ", b + 0x2B, 11));
    EXPECT_EQ(0, std::memcmp("FAT12   ", b + 0x36, 8));
    for (const uint8_t* fat : {image->fat1, image->fat2}) {
        EXPECT_EQ(0xF0, fat[0]);
        EXPECT_EQ(0xFF, fat[1]);
        EXPECT_EQ(0xFF, fat[2]);
    }
    EXPECT_EQ(2847, image->countFreeClusters());
    EXPECT_EQ(0, image->countUsedClusters());
    EXPECT_EQ(0, image->countReservedClusters());
    EXPECT_EQ(0, image->countBadClusters());
    EXPECT_EQ(0, std::memcmp("NO NAME    ", image->rootDir, 11));
    EXPECT_EQ(0x08, image->rootDir[11]);
    for (int i = 32; i < kRootDirBytes; ++i) ASSERT_EQ(0, image->rootDir[i]);
    // The template's boot code and signature are kept.
    EXPECT_EQ(0, std::memcmp(builtInBootTemplate() + 0x3E, b + 0x3E, 512 - 0x3E));
    EXPECT_EQ(0, std::memcmp(builtInBootTemplate(), b, 3));
}

TEST(CreateImage, EveryTypeTakesItsTableRow) {
    for (int t = 0; t < kDiskTypeCount; ++t) {
        auto image = newImage(t);
        const uint8_t* b = image->bootSector;
        SCOPED_TRACE(diskTypeName(t));
        EXPECT_EQ(512, readLe16(b + bs::kBytesPerSector));
        EXPECT_EQ(DiskTypeTable::sectorsPerCluster[t], b[bs::kSectorsPerCluster]);
        EXPECT_EQ(1, readLe16(b + bs::kReservedSectors));
        EXPECT_EQ(2, b[bs::kNumberOfFats]);
        EXPECT_EQ(DiskTypeTable::rootEntries[t], readLe16(b + bs::kRootEntries));
        EXPECT_EQ(DiskTypeTable::totalSectors[t], readLe16(b + bs::kTotalSectors));
        EXPECT_EQ(DiskTypeTable::mediaDescriptor[t], b[bs::kMediaDescriptor]);
        EXPECT_EQ(DiskTypeTable::mediaDescriptor[t], image->fat1[0]);
        EXPECT_EQ(DiskTypeTable::sectorsPerFat[t], readLe16(b + bs::kSectorsPerFat));
        EXPECT_EQ(DiskTypeTable::sectorsPerTrack[t], readLe16(b + bs::kSectorsPerTrack));
        EXPECT_EQ(DiskTypeTable::heads[t], readLe16(b + bs::kHeads));
        EXPECT_EQ(0u, readLe32(b + bs::kHiddenSectors));
        EXPECT_EQ(0u, readLe32(b + bs::kTotalSectors32));
        EXPECT_EQ(0x29, b[bs::kExtendedSignature]);
    }
}

// An empty label is no label: no entry (eleven blanks are a label fsck refuses) and "NO NAME" in
// the boot sector; labels are stored as the label rule reads them.
TEST(CreateImage, EmptyLabelHasNoEntryAndLabelsFollowTheRule) {
    auto image = newImage(2, "  ", "");
    EXPECT_EQ(0, std::memcmp("NO NAME    ", image->bootSector + 0x2B, 11));
    EXPECT_EQ(0, image->rootDir[0]);
    EXPECT_EQ(0, std::memcmp("        ", image->bootSector + 3, 8));
    image = newImage(2, " my disk ");
    EXPECT_EQ(0, std::memcmp("MY DISK    ", image->bootSector + 0x2B, 11));
    EXPECT_EQ(0, std::memcmp("MY DISK    ", image->rootDir, 11));
    for (const char* bad : {"TAB\tX", "\xC4RGER", "TWELVE CHARS"})
        EXPECT_NE(kLabelOk, readVolumeLabel(bad, nullptr)) << bad;
}

uint32_t labelStamp(const VolumeImage& image) {
    return static_cast<uint32_t>(readLe16(image.rootDir + 24)) << 16 | readLe16(image.rootDir + 22);
}

uint32_t localStampNow() {
    uint16_t date = 0, time = 0;
    currentLocalFatDateTime(&date, &time);
    return static_cast<uint32_t>(date) << 16 | time;
}

// FAT times are local: the label entry of a new image and one written later carry the host's
// local time, and the serial number is the new label's date and time. Thirteen hours east of UTC
// (POSIX hosts), a UTC stamp cannot pass for it.
TEST(CreateImage, LabelEntriesAndSerialCarryTheLocalTime) {
#ifndef _WIN32
    const char* old = std::getenv("TZ");
    std::string saved = old != nullptr ? old : "";
    setenv("TZ", "XYZ-13", 1);
    tzset();
#endif
    uint32_t before = localStampNow();
    auto image = newImage(2, "LOCAL");
    uint32_t created = labelStamp(*image), afterCreate = localStampNow();
    EXPECT_EQ(created, readLe32(image->bootSector + bs::kSerialNumber));
    ASSERT_EQ(0, image->setVolumeLabel("LATER"));
    uint32_t relabelled = labelStamp(*image), after = localStampNow();
#ifndef _WIN32
    if (old != nullptr) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
#endif
    EXPECT_TRUE(before <= created && created <= afterCreate) << std::hex << created;
    EXPECT_TRUE(afterCreate <= relabelled && relabelled <= after) << std::hex << relabelled;
}

// A new 160KB image over a populated one replaces it whole.
TEST(CreateImage, Small160KBImageReplacesAPopulatedOne) {
    auto image = newImage(5, "BIG");
    image->fatTable[2] = 0xFFF;
    image->rootDir[40] = 'X';
    ASSERT_EQ(0, image->createImage(nullptr, 6, "SMALL", "OEM"));
    EXPECT_EQ(155, image->getClusterCount());
    EXPECT_EQ(1024, image->clusterBytes);
    const uint8_t fatStart[] = {0xFD, 0xFF, 0xFF};
    EXPECT_EQ(0, std::memcmp(fatStart, image->fat1, 3));
    EXPECT_EQ(0, std::memcmp(fatStart, image->fat2, 3));
    EXPECT_EQ(0, image->fatTable[2]);
    EXPECT_EQ(0, image->rootDir[40]);
    EXPECT_EQ(0, std::memcmp("SMALL      ", image->rootDir, 11));
}

TEST(CreateImage, MissingTemplateLeavesImageUnchanged) {
    auto image = newImage(0, "KEEP");
    auto before = snapshot(*image);
    FaultyHost host;
    host.bootTemplateFails = true;
    int result = image->createImage(nullptr, 2, "NEW", "NEW");
    EXPECT_EQ(500, result);
    EXPECT_EQ(std::vector<std::string>{"Could not load bootcode resource!"}, takeMessages(*image));
    EXPECT_EQ(before, snapshot(*image));
}

}  // namespace
