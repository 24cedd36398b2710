#include <gtest/gtest.h>

#include "ui/recent_files.h"

namespace {

TEST(RecentFiles, MostRecentFirstEachFileOnceAtMostEight) {
    RecentFiles recent;
    for (int i = 1; i <= 9; ++i) recent.add("C:\\disks\\d" + std::to_string(i) + ".img");
    ASSERT_EQ(8u, recent.paths().size());
    EXPECT_EQ("C:\\disks\\d9.img", recent.paths().front());
    EXPECT_EQ("C:\\disks\\d2.img", recent.paths().back());  // d1 fell off

    // The same file in another case and with other slashes moves to the top, as typed now.
    recent.add("c:/DISKS/D5.IMG");
    ASSERT_EQ(8u, recent.paths().size());
    EXPECT_EQ("c:/DISKS/D5.IMG", recent.paths()[0]);
    EXPECT_EQ("C:\\disks\\d9.img", recent.paths()[1]);
    EXPECT_TRUE(recent.remove("C:\\Disks\\d9.img") && !recent.remove("C:\\disks\\d9.img"));
    EXPECT_EQ(7u, recent.paths().size());

    // Stored lists: empty names and repeats go, the newer place of a repeat stays.
    recent.assign({"C:\\a.img", "", "C:\\b.img", "c:\\A.IMG", "C:\\c.img", "C:\\d.img", "C:\\e.img",
                   "C:\\f.img", "C:\\g.img", "C:\\h.img", "C:\\i.img"});
    std::vector<std::string> expected = {"C:\\a.img", "C:\\b.img", "C:\\c.img", "C:\\d.img",
                                         "C:\\e.img", "C:\\f.img", "C:\\g.img", "C:\\h.img"};
    EXPECT_EQ(expected, recent.paths());
}

TEST(RecentFiles, MenuTextNumbersShortensAndDoublesAmpersands) {
    EXPECT_EQ("&1 C:\\disks\\dos.img", recentMenuText(0, "C:\\disks\\dos.img"));
    EXPECT_EQ("&8 C:\\R&&D\\a.img", recentMenuText(7, "C:\\R&D\\a.img"));
    // The root and the file name stay; the folders nearest to the name follow while they fit.
    EXPECT_EQ("&2 C:\\...\\floppies\\old\\games.img",
              recentMenuText(1, "C:\\Users\\someone\\Documents\\floppies\\old\\games.img", 29));
    EXPECT_EQ("&3 \\\\server\\share\\...\\disk.img",
              recentMenuText(2, "\\\\server\\share\\images\\archive\\disk.img", 24));
    // A name longer than the limit is kept whole; characters, not bytes, are counted.
    EXPECT_EQ("&4 C:\\...\\a-very-long-file-name.img",
              recentMenuText(3, "C:\\x\\a-very-long-file-name.img", 20));
    EXPECT_EQ("&5 C:\\Δίσκοι\\ελληνικά.img", recentMenuText(4, "C:\\Δίσκοι\\ελληνικά.img", 22));
}

}  // namespace
