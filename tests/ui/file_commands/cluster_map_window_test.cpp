// The cluster organisation dialog, read back pixel by pixel from the screen: the outer frame, one
// cell per cluster in the colour of its FAT entry's class, and the legend under them; its keys;
// a cell's owner and chain on a click, and the sector view it opens.
#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "tests/ui/file_commands/file_commands_support.h"

using namespace ui_driver;

namespace {

const uint32_t kBlack = 0x000000;
const uint32_t kWhite = 0xFFFFFF;
const uint32_t kGreen = 0x00C000;  // 0xRRGGBB
const uint32_t kBlue = 0x0000FF;
const uint32_t kRed = 0xFF0000;
const uint32_t kYellow = 0xFFFF00;

class ClusterMapWindow : public FileCommandTest {
protected:
    // Opens the map, forces a full paint and reads it back.
    void show() {
        command(ID_CLUSTER_MAP);
        dialog = waitForDialog("Cluster organisation");
        ASSERT_NE(nullptr, dialog);
        RECT outer;
        GetWindowRect(dialog, &outer);
        width = outer.right - outer.left;
        height = outer.bottom - outer.top;
        frame = GetSystemMetrics(SM_CYDLGFRAME);
        legendTop = rectInParent(GetDlgItem(dialog, IDC_CLUSTER_MAP_FREE), dialog).top;
        perRow = (width - 2 * frame - 7) / 8;
        session.onUiThread([&] {
            RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        });
        picture = captureClient(dialog);
    }

    void close() {
        pressButton(dialog, IDC_CLUSTER_MAP_OK);
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    }

    int cellX(int index) const { return 5 + 8 * (index % perRow); }
    int cellY(int index) const { return 5 + 8 * (index / perRow); }
    // The fill of a cell: its centre. A drawn cell also has a black corner.
    uint32_t fill(int index) const { return picture.at(cellX(index) + 3, cellY(index) + 3); }
    bool drawn(int index) const {
        int x = cellX(index), y = cellY(index);
        return picture.at(x, y) == kBlack && picture.at(x + 6, y + 6) == kBlack &&
               picture.at(x + 7, y + 3) != kBlack;  // the gap to the next cell
    }

    void expectFrame() {
        int right = width - 2 * frame - 3;
        int bottom = legendTop - 4;
        EXPECT_EQ(kBlack, picture.at(3, 3));
        EXPECT_EQ(kBlack, picture.at(right - 1, 3));
        EXPECT_EQ(kBlack, picture.at(3, bottom - 1));
        EXPECT_EQ(kBlack, picture.at(right - 1, bottom - 1));
        EXPECT_EQ(kWhite, picture.at(4, 4));
        EXPECT_NE(kBlack, picture.at(right, bottom)) << "frame larger than specified";
        EXPECT_NE(kWhite, picture.at(2, 2)) << "frame larger than specified";
    }

    HWND dialog = nullptr;
    int width = 0, height = 0, frame = 0, legendTop = 0, perRow = 1;
    Capture picture;
};

TEST_F(ClusterMapWindow, NewImageShowsEveryClusterAsAWhiteCell) {
    show();
    expectFrame();
    int white = 0;
    for (int j = 0; j < 2847; ++j) {
        if (drawn(j) && fill(j) == kWhite) ++white;
    }
    EXPECT_EQ(2847, white);
    EXPECT_FALSE(drawn(2847)) << "a cell past the last cluster";
    close();
}

// Cell i shows cluster i + 2, and cell n starts the second row. (Which colour each class takes:
// ClusterMapLayout's unit test; that the screen shows those colours: the legend's swatches.)
TEST_F(ClusterMapWindow, EachCellShowsItsOwnClusterAndCellNStartsTheSecondRow) {
    int n = 0;
    {
        // The row length only depends on the dialog's size, known after a first look.
        show();
        n = perRow;
        close();
    }
    ASSERT_GT(n, 10);
    session.onUiThread([&] {
        uint16_t* fat = session.editor().fatTable;
        fat[3] = 0xFFF;      // index 1: used
        fat[4] = 0xFF7;      // index 2: bad
        fat[n + 2] = 0xFF8;  // index n: reserved, first cell of the second row
    });
    show();
    const uint32_t firstRow[] = {kWhite, kGreen, kRed, kWhite};
    for (int j = 0; j < 4; ++j) {
        EXPECT_TRUE(drawn(j)) << j;
        EXPECT_EQ(firstRow[j], fill(j)) << j;
    }
    EXPECT_EQ(kWhite, fill(n - 1));
    EXPECT_TRUE(drawn(n));
    EXPECT_EQ(kBlue, picture.at(8, 16));  // cell n's centre: at the left, 8 pixels lower
    EXPECT_EQ(kWhite, fill(n + 1));
    close();
}

TEST_F(ClusterMapWindow, ImageWithoutClustersDrawsOnlyTheFrame) {
    uint16_t count = 0;
    session.onUiThread([&] {
        count = session.editor().clusterCount;
        session.editor().clusterCount = 0;
    });
    show();
    session.onUiThread([&] { session.editor().clusterCount = count; });
    expectFrame();
    int right = width - 2 * frame - 3;
    int bottom = legendTop - 4;
    int black = 0;
    for (int y = 4; y < bottom - 1; ++y)
        for (int x = 4; x < right - 1; ++x)
            if (picture.at(x, y) != kWhite) ++black;
    EXPECT_EQ(0, black) << "something drawn inside the frame";
    close();
}

TEST_F(ClusterMapWindow, LegendCountsEachClassInItsColourAndEnterOrEscapeClose) {
    session.onUiThread([&] {
        uint16_t* fat = session.editor().fatTable;
        fat[2] = 0x003, fat[3] = 0xFFF, fat[4] = 0xFF7, fat[5] = 0xFF8;
    });
    show();
    const std::pair<const char*, uint32_t> legend[] = {
        {"Free: 2843", kWhite}, {"Used: 2", kGreen}, {"Reserved: 1", kBlue}, {"Bad: 1", kRed}};
    for (int i = 0; i < 4; ++i) {
        HWND text = GetDlgItem(dialog, IDC_CLUSTER_MAP_FREE + i);
        EXPECT_EQ(legend[i].first, windowText(text));
        RECT r = rectInParent(text, dialog);  // the swatch: a cell left of the text, centred
        int top = (r.top + r.bottom - 7) / 2;
        EXPECT_EQ(kBlack, picture.at(r.left - 11, top)) << legend[i].first;
        EXPECT_EQ(legend[i].second, picture.at(r.left - 8, top + 3)) << legend[i].first;
    }
    for (UINT key : {VK_RETURN, VK_ESCAPE}) {
        if (key == VK_ESCAPE) show();
        HWND focused = nullptr;
        session.onUiThread([&] { focused = GetFocus(); });
        EXPECT_EQ(GetDlgItem(dialog, IDC_CLUSTER_MAP_OK), focused);
        postKey(focused, key);
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); })) << "key " << key;
    }
}

// populated.img: mtools gave README.TXT cluster 2, the long-named file 3, SYSTEM.SYS 4-5.
TEST_F(ClusterMapWindow, ClickNamesTheOwnerAndMarksItsChainDoubleClickShowsItsBytes) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    show();
    HWND info = GetDlgItem(dialog, IDC_CLUSTER_MAP_INFO);
    LPARAM cell = MAKELPARAM(cellX(2) + 3, cellY(2) + 3);
    PostMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, cell);
    ASSERT_TRUE(waitUntil([&] { return windowText(info) == "Cluster 4: sector 35, /SYSTEM.SYS"; }))
        << windowText(info);
    session.onUiThread([&] { RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); });
    picture = captureClient(dialog);
    const uint32_t cells[] = {kGreen, kGreen, kYellow, kYellow, kGreen};
    for (int j = 0; j < 5; ++j) EXPECT_EQ(cells[j], fill(j)) << j;

    PostMessageW(dialog, WM_LBUTTONDBLCLK, MK_LBUTTON, cell);
    HWND view = waitForDialog("Sector 35: cluster 4 of /SYSTEM.SYS");
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(0u, windowText(GetDlgItem(view, IDC_SECTOR_HEX)).find("00004600  00 00"));
    pressButton(view, IDC_SECTOR_CLOSE);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(view); }));
    close();
}

// Page keys move a sector at a time and stop at the first; "Go to" takes a cluster.
TEST_F(ClusterMapWindow, SectorViewPagesAndGoesToACluster) {
    command(ID_SECTOR_VIEW);
    HWND view = waitForDialog("Sector 0: boot sector");
    ASSERT_NE(nullptr, view);
    HWND hex = GetDlgItem(view, IDC_SECTOR_HEX);
    EXPECT_NE(std::string::npos,
              windowText(GetDlgItem(view, IDC_SECTOR_DECODED)).find("bytes per sector        512"));
    postKey(hex, VK_PRIOR);
    postKey(hex, VK_NEXT);
    EXPECT_TRUE(waitUntil([&] { return windowText(view) == "Sector 1: FAT copy 1 (sector 1 of 9)"; }))
        << windowText(view);
    setText(GetDlgItem(view, IDC_SECTOR_GOTO), "2");
    PostMessageW(GetDlgItem(view, IDC_SECTOR_AS_CLUSTER), BM_CLICK, 0, 0);
    pressButton(view, IDC_SECTOR_GO);
    EXPECT_TRUE(waitUntil([&] { return windowText(view) == "Sector 33: cluster 2 (free)"; }))
        << windowText(view);
    postKey(GetDlgItem(view, IDC_SECTOR_GO), VK_PRIOR);
    EXPECT_TRUE(waitUntil([&] {
        return windowText(view) == "Sector 32: root directory (sector 14 of 14)";
    })) << windowText(view);
    EXPECT_EQ(0u, windowText(GetDlgItem(view, IDC_SECTOR_DECODED)).find("slot  kind"));
    postKey(hex, VK_ESCAPE);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(view); }));
}

// The list's context menu marks the focused file's chain.
TEST_F(ClusterMapWindow, ShowInClusterMapMarksTheFocusedFile) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    std::vector<std::string> names = listNames(session.control(IDC_FILE_LIST));
    auto at = std::find(names.begin(), names.end(), "system.sys");
    ASSERT_NE(names.end(), at);
    session.selectListItem(static_cast<int>(at - names.begin()));
    sendKeys({}, VK_APPS);
    ASSERT_NE(nullptr, waitForWindow(session.threadId(), kMenuClass, nullptr));
    sendKeys({}, 'M');
    dialog = waitForDialog("Cluster organisation");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Cluster 4: sector 35, /SYSTEM.SYS",
              windowText(GetDlgItem(dialog, IDC_CLUSTER_MAP_INFO)));
    close();
}

}  // namespace
