// The file list as people read and move through it: its order and the header clicks that change
// it, refreshes that keep the user's place, the folder path, and the list's keys.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/ui_driver.h"

using namespace ui_driver;

namespace {

using Names = std::vector<std::string>;

class ListNavigation : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start()) << "the main window never appeared";
        ASSERT_EQ(kResultOk, session.openImage(testImagePath("order.img")));
    }

    HWND list() { return session.control(IDC_FILE_LIST); }
    Names names() { return listNames(list()); }
    std::string path() { return windowText(session.control(IDC_FOLDER_PATH)); }
    int indexOf(const std::string& name) {
        Names all = names();
        auto found = std::find(all.begin(), all.end(), name);
        return found == all.end() ? -1 : static_cast<int>(found - all.begin());
    }
    // The selected names, then the focused one: "a.txt, b.txt | b.txt".
    std::string marked() {
        std::string selected, focus;
        for (const ListRow& row : listRows(list(), 1)) {
            if (row.selected) selected += (selected.empty() ? "" : ", ") + row.columns[0];
            if (row.focused) focus = row.columns[0];
        }
        return selected + " | " + focus;
    }
    void key(UINT virtualKey) {
        postKey(list(), virtualKey);
        session.flushPosted();
    }
    void open(const std::string& name) {
        session.selectListItem(indexOf(name));
        key(VK_RETURN);
    }
    // The screen point at `x` of the item's name, at `y` (0 top, 1 middle, 2 bottom).
    POINT itemPoint(const std::string& name, int x, int y) {
        RECT item = {};
        ListView_GetItemRect(list(), indexOf(name), &item, LVIR_LABEL);
        POINT at = {item.left + x, item.top + (item.bottom - item.top) * y / 2};
        ClientToScreen(list(), &at);
        return at;
    }
    int arrow(int column) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        Header_GetItem(ListView_GetHeader(list()), column, &item);
        return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
    }
    // A real click on the column's header, then waits for the order to change.
    bool clickHeader(int column) {
        Names before = names();
        HWND header = ListView_GetHeader(list());
        RECT item;
        Header_GetItemRect(header, column, &item);
        // In turn left and right of the middle, so that two clicks are never one double-click.
        POINT at = {(item.left + item.right) / 2 + (clicks++ % 2 == 0 ? -8 : 8), item.bottom / 2};
        ClientToScreen(header, &at);
        sendClick(at, false, 1);
        return waitUntil([&] { return names() != before; });
    }

    UiSession session;
    int clicks = 0;
};

const Names kFolders = {"[ALPHA]", "[folder 9]", "[Folder 10]", "[Many]"};

Names folderThen(const Names& files) {
    Names all = kFolders;
    all.insert(all.end(), files.begin(), files.end());
    return all;
}

TEST_F(ListNavigation, FoldersThenFilesByNameAndHeaderClicksSortAndReverse) {
    EXPECT_EQ(folderThen({"file1.txt", "File2.txt", "file10.txt", "readme.txt", "Zeta.qqqzz"}),
              names());
    EXPECT_EQ(HDF_SORTUP, arrow(0));

    session.selectListItem(indexOf("File2.txt"));
    ASSERT_TRUE(clickHeader(1));  // Size: folders stay first, by name where sizes are equal
    EXPECT_EQ(folderThen({"Zeta.qqqzz", "file1.txt", "file10.txt", "File2.txt", "readme.txt"}),
              names());
    EXPECT_EQ(0, arrow(0));
    EXPECT_EQ(HDF_SORTUP, arrow(1));
    ASSERT_TRUE(clickHeader(1));
    EXPECT_EQ(folderThen({"readme.txt", "File2.txt", "file10.txt", "file1.txt", "Zeta.qqqzz"}),
              names());
    EXPECT_EQ(HDF_SORTDOWN, arrow(1));
    EXPECT_EQ("File2.txt | File2.txt", marked()) << "the selection moves with its entry";

    ASSERT_TRUE(clickHeader(2));
    EXPECT_EQ(folderThen({"file10.txt", "File2.txt", "file1.txt", "readme.txt", "Zeta.qqqzz"}),
              names());
    ASSERT_TRUE(clickHeader(0));
    ASSERT_TRUE(clickHeader(0));
    EXPECT_EQ((Names{"[Many]", "[Folder 10]", "[folder 9]", "[ALPHA]", "Zeta.qqqzz", "readme.txt",
                     "file10.txt", "File2.txt", "file1.txt"}),
              names());
}

TEST_F(ListNavigation, RefreshKeepsSelectionFocusAndScrollAndDeleteKeyDeletes) {
    open("[Many]");
    session.onUiThread([&] {
        for (int i : {indexOf("item 10.txt"), indexOf("item 40.txt")})
            ListView_SetItemState(list(), i, LVIS_SELECTED, LVIS_SELECTED);
        ListView_SetItemState(list(), indexOf("item 40.txt"), LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_EnsureVisible(list(), 50, FALSE);
    });
    int top = ListView_GetTopIndex(list());
    ASSERT_GT(top, 20);  // and not at the end, which a deleted item would move
    session.onUiThread([&] { session.editor().rebuildViews(); });
    EXPECT_EQ("item 10.txt, item 40.txt | item 40.txt", marked());
    EXPECT_EQ(top, ListView_GetTopIndex(list()));

    session.selectListItem(indexOf("item 40.txt"));
    key(VK_DELETE);
    EXPECT_EQ("Delete \"item 40.txt\"?", answerMessageBox(session.threadId(), "Delete", IDYES));
    session.settle();
    EXPECT_EQ(-1, indexOf("item 40.txt"));
    // The focus takes the place of the entry deleted; nothing is selected the user did not.
    EXPECT_EQ(" | item 41.txt", marked());
    EXPECT_EQ(top, ListView_GetTopIndex(list()));
    EXPECT_EQ("\\Many", path());

    session.onUiThread([&] {  // as after opening another image: from the top, nothing marked
        session.editor().forgetShownFolder();
        session.editor().refreshDirectory();
    });
    EXPECT_EQ(0, ListView_GetTopIndex(list()));
    EXPECT_EQ(" | ", marked());
}

TEST_F(ListNavigation, BackspaceGoesUpAndThePathFollows) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    EXPECT_EQ("\\", path());
    open("[DOCS]");
    EXPECT_EQ(" | [Project Files]", marked()) << "entering focuses the first entry";
    open("[Project Files]");
    EXPECT_EQ("\\DOCS\\Project Files", path());
    key(VK_BACK);
    EXPECT_EQ("\\DOCS", path());
    EXPECT_EQ("[Project Files] | [Project Files]", marked());
    key(VK_BACK);
    EXPECT_EQ("\\", path());
    EXPECT_EQ("[DOCS] | [DOCS]", marked());
    Names root = names();
    key(VK_BACK);  // nothing above the root
    EXPECT_EQ(root, names());
    open("[DOCS]");
    sendKeys({VK_MENU}, VK_UP);  // as Backspace
    EXPECT_TRUE(waitUntil([&] { return marked() == "[DOCS] | [DOCS]"; })) << marked();
}

TEST_F(ListNavigation, EnterAndDoubleClickViewFiles) {
    session.selectListItem(indexOf("Zeta.qqqzz"));
    postKey(list(), VK_RETURN);
    EXPECT_EQ("No associated application found!",
              answerMessageBox(session.threadId(), "View", IDOK));
    sendClick(itemPoint("Zeta.qqqzz", 10, 1), false, 2);
    EXPECT_EQ("No associated application found!",
              answerMessageBox(session.threadId(), "View", IDOK));
}

TEST_F(ListNavigation, MenuKeysOpenTheMenuAtTheFocusedItemAndCtrlASelectsAll) {
    open("[Many]");
    session.selectListItem(indexOf("item 5.txt"));
    POINT corner = itemPoint("item 5.txt", 0, 2);
    for (bool shiftF10 : {true, false}) {
        if (shiftF10) sendKeys({VK_SHIFT}, VK_F10);
        else sendKeys({}, VK_APPS);
        HWND menu = waitForWindow(session.threadId(), kMenuClass, nullptr);
        ASSERT_NE(nullptr, menu) << (shiftF10 ? "Shift+F10" : "Menu key");
        RECT placed;
        GetWindowRect(menu, &placed);
        EXPECT_EQ(corner.x, placed.left);
        EXPECT_EQ(corner.y, placed.top);
        sendKeys({}, VK_ESCAPE);
        ASSERT_TRUE(waitForWindowGone(session.threadId(), kMenuClass, nullptr));
    }
    sendKeys({VK_CONTROL}, 'A');
    ASSERT_TRUE(waitUntil([&] { return ListView_GetSelectedCount(list()) == 60; }));
    EXPECT_EQ(0u, marked().find("item 1.txt, ")) << "\"[ .. ]\" is no entry of the folder";
}

}  // namespace
