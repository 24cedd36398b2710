// The path shown for the folder the list shows.
#include <gtest/gtest.h>

#include <string>

#include "directory/folder_path.h"
#include "image/boot_sector.h"
#include "image_builder.h"
#include "test_support.h"

namespace {

TEST(FolderPath, LongAndShortNamesFromTheRootDown) {
    auto image = testing_support::newImage();
    uint16_t games = 0, doom = 0, save = 0;
    ASSERT_EQ(0, image->createFolder(0, "GAMES", 0, 0, &games));
    ASSERT_EQ(0, image->createFolder(games, "Doom Shareware", 0, 0, &doom));
    ASSERT_EQ(0, image->createFolder(doom, "save", 0, 0, &save));
    EXPECT_EQ(u"\\", folderPath(*image, 0));
    EXPECT_EQ(u"\\GAMES", folderPath(*image, games));
    EXPECT_EQ(u"\\GAMES\\Doom Shareware\\save", folderPath(*image, save));

    // Damaged images: a ".." leading back to the folder itself, and a loop of named folders
    // (GAMES's ".." made to lead to "save", which holds a folder entry for GAMES).
    uint8_t* dotDot = testimg::slot(*image, save, 1);
    ASSERT_EQ('.', dotDot[1]);
    writeLe16(dotDot + 26, save);
    EXPECT_EQ(u"\u2026", folderPath(*image, save));
    writeLe16(dotDot + 26, doom);
    uint16_t back = 0;
    ASSERT_EQ(0, image->createFolder(save, "BACK", 0, 0, &back));
    writeLe16(testimg::slot(*image, save, 2) + 26, games);
    writeLe16(testimg::slot(*image, games, 1) + 26, save);
    std::u16string looped = folderPath(*image, games);
    EXPECT_EQ(u'\u2026', looped[0]);
    EXPECT_EQ(u"\\save\\BACK", looped.substr(looped.size() - 10));
    EXPECT_LT(looped.size(), 300u);
}

}  // namespace
