// Host names beyond any code page go in as long names unit for unit and come out as they were, on
// POSIX hosts and through the wide calls on Windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "directory/folder_walk.h"
#include "test_support.h"

namespace fs = std::filesystem;

TEST(HostNames, GreekCyrillicCjkAndEmojiRoundTripThroughTheImage) {
    // The emoji lies beyond the 16-bit plane: one surrogate pair in the long name.
    const std::set<std::u16string> names = {u"Ελληνικά.txt", u"Кириллица", u"漢字 文件.txt",
                                            u"smile \U0001F600.txt"};
    testing_support::TempDir dir;
    fs::path source = dir.path() / "source", target = dir.path() / "out";
    fs::create_directories(source);
    for (const std::u16string& name : names) std::ofstream(source / fs::path(name)) << "data";
    std::unique_ptr<VolumeImage> image = testing_support::newImage();
    ASSERT_EQ(0, image->insertHostPath(0, source.u8string().c_str(), nullptr));

    uint16_t folder = 0;
    forEachEntry(*image, 0, [&](const WalkedEntry& e) { folder = entryFirstCluster(e.entry); });
    std::set<std::u16string> longNames;
    forEachEntry(*image, folder, [&](const WalkedEntry& e) {
        if (!isDotEntry(e.entry)) longNames.insert(reinterpret_cast<const char16_t*>(e.longName));
    });
    EXPECT_EQ(names, longNames);

    ASSERT_EQ(0, image->extractFolder(folder, target.u8string().c_str()));
    std::set<std::u16string> extracted;
    for (const auto& e : fs::directory_iterator(target))
        if (fs::file_size(e.path()) == 4) extracted.insert(e.path().filename().u16string());
    EXPECT_EQ(names, extracted);
}
