// The tree, the file list and the status line for images made with mkfs.fat and mtools, and
// folder navigation with Enter and double-click (files: list_navigation_test.cpp).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/ui_driver.h"

using namespace ui_driver;

namespace {

// Every entry of the test images was written at 2021-03-04 05:06:08, shown in the user's formats.
std::string testMoment() {
    SYSTEMTIME moment = {};
    moment.wYear = 2021;
    moment.wMonth = 3;
    moment.wDay = 4;
    moment.wHour = 5;
    moment.wMinute = 6;
    moment.wSecond = 8;
    char date[80], time[80];
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &moment, nullptr, time, sizeof time);
    return std::string(date) + " - " + time;
}

class FileList : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start()) << "the main window never appeared";
        ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    }

    HWND list() { return session.control(IDC_FILE_LIST); }
    std::vector<std::string> names() { return listNames(list()); }
    std::string status() { return windowText(session.control(IDC_STATUS_LINE)); }
    int indexOf(const std::string& name) {
        std::vector<std::string> all = names();
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i] == name) return static_cast<int>(i);
        return -1;
    }
    void pressEnter() {
        postKey(list(), VK_RETURN);
        session.flushPosted();
    }
    void doubleClick(int index) {
        RECT item = {};
        item.left = LVIR_LABEL;
        SendMessageA(list(), LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
        POINT at = {item.left + 10, (item.top + item.bottom) / 2};
        ClientToScreen(list(), &at);
        sendClick(at, false, 2);
    }
    std::vector<std::string> selectedNames() {
        std::vector<std::string> out;
        for (const ListRow& row : listRows(list(), 1))
            if (row.selected && row.focused) out.push_back(row.columns[0]);
        return out;
    }

    UiSession session;
};

TEST_F(FileList, RootOfAPopulatedImageInEveryColumn) {
    const std::string moment = testMoment();
    struct Row {
        const char* name;
        const char* size;
        const char* attributes;
        int image;
    };
    // Folders first, then files, each by the name shown.
    const Row expected[] = {
        {"[DOCS]", "", "----", 0},  // a folder has no size
        {"[Photos of the summer]", "", "----", 0},
        {"ab cd.txt", "3", "-a--", 1},  // stored as "AB CD   TXT": the blank inside is kept
        {"empty1.dat", "0", "-a--", 1},
        {"empty2.dat", "0", "-a--", 1},
        {"Long file name document.txt", "2", "r-h-", 1},
        {"readme.txt", "6", "-a--", 1},
        {"system.sys", "1000", "---s", 1},
    };
    std::vector<ListRow> rows = listRows(list(), 4);
    ASSERT_EQ(sizeof expected / sizeof expected[0], rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(expected[i].name, rows[i].columns[0]) << "row " << i;
        EXPECT_EQ(expected[i].size, rows[i].columns[1]) << expected[i].name;
        EXPECT_EQ(moment, rows[i].columns[2]) << expected[i].name;
        EXPECT_EQ(expected[i].attributes, rows[i].columns[3]) << expected[i].name;
        EXPECT_EQ(expected[i].image, rows[i].image) << expected[i].name;
    }
    // The volume label is no entry; folders add nothing to the total.
    EXPECT_EQ("Directory contains 2 folders, 6 files, 1011 bytes total. 1452032 bytes free.",
              status());
    EXPECT_EQ("Tolven - [populated.img]", windowText(session.window()));
    EXPECT_EQ("TESTDISK", windowText(session.control(IDC_VOLUME_LABEL)));
    std::vector<TreeNode> nodes = treeNodes(session.control(IDC_INFO_TREE));
    ASSERT_EQ(22u, nodes.size());
    EXPECT_EQ("3.5\" Floppy Disk - 1440KB", nodes[0].text);
    EXPECT_EQ("mkfs.fat", nodes[2].text);
    EXPECT_EQ("FAT12   ", nodes[3].text);
    EXPECT_EQ("1234-5678", nodes[4].text);
}

TEST_F(FileList, EachItemLeadsToItsOwnRecord) {
    // The two empty files and the folders' ".." entries share start cluster 0; every item must
    // still reach the record it shows, although the list order is not the walker's order.
    session.selectListItem(indexOf("[DOCS]"));
    pressEnter();
    for (bool inFolder : {true, false}) {
        std::vector<std::string> shown = names();
        session.onUiThread([&] {
            for (size_t i = 0; i < shown.size(); ++i) {
                DirListEntry* record = session.editor().entryForItem(static_cast<int>(i));
                ASSERT_NE(nullptr, record) << shown[i];
                std::wstring name(record->longName);
                std::string display = utf8(name);
                bool folder = (record->rawEntry[11] & 0x10) != 0;
                if (folder && record->rawEntry[0] == '.') display = "[ " + display + " ]";
                else if (folder) display = "[" + display + "]";
                EXPECT_EQ(shown[i], display) << "item " << i;
            }
            EXPECT_EQ(nullptr, session.editor().entryForItem(static_cast<int>(shown.size())));
        });
        if (inFolder) session.openImage(testImagePath("populated.img"));
    }
    EXPECT_EQ("empty1.dat", names()[3]);
}

TEST_F(FileList, EnterOpensFoldersAndUpSelectsTheFolderLeft) {
    const std::string moment = testMoment();
    session.selectListItem(indexOf("[DOCS]"));
    pressEnter();
    std::vector<ListRow> rows = listRows(list(), 4);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"[ .. ]", "", moment, "----"}), rows[0].columns);
    EXPECT_EQ((std::vector<std::string>{"[Project Files]", "", moment, "----"}), rows[1].columns);
    EXPECT_EQ((std::vector<std::string>{"notes.txt", "6", moment, "-a--"}), rows[2].columns);
    EXPECT_EQ("Directory contains 1 folders, 1 files, 6 bytes total. 1452032 bytes free.",
              status());
    EXPECT_TRUE(selectedNames().empty());

    session.selectListItem(indexOf("[Project Files]"));
    pressEnter();
    EXPECT_EQ((std::vector<std::string>{"[ .. ]", "[INNER]", "Deep Notes.txt"}), names());
    EXPECT_EQ("Directory contains 1 folders, 1 files, 5 bytes total. 1452032 bytes free.",
              status());

    session.selectListItem(indexOf("[INNER]"));
    pressEnter();
    EXPECT_EQ((std::vector<std::string>{"[ .. ]"}), names());
    EXPECT_EQ("Directory contains 0 folders, 0 files, 0 bytes total. 1452032 bytes free.",
              status());

    // Up the ".." chain: each step shows the parent with the folder left selected and focused.
    session.selectListItem(0);
    pressEnter();
    EXPECT_EQ((std::vector<std::string>{"[ .. ]", "[INNER]", "Deep Notes.txt"}), names());
    EXPECT_EQ((std::vector<std::string>{"[INNER]"}), selectedNames());
    session.selectListItem(0);
    pressEnter();
    EXPECT_EQ((std::vector<std::string>{"[Project Files]"}), selectedNames());
    session.selectListItem(0);
    pressEnter();
    EXPECT_EQ(8u, names().size());
    EXPECT_EQ((std::vector<std::string>{"[DOCS]"}), selectedNames());
    EXPECT_EQ(0, session.editor().currentDirCluster);
    EXPECT_EQ("1 item selected. 1452032 bytes free.", status());
}

TEST_F(FileList, EnterDoesNothingWithoutSelectionOrOutsideTheList) {
    std::vector<std::string> root = names();
    session.focus(IDC_FILE_LIST);
    pressEnter();  // focus on the list, nothing selected
    EXPECT_EQ(root, names());

    session.selectListItem(indexOf("[DOCS]"));
    for (int elsewhere : {IDC_INFO_TREE, IDC_VOLUME_LABEL}) {
        session.focus(elsewhere);
        postKey(session.control(elsewhere), VK_RETURN);
        session.flushPosted();
        EXPECT_EQ(root, names()) << "focus on control " << elsewhere;
    }
}

TEST_F(FileList, FilesThatNothingOpensGiveOneBox) {
    session.selectListItem(indexOf("empty1.dat"));
    for (const char* name : {"empty2.dat", "system.sys"})
        ListView_SetItemState(list(), indexOf(name), LVIS_SELECTED, LVIS_SELECTED);
    session.settle();
    EXPECT_EQ("3 items selected, 1000 bytes. 1452032 bytes free.", status());
    pressEnter();
    EXPECT_EQ("No associated application found for 3 files:\nempty1.dat\nempty2.dat\nsystem.sys",
              answerMessageBox(session.threadId(), "View", IDOK));
}

TEST_F(FileList, DoubleClickOpensFoldersAndUpSelectsTheFolderLeft) {
    std::vector<std::string> root = names();
    doubleClick(indexOf("[Photos of the summer]"));
    ASSERT_TRUE(waitUntil([&] { return names() == std::vector<std::string>{"[ .. ]"}; }))
        << "double-click did not open the folder";
    doubleClick(0);
    ASSERT_TRUE(waitUntil([&] { return names() == root; })) << "double-click on .. did not go up";
    EXPECT_EQ((std::vector<std::string>{"[Photos of the summer]"}), selectedNames());
}

class TreeView : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.start()) << "the main window never appeared"; }
    UiSession session;
};

TEST_F(TreeView, FiveQuarterInchFormatsShowTheirDrive) {
    const struct {
        const char* image;
        const char* root;
        const char* sectors;
    } cases[] = {
        {"empty360.img", "5.25\" Floppy Disk - 360KB", "720 sectors total"},
        {"empty1200.img", "5.25\" Floppy Disk - 1200KB", "2400 sectors total"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(kResultOk, session.openImage(testImagePath(c.image))) << c.image;
        std::vector<TreeNode> nodes = treeNodes(session.control(IDC_INFO_TREE));
        ASSERT_EQ(22u, nodes.size()) << c.image;
        EXPECT_EQ(c.root, nodes[0].text);
        EXPECT_EQ(3, nodes[0].image) << c.image;
        EXPECT_TRUE(nodes[0].expanded) << c.image;
        EXPECT_EQ(c.sectors, nodes[8].text);
        EXPECT_TRUE(listNames(session.control(IDC_FILE_LIST)).empty()) << c.image;
    }
}

}  // namespace
