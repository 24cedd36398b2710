// Host names beyond any code page: insertion makes them long names unit for unit, extraction
// gives them back, on POSIX hosts and through the wide calls on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "directory/folder_walk.h"
#include "platform/host_file.h"
#include "platform/host_text.h"
#include "test_support.h"

using testing_support::newImage;
using testing_support::takeMessages;
using testing_support::TempDir;

namespace fs = std::filesystem;

namespace {

// Greek, Cyrillic, CJK, and an emoji beyond the 16-bit plane: one surrogate pair in UTF-16.
const char16_t* const kNames[] = {u"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac.txt",
                                  u"\u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430",
                                  u"\u6f22\u5b57 \u6587\u4ef6.txt", u"smile \U0001F600.txt"};

std::string utf8(const std::u16string& name) {
    char text[kLongNameUnits * 3 + 1];
    EXPECT_GT(utf16ToUtf8(reinterpret_cast<const uint16_t*>(name.c_str()), kLongNameUnits, text,
                          sizeof text),
              0);
    return text;
}

// Whole files through the core's own seam, which takes UTF-8 paths on every host.
void writeHostFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    HostFile file;
    ASSERT_TRUE(file.createPlain(path.c_str())) << path;
    ASSERT_TRUE(file.write(bytes.data(), static_cast<uint32_t>(bytes.size())));
    ASSERT_TRUE(file.close());
}

std::vector<uint8_t> readHostFile(const std::string& path) {
    std::vector<uint8_t> bytes(65536);
    HostFile file;
    uint32_t got = 0;
    EXPECT_TRUE(file.openForReading(path.c_str()) &&
                file.read(bytes.data(), static_cast<uint32_t>(bytes.size()), &got))
        << path;
    bytes.resize(got);
    return bytes;
}

// Name (UTF-8) -> bytes of every file in `folder`.
std::map<std::string, std::vector<uint8_t>> filesIn(const fs::path& folder) {
    std::map<std::string, std::vector<uint8_t>> out;
    for (const auto& e : fs::directory_iterator(folder))
        out[e.path().filename().u8string()] = readHostFile(e.path().u8string());
    return out;
}

TEST(HostNames, GreekCyrillicCjkAndEmojiRoundTripThroughTheImage) {
    TempDir dir;
    fs::path source = dir.path() / fs::u8path(utf8(u"\u03a6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2"));
    fs::create_directories(source);
    std::map<std::string, std::vector<uint8_t>> files;
    uint8_t seed = 1;
    for (const char16_t* name : kNames) {
        std::string path = (source / fs::u8path(utf8(name))).u8string();
        files[utf8(name)] = std::vector<uint8_t>(100u * seed, seed);
        writeHostFile(path, files[utf8(name)]);
        ++seed;
    }
    std::unique_ptr<VolumeImage> image = newImage();
    int inserted = 0;
    ASSERT_EQ(0, image->insertHostPath(0, source.u8string().c_str(), &inserted));
    EXPECT_EQ(5, inserted);

    // The long names hold the host names unit for unit, the emoji as its surrogate pair.
    uint16_t folder = 0;
    forEachEntry(*image, 0, [&](const WalkedEntry& e) { folder = entryFirstCluster(e.entry); });
    std::vector<std::u16string> longNames;
    forEachEntry(*image, folder, [&](const WalkedEntry& e) {
        if (!isDotEntry(e.entry)) longNames.push_back(reinterpret_cast<const char16_t*>(e.longName));
    });
    std::sort(longNames.begin(), longNames.end());
    std::vector<std::u16string> expected(std::begin(kNames), std::end(kNames));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, longNames);
    EXPECT_EQ(u"smile \xD83D\xDE00.txt", expected[0]);

    fs::path target = dir.path() / "out";
    ASSERT_EQ(0, image->extractFolder(folder, target.u8string().c_str()));
    EXPECT_TRUE(takeMessages(*image).empty());
    EXPECT_EQ(files, filesIn(target));
}

// Paths past MAX_PATH go through (the \\?\ form on Windows); beyond what the host takes at all
// (4095 bytes on POSIX, 32,767 units on Windows) the creation is reported.
TEST(HostNames, LongPathsWorkUpToTheHostsLimit) {
    TempDir dir;
    std::string deep = dir.path().u8string();
    for (int level = 0; level < 3; ++level) {
        deep += hostPathSeparator() + utf8(std::u16string(120, u'\u03a9'));
        ASSERT_TRUE(hostCreateFolder(deep.c_str())) << deep.size();
    }
    std::string file = deep + hostPathSeparator() + "file.bin";
    writeHostFile(file, {'a', 'b', 'c'});
    EXPECT_EQ((std::vector<uint8_t>{'a', 'b', 'c'}), readHostFile(file));

    std::string tooLong = deep;
    while (tooLong.size() < hostPathCapacity()) tooLong += hostPathSeparator() + std::string(200, 'x');
    EXPECT_FALSE(hostCreateFolder(tooLong.c_str()));
}

}  // namespace
