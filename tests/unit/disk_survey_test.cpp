// Reading a volume for the cluster map, the sector view and `owner|chain|dump`: owners of
// healthy, cross-linked, lost and bad clusters, chains as runs, sectors named and read.
#include <gtest/gtest.h>

#include <memory>

#include "directory/disk_survey.h"
#include "image_builder.h"

namespace {

// /DIR (cluster 2) holding B.TXT (5); /A.TXT on 3-4, 7-8; /C.TXT on 20 joining A's 8; a lost
// chain 10-11; 12 bad; 13 reserved.
std::unique_ptr<VolumeImage> damagedImage() {
    std::unique_ptr<VolumeImage> im(new VolumeImage);
    testimg::build(*im);
    testimg::place(*im, 0, 0,
                   {testimg::shortEntry("DIR", de::kAttrDirectory, 2),
                    testimg::shortEntry("A.TXT", de::kAttrArchive, 3, 2000),
                    testimg::shortEntry("C.TXT", de::kAttrArchive, 20, 1000)});
    testimg::chain(*im, {2});
    testimg::dotEntries(*im, 2, 0);
    testimg::place(*im, 2, 2, {testimg::shortEntry("B.TXT", de::kAttrArchive, 5, 10)});
    testimg::chain(*im, {3, 4, 7, 8});
    testimg::chain(*im, {5});
    testimg::chain(*im, {10, 11});
    im->fatTable[20] = 8;
    im->fatTable[12] = kBadClusterMark;
    im->fatTable[13] = 0xFF0;
    return im;
}

}  // namespace

TEST(DiskSurvey, OwnersRunsCountsAndSectorsOfADamagedImage) {
    auto im = damagedImage();
    ClusterOwners owners;
    clusterOwners(*im, &owners);
    const char* expected[][2] = {{"2", "/DIR"},  {"3", "/A.TXT"},   {"5", "/DIR/B.TXT"},
                                 {"6", "free"},  {"10", "lost"},    {"11", "lost"},
                                 {"12", "bad"},  {"13", "reserved"}, {"20", "/C.TXT"},
                                 {"8", "shared: /A.TXT, /C.TXT"}};
    for (auto& e : expected)
        EXPECT_EQ(e[1], clusterOwnerText(*im, owners, static_cast<uint16_t>(std::stoi(e[0]))))
            << e[0];

    EXPECT_EQ("3-4, 7-8", runsText(chainRuns(*im, 3)));
    EXPECT_EQ("20, 8", runsText(chainRuns(*im, 20)));  // a step back starts a run
    EXPECT_TRUE(chainRuns(*im, 0).empty());
    EXPECT_EQ(2, countFragmentedFiles(*im, owners));  // A and C; the folder is not counted
    EXPECT_EQ(2848 - 20, largestFreeRun(*im));         // 21 to the last cluster, 2848

    EXPECT_EQ((std::vector<uint16_t>{3, 4, 7, 8, 20}), ownerClusters(*im, owners, 8));
    EXPECT_EQ((std::vector<uint16_t>{3, 4, 7, 8}), ownerClusters(*im, owners, 4));
    EXPECT_EQ((std::vector<uint16_t>{10, 11}), ownerClusters(*im, owners, 10));
    EXPECT_EQ((std::vector<uint16_t>{6}), ownerClusters(*im, owners, 6));

    // Sectors are named and read as a save would write them. The 1440KB layout: boot 0, FATs 1-9
    // and 10-18, root 19-32, cluster 2 at 33.
    const char* sectors[][2] = {
        {"0", "boot sector"},
        {"2", "FAT copy 1 (sector 2 of 9)"},
        {"10", "FAT copy 2 (sector 1 of 9)"},
        {"32", "root directory (sector 14 of 14)"},
        {"33", "cluster 2 of /DIR"},
        {"41", "cluster 10 (lost)"},
        {"2880", ""},
    };
    for (auto& e : sectors) {
        SectorPlace place;
        uint32_t s = static_cast<uint32_t>(std::stoi(e[0]));
        ASSERT_EQ(e[1][0] != '\0', locateSector(*im, s, &place)) << s;
        if (e[1][0] != '\0') {
            EXPECT_EQ(e[1], sectorAreaText(*im, owners, place));
        }
    }
    SectorPlace place;
    ASSERT_TRUE(locateSector(*im, 39, &place));  // cluster 8
    EXPECT_EQ("cluster 8, shared by /A.TXT, /C.TXT", sectorAreaText(*im, owners, place));
    EXPECT_FALSE(isDirectorySector(owners, place));
    ASSERT_TRUE(locateSector(*im, 33, &place));
    EXPECT_TRUE(isDirectorySector(owners, place));
    uint32_t first = 0;
    ASSERT_TRUE(clusterFirstSector(*im, 20, &first));
    EXPECT_EQ(51u, first);
    EXPECT_FALSE(clusterFirstSector(*im, 2849, &first));

    // FAT copy 1 shows the table as it stands; copy 2 the bytes held until the next save.
    std::vector<uint8_t> fat1, fat2, folder;
    ASSERT_TRUE(readVolumeSector(*im, 1, &fat1));
    ASSERT_TRUE(readVolumeSector(*im, 10, &fat2));
    EXPECT_EQ(0x4F, fat1[4]);  // entries 2 (0xFFF) and 3 (4) share byte 4
    EXPECT_EQ(0x00, fat2[4]);
    ASSERT_TRUE(readVolumeSector(*im, 33, &folder));
    EXPECT_EQ(0, std::memcmp(folder.data(), im->clusterData(2), 512));
    EXPECT_FALSE(readVolumeSector(*im, 2880, &folder));
}

TEST(DiskSurvey, HexLineAndDecodedSlots) {
    const uint8_t bytes[] = {'A', 0x00, 0x82, 0x7F, 0xDB, '~'};
    EXPECT_EQ("00000210  41 00 82 7F DB 7E" + std::string(31, ' ') + "  |A.é.█~|",
              hexDumpLine(0x210, bytes, 6));

    std::vector<uint8_t> sector(512, 0);
    std::vector<uint8_t> entry = testimg::shortEntry("LONGNA~1.TXT", de::kAttrArchive, 7, 99);
    auto slots = testimg::longNameSlots(u"Long name here.txt", entry);
    slots.push_back(entry);
    slots.push_back(testimg::longNameSlots(u"x", entry)[0]);
    slots.back()[de::kChecksum] ^= 1;  // an orphan piece whose entry does not match
    slots.push_back(testimg::shortEntry("OTHER", de::kAttrArchive, 0));
    for (size_t i = 0; i < slots.size(); ++i) std::memcpy(&sector[i * 32], slots[i].data(), 32);
    std::vector<std::string> lines = directorySlotLines(sector.data(), 512, 16);
    ASSERT_EQ(7u, lines.size());
    EXPECT_NE(std::string::npos, lines[1].find("  16  long name  \"e.txt\"  order 2 last"));
    EXPECT_NE(std::string::npos, lines[2].find("order 1, sum 0x"));
    EXPECT_NE(std::string::npos, lines[2].find(" ok"));
    EXPECT_NE(std::string::npos, lines[3].find("  18  entry      LONGNA~1.TXT  ---a-        7  99"));
    EXPECT_NE(std::string::npos, lines[4].find(" mismatch"));
    EXPECT_NE(std::string::npos, lines[6].find("  21  free       to slot 31"));

    uint8_t boot[512] = {};
    writeLe16(boot + bs::kBytesPerSector, 512);
    std::memcpy(boot + bs::kVolumeLabel, "MY DISK    ", 11);
    std::vector<std::string> fields = bootSectorLines(boot);
    EXPECT_EQ("0x00B  2  bytes per sector        512", fields[2]);
    EXPECT_EQ("0x02B 11  volume label            \"MY DISK    \"", fields[17]);
}
