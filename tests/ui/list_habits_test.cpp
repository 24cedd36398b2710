// The list's Explorer habits: the focus on entering a folder, Alt+Up, the status line following
// the selection, Enter in the label field, and Tab in reading order.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/boot_sector.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_driver.h"

using namespace ui_driver;

namespace {

class ListHabits : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start()) << "the main window never appeared";
        ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    }

    HWND list() { return session.control(IDC_FILE_LIST); }
    std::string status() { return windowText(session.control(IDC_STATUS_LINE)); }
    std::string path() { return windowText(session.control(IDC_FOLDER_PATH)); }
    int indexOf(const std::string& name) {
        std::vector<std::string> all = listNames(list());
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i] == name) return static_cast<int>(i);
        return -1;
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
    void enter(const std::string& name) {
        session.selectListItem(indexOf(name));
        postKey(list(), VK_RETURN);
        session.settle();
    }
    HWND focused() {
        HWND focus = nullptr;
        session.onUiThread([&] { focus = GetFocus(); });
        return focus;
    }

    UiSession session;
};

TEST_F(ListHabits, EnteringFocusesTheFirstEntryAndAltUpGoesBack) {
    enter("[DOCS]");
    EXPECT_EQ(" | [Project Files]", marked()) << "focused, not selected";
    enter("[Project Files]");
    enter("[INNER]");
    EXPECT_EQ(" | [ .. ]", marked()) << "an empty folder: the way back";

    for (const char* shown : {"\\DOCS\\Project Files", "\\DOCS"}) {
        session.focus(IDC_FILE_LIST);
        sendKeys({VK_MENU}, VK_UP);
        ASSERT_TRUE(waitUntil([&] { return path() == shown; })) << path();
    }
    EXPECT_EQ("[Project Files] | [Project Files]", marked());
    // From the label field too, as Explorer's Alt+Up works anywhere in the window.
    session.focus(IDC_VOLUME_LABEL);
    sendKeys({VK_MENU}, VK_UP);
    ASSERT_TRUE(waitUntil([&] { return path() == "\\"; })) << path();
    EXPECT_EQ("[DOCS] | [DOCS]", marked());
}

TEST_F(ListHabits, StatusLineCountsTheSelection) {
    const std::string free = " 1452032 bytes free.";
    session.selectListItem(indexOf("system.sys"));
    session.settle();
    EXPECT_EQ("1 item selected, 1000 bytes." + free, status());
    session.onUiThread([&] {
        for (const char* name : {"[DOCS]", "readme.txt", "ab cd.txt"})
            ListView_SetItemState(list(), indexOf(name), LVIS_SELECTED, LVIS_SELECTED);
    });
    session.settle();
    EXPECT_EQ("4 items selected, 1009 bytes." + free, status()) << "a folder has no size";
    session.onUiThread([&] { ListView_SetItemState(list(), -1, 0, LVIS_SELECTED); });
    session.settle();
    EXPECT_EQ("Directory contains 2 folders, 6 files, 1011 bytes total." + free, status());

    ASSERT_EQ(kResultOk, session.openImage(testImagePath("order.img")));
    session.selectListItem(indexOf("readme.txt"));
    session.onUiThread(
        [&] { ListView_SetItemState(list(), indexOf("File2.txt"), LVIS_SELECTED, LVIS_SELECTED); });
    session.settle();
    EXPECT_EQ("2 items selected, 2 KB. 1418240 bytes free.", status()) << "1200 bytes, rounded up";
}

TEST_F(ListHabits, SeveralFilesThatNothingOpensGiveOneBox) {
    session.selectListItem(indexOf("empty1.dat"));
    session.onUiThread([&] {
        for (const char* name : {"empty2.dat", "system.sys"})
            ListView_SetItemState(list(), indexOf(name), LVIS_SELECTED, LVIS_SELECTED);
    });
    postKey(list(), VK_RETURN);
    EXPECT_EQ("No associated application found for 3 files:\nempty1.dat\nempty2.dat\nsystem.sys",
              answerMessageBox(session.threadId(), "View", IDOK));
    session.settle();
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "View")) << "a box per file";
}

TEST_F(ListHabits, EnterAppliesTheLabelAndTabGoesInReadingOrder) {
    HWND field = session.control(IDC_VOLUME_LABEL);
    EXPECT_EQ("TESTDISK", windowText(field)) << "shown without the stored padding";
    session.focus(IDC_VOLUME_LABEL);
    setText(field, "new one");
    postKey(field, VK_RETURN);
    session.settle();
    char stored[12] = {};
    session.onUiThread([&] { std::memcpy(stored, session.editor().bootSector + bs::kVolumeLabel, 11); });
    EXPECT_STREQ("NEW ONE    ", stored);
    EXPECT_EQ("NEW ONE", windowText(field));
    EXPECT_EQ("Tolven - [populated.img *]", windowText(session.window()));
    EXPECT_EQ(field, focused()) << "Enter keeps the focus in the field";

    const int order[] = {IDC_INFO_TREE, IDC_FOLDER_PATH, IDC_FILE_LIST, IDC_VOLUME_LABEL};
    for (int id : order) {
        postKey(focused(), VK_TAB);
        session.settle();
        EXPECT_EQ(session.control(id), focused()) << "after Tab, control " << id;
    }
}

}  // namespace
