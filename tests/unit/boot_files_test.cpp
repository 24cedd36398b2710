#include <gtest/gtest.h>

#include <cstring>

#include "image/boot_sector.h"
#include "test_support.h"

using testing_support::newImage;
using testing_support::readFile;
using testing_support::takeMessages;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

typedef std::vector<std::string> Messages;

class BootFilesTest : public ::testing::Test {
protected:
    void SetUp() override { image = newImage(2, "IMAGE"); }
    std::string sectorFile(int diskType, void (*edit)(uint8_t*) = nullptr) {
        auto other = newImage(diskType, "OTHER", "OTHEROEM");
        if (edit != nullptr) edit(other->bootSector);
        std::string path = dir.file("sector.bin");
        EXPECT_EQ(0, other->exportBootSector(path.c_str()));
        return path;
    }
    TempDir dir;
    std::unique_ptr<VolumeImage> image;
};

TEST_F(BootFilesTest, SectorRoundTripAndCompatibleSectorReplaceTheSector) {
    std::string path = dir.file("disk.bin");
    uint8_t original[512];
    std::memcpy(original, image->bootSector, 512);
    ASSERT_EQ(0, image->exportBootSector(path.c_str()));
    EXPECT_EQ(std::vector<uint8_t>(original, original + 512), readFile(path));
    ASSERT_EQ(0, image->importBootSector(path.c_str()));
    EXPECT_EQ(0, std::memcmp(original, image->bootSector, 512));
    EXPECT_TRUE(image->isEmpty());

    // A compatible sector replaces the fields that are not compared.
    path = sectorFile(2, [](uint8_t* b) {
        b[bs::kMediaDescriptor] = 0xF9;
        writeLe16(b + bs::kSectorsPerTrack, 21);
        b[100] = 0x90;
    });
    auto before = snapshot(*image);
    ASSERT_EQ(0, image->importBootSector(path.c_str()));
    EXPECT_EQ(0xF9, image->bootSector[bs::kMediaDescriptor]);
    EXPECT_EQ(21, readLe16(image->bootSector + bs::kSectorsPerTrack));
    EXPECT_EQ(0, std::memcmp("OTHEROEM", image->bootSector + 3, 8));
    EXPECT_EQ(0x90, image->bootSector[100]);
    // Nothing but the boot sector follows: FAT byte 0 and the label entry stay.
    EXPECT_EQ(0xF0, image->fat1[0]);
    EXPECT_EQ(0, std::memcmp("IMAGE      ", image->rootDir, 11));
    auto after = snapshot(*image);
    EXPECT_TRUE(std::equal(before.begin() + 512, before.end(), after.begin() + 512));
}

// Each compared field, another format and a missing signature (checked before the geometry)
// refuse the sector and leave the image as it was.
TEST_F(BootFilesTest, IncompatibleSectorsAreRefused) {
    const std::string incompatible = "Loaded bootsector is not compatible to current image!";
    struct Row {
        int diskType;
        void (*edit)(uint8_t*);
        int code;
        std::string message;
    };
    const Row rows[] = {
        {2, [](uint8_t* b) { writeLe16(b + bs::kBytesPerSector, 1024); }, 400, incompatible},
        {2, [](uint8_t* b) { writeLe16(b + bs::kSectorsPerFat, 8); }, 400, incompatible},
        {2, [](uint8_t* b) { b[bs::kNumberOfFats] = 1; }, 400, incompatible},
        {2, [](uint8_t* b) { writeLe16(b + bs::kHeads, 1); }, 400, incompatible},
        {2, [](uint8_t* b) { writeLe16(b + bs::kReservedSectors, 2); }, 400, incompatible},
        {2, [](uint8_t* b) { writeLe16(b + bs::kRootEntries, 112); }, 400, incompatible},
        {2, [](uint8_t* b) { b[bs::kSectorsPerCluster] = 2; }, 400, incompatible},
        {2, [](uint8_t* b) { writeLe16(b + bs::kTotalSectors, 2881); }, 400, incompatible},
        {0, nullptr, 400, incompatible},  // 720KB into 1440KB
        {0, [](uint8_t* b) { b[510] = 0; }, 420, "Loaded file is not a bootsector!"},
    };
    for (const Row& row : rows) {
        std::string path = sectorFile(row.diskType, row.edit);
        auto before = snapshot(*image);
        EXPECT_EQ(row.code, image->importBootSector(path.c_str()));
        EXPECT_EQ(Messages{row.message}, takeMessages(*image));
        EXPECT_EQ(before, snapshot(*image));
    }
}

// A short file gives the read message then the signature message, also when 511 bytes read leave
// the signature's last byte zero; a longer file is read in its first 512 bytes.
TEST_F(BootFilesTest, FilesOfOtherLengths) {
    std::string path = dir.file("short.bin");
    writeFile(path, std::vector<uint8_t>(100, 0x11));
    EXPECT_EQ(420, image->importBootSector(path.c_str()));
    const Messages shortFile = {
        "Could not read bootsector file or bootsector file fits not sector size!",
        "Loaded file is not a bootsector!"};
    EXPECT_EQ(shortFile, takeMessages(*image));
    EXPECT_EQ(410, image->importBootCode(path.c_str()));
    EXPECT_EQ(Messages{"Read file fits not floppy bootsector size!"}, takeMessages(*image));
    std::vector<uint8_t> bytes(image->bootSector, image->bootSector + 511);
    writeFile(path, bytes);
    EXPECT_EQ(420, image->importBootSector(path.c_str()));
    EXPECT_EQ(shortFile, takeMessages(*image));
    bytes.push_back(image->bootSector[511]);
    bytes[200] = 0x42;
    bytes.resize(4096, 0x33);
    writeFile(path, bytes);
    ASSERT_EQ(0, image->importBootSector(path.c_str()));
    EXPECT_EQ(0x42, image->bootSector[200]);
    ASSERT_EQ(0, image->importBootCode(path.c_str()));
}

TEST_F(BootFilesTest, MissingFilesAndUncreatableTargets) {
    std::string absent = dir.file("absent.bin"), bad = dir.file("no/such/folder.bin");
    EXPECT_EQ(100, image->importBootSector(absent.c_str()));
    EXPECT_EQ(100, image->importBootCode(absent.c_str()));
    EXPECT_EQ(100, image->exportBootSector(bad.c_str()));
    EXPECT_EQ(100, image->exportBootCode(bad.c_str()));
    EXPECT_EQ((Messages{"Could not open bootsector file!", "Could not open bootcode file!",
                        "Could not create bootsector file!", "Could not create bootcode file!"}),
              takeMessages(*image));
}

TEST_F(BootFilesTest, CodeExportAndImportTouchOnlyJumpAndCode) {
    std::string path = dir.file("code.bin");
    ASSERT_EQ(0, image->exportBootCode(path.c_str()));
    auto bytes = readFile(path);
    ASSERT_EQ(512u, bytes.size());
    for (int i = 0; i < 512; ++i) {
        bool kept = i < 3 || (i >= 62 && i < 510);
        ASSERT_EQ(kept ? image->bootSector[i] : 0, bytes[i]) << i;
    }
    // As a boot sector it lacks the signature.
    EXPECT_EQ(420, image->importBootSector(path.c_str()));
    takeMessages(*image);
    // Imported code keeps the image's parameters.
    writeFile(path, std::vector<uint8_t>(512, 0xAB));
    uint8_t before[512];
    std::memcpy(before, image->bootSector, 512);
    ASSERT_EQ(0, image->importBootCode(path.c_str()));
    for (int i = 0; i < 512; ++i) {
        bool replaced = i < 3 || (i >= 62 && i < 510);
        ASSERT_EQ(replaced ? 0xAB : before[i], image->bootSector[i]) << i;
    }
    // And the exported code of another image comes back the same.
    auto other = newImage(0);
    std::string exported = dir.file("other.bin");
    ASSERT_EQ(0, other->exportBootCode(exported.c_str()));
    ASSERT_EQ(0, image->importBootCode(exported.c_str()));
    EXPECT_EQ(0, std::memcmp(other->bootSector + 62, image->bootSector + 62, 448));
    EXPECT_EQ(0, std::memcmp(other->bootSector, image->bootSector, 3));
}

}  // namespace
