// The main window through its real controls: start-up state, menu, toolbar and tooltips, layout,
// keys that must do nothing, the list's context menu, and quitting.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/ui_driver.h"

using namespace ui_driver;

namespace {

class MainWindow : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.start()) << "the main window never appeared"; }

    std::vector<std::string> names() { return listNames(session.control(IDC_FILE_LIST)); }
    std::string status() { return windowText(session.control(IDC_STATUS_LINE)); }

    UiSession session;
};

// A temporary file as viewing leaves one behind: its path listed in the editor's tempFiles.
std::string makeViewedTempFile(UiSession& session, const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string path = std::string(folder) + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    session.onUiThread([&] {
        session.editor().tempFiles.add(path.c_str(), static_cast<uint32_t>(path.size() + 1));
    });
    return path;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(MainWindow, StartsWithTheUntitledDefaultImage) {
    EXPECT_EQ("Tolven - [untitled.img]", windowText(session.window()));
    EXPECT_EQ("NO NAME", windowText(session.control(IDC_VOLUME_LABEL)));

    std::vector<TreeNode> nodes = treeNodes(session.control(IDC_INFO_TREE));
    ASSERT_EQ(22u, nodes.size());
    EXPECT_EQ("3.5\" Floppy Disk - 1440KB", nodes[0].text);
    EXPECT_EQ(0, nodes[0].level);
    EXPECT_EQ(2, nodes[0].image);
    EXPECT_TRUE(nodes[0].bold);
    EXPECT_TRUE(nodes[0].expanded);
    EXPECT_EQ("BIOS Parameter Block (BPB)", nodes[1].text);
    EXPECT_EQ(1, nodes[1].level);
    EXPECT_EQ(0, nodes[1].image);
    EXPECT_FALSE(nodes[1].expanded);
    const char* bpb[] = {"TOLVEN  ",
                         "FAT12   ",
                         nullptr /* serial */,
                         "2 heads",
                         "2 FATs",
                         "512 bytes per sector",
                         "2880 sectors total",
                         "1 sectors reserved",
                         "0 sectors hidden",
                         "1 sectors per cluster",
                         "18 sectors per track",
                         "9 sectors per FAT",
                         "max. 224 root entries"};
    for (int i = 0; i < 13; ++i) {
        const TreeNode& node = nodes[2 + i];
        EXPECT_EQ(2, node.level) << node.text;
        EXPECT_EQ(1, node.image) << node.text;
        if (bpb[i] != nullptr) {
            EXPECT_EQ(bpb[i], node.text);
        }
    }
    unsigned high = 0, low = 0;
    char tail = 0;
    EXPECT_EQ(9u, nodes[4].text.size());
    EXPECT_EQ(2, std::sscanf(nodes[4].text.c_str(), "%4X-%4X%c", &high, &low, &tail))
        << nodes[4].text;
    EXPECT_EQ("FAT information", nodes[15].text);
    EXPECT_EQ(1, nodes[15].level);
    EXPECT_FALSE(nodes[15].expanded);
    EXPECT_EQ("0 used clusters", nodes[16].text);
    EXPECT_EQ("0 reserved clusters", nodes[17].text);
    EXPECT_EQ("0 bad clusters", nodes[18].text);
    EXPECT_EQ("2847 free clusters", nodes[19].text);
    EXPECT_EQ("Fragmented files: 0", nodes[20].text);
    EXPECT_EQ("Largest free run: 2847 clusters", nodes[21].text);
    for (int i = 16; i < 22; ++i) EXPECT_EQ(2, nodes[i].level);

    EXPECT_TRUE(names().empty());
    EXPECT_EQ("Directory contains 0 folders, 0 files, 0 bytes total. 1457664 bytes free.",
              status());

    HWND list = session.control(IDC_FILE_LIST);
    const char* headings[] = {"Name", "Size", "Modified", "Attr"};
    // The Modified column fits a long moment in the user's formats with the list's padding.
    SYSTEMTIME late = {2028, 12, 4, 28, 22, 58, 58, 0};
    char date[80], time[80];
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &late, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &late, nullptr, time, sizeof time);
    std::string moment = std::string(date) + " - " + time;
    int modified = static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0,
                                                 reinterpret_cast<LPARAM>(moment.c_str()))) +
                   12;
    const int widths[] = {180, 60, modified > 120 ? modified : 120, 32};
    const int formats[] = {LVCFMT_LEFT, LVCFMT_RIGHT, LVCFMT_RIGHT, LVCFMT_LEFT};
    for (int i = 0; i < 4; ++i) {
        char text[64] = {0};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(headings[i], text);
        if (i == 2) EXPECT_LE(widths[i], column.cx);
        else EXPECT_EQ(widths[i], column.cx);
        EXPECT_EQ(formats[i], column.fmt & LVCFMT_JUSTIFYMASK);
    }
    EXPECT_EQ(static_cast<LRESULT>(LVS_EX_FULLROWSELECT),
              SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

TEST_F(MainWindow, MenuHoldsEveryCommand) {
    HMENU bar = GetMenu(session.window());
    std::vector<MenuEntry> top = menuEntries(bar);
    ASSERT_EQ(6u, top.size());
    EXPECT_EQ("&File", top[0].text);
    EXPECT_EQ("&Edit", top[1].text);
    EXPECT_EQ("&Image", top[2].text);
    EXPECT_EQ("&Disk", top[3].text);
    EXPECT_EQ("&View", top[4].text);
    EXPECT_EQ("&?", top[5].text);

    struct Expected {
        int menu;
        const char* text;  // null for a separator
        UINT id;
        bool grayed;
    };
    const Expected expected[] = {
        {0, "&New...\tCtrl+N", 40011, false},
        {0, "&Open...\tCtrl+O", 40012, false},
        {0, nullptr, 0, false},
        {0, "&Save\tCtrl+S", 40013, false},
        {0, "Save &As...", 40006, false},
        {0, nullptr, 0, false},
        {0, "&Quit", 40005, false},
        {1, "&Undo\tCtrl+Z", 40027, true},  // nothing to undo or redo yet
        {1, "&Redo\tCtrl+Y", 40028, true},
        {1, nullptr, 0, false},
        {1, "&Open", 40140, false},
        {1, "&Copy\tCtrl+C", 40170, false},
        {1, "&Paste\tCtrl+V", 40171, false},
        {1, "&Delete\tDel", 40029, false},
        {1, "Und&elete...", 40101, false},
        {1, "Select &all\tCtrl+A", 40030, false},
        {1, nullptr, 0, false},
        {1, "Re&name\tF2", 40025, false},
        {1, "Proper&ties...\tAlt+Enter", 40026, false},
        {2, "&Up one level\tAlt+Up", 40142, false},
        {2, nullptr, 0, false},
        {2, "&Insert...\tF3", 40021, false},
        {2, "Insert &folder...", 40023, false},
        {2, "&Extract all...\tF4", 40020, false},
        {2, "Extract &selected...", 40031, false},
        {2, nullptr, 0, false},
        {2, "&New folder...\tCtrl+Shift+N", 40024, false},
        {2, nullptr, 0, false},
        {2, "I&mport Bootsector...", 40015, false},
        {2, "E&xport Bootsector...", 40014, false},
        {2, nullptr, 0, false},
        {2, "Im&port Bootcode...", 40017, false},
        {2, "Exp&ort Bootcode...", 40016, false},
        {2, nullptr, 0, false},
        {2, "&Cluster organisation...", 40022, false},
        {2, "Show in cluster m&ap", 40141, false},
        {2, "Sector &view...\tCtrl+H", 40081, false},
        {2, "Check &disk...", 40110, false},
        {2, nullptr, 0, false},
        {2, "Chan&ge format...", 40060, false},
        {2, "Defragmen&t", 40120, false},
        {2, "&Wipe free space...", 40121, false},
        {3, "&Load image from disk...\tF7", 40019, false},
        {3, "&Write image to disk...\tF8", 40018, false},
        {4, "Show &deleted entries", 40100, false},
        {5, "&About...", 40010, false},
    };
    std::vector<std::vector<MenuEntry>> menus;
    for (int i = 0; i < 6; ++i) menus.push_back(menuEntries(GetSubMenu(bar, i)));
    size_t next[6] = {0, 0, 0, 0, 0, 0};
    for (const Expected& e : expected) {
        ASSERT_LT(next[e.menu], menus[e.menu].size());
        const MenuEntry& item = menus[e.menu][next[e.menu]++];
        if (e.text == nullptr) {
            EXPECT_TRUE(item.separator);
            continue;
        }
        EXPECT_EQ(e.text, item.text);
        EXPECT_EQ(e.id, item.id) << e.text;
        EXPECT_EQ(e.grayed, item.grayed) << e.text;
    }
    for (int i = 0; i < 6; ++i) EXPECT_EQ(next[i], menus[i].size()) << "menu " << i;
}

TEST_F(MainWindow, ToolbarButtonsAndTheirTooltips) {
    HWND toolbar = GetDlgItem(session.window(), IDC_TOOLBAR);
    ASSERT_NE(nullptr, toolbar);
    ASSERT_EQ(12, SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    const int commands[] = {40011, 0, 40012, 40013, 0, 40021, 40032, 0, 40019, 40018, 0, 40010};
    const int bitmaps[] = {0, -1, 1, 2, -1, 3, 4, -1, 5, 6, -1, 7};
    for (int i = 0; i < 12; ++i) {
        TBBUTTON button = {};
        ASSERT_TRUE(SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
        if (commands[i] == 0) {
            EXPECT_TRUE(button.fsStyle & BTNS_SEP) << "position " << i;
            continue;
        }
        EXPECT_EQ(commands[i], button.idCommand) << "position " << i;
        EXPECT_EQ(bitmaps[i], button.iBitmap) << "position " << i;
        EXPECT_TRUE(button.fsState & TBSTATE_ENABLED) << "position " << i;
    }

    // The toolbar's tooltip asks the main window for each text, as when the mouse rests there.
    HWND tips = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(nullptr, tips);
    const struct {
        UINT id;
        const char* text;
    } expected[] = {
        {40011, "Create new image"},         {40012, "Open image file"},
        {40013, "Save image file"},          {40021, "Insert files into image"},
        {40032, "Extract selection or all"}, {40019, "Read image from floppy"},
        {40018, "Write image to floppy"},    {40010, "Show Tolven info"},
    };
    for (const auto& e : expected) {
        char text[80] = {0};
        TOOLINFOA tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = toolbar;
        tool.uId = e.id;
        tool.lpszText = text;
        SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
        EXPECT_STREQ(e.text, text) << "command " << e.id;
    }
}

TEST_F(MainWindow, LayoutFollowsTheWindowWithoutRefillingTheList) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    SetWindowPos(session.window(), nullptr, 0, 0, 700, 500, SWP_NOZORDER | SWP_NOMOVE);
    auto checkPlaces = [&](const char* when) {
        RECT client;
        GetClientRect(session.window(), &client);
        int right = client.right - 5, bottom = client.bottom - 5;
        // Rows 7 pixels below the toolbar, which sizes itself along the top edge.
        RECT toolbar = rectInParent(GetDlgItem(session.window(), IDC_TOOLBAR), session.window());
        EXPECT_LE(toolbar.top, 0) << when;
        int top = toolbar.bottom + 7;
        const struct {
            int id;
            RECT rect;  // left, top, right, bottom in the window's client area
        } placed[] = {
            {IDC_VOLUME_LABEL_CAPTION, {5, top, 45, top + 20}},
            {IDC_VOLUME_LABEL, {45, top, 240, top + 20}},
            {IDC_INFO_TREE, {5, top + 25, 240, bottom}},
            {IDC_STATUS_LINE, {250, top, right, top + 20}},
            {IDC_FOLDER_PATH, {250, top + 25, right, top + 45}},
            {IDC_FILE_LIST, {250, top + 50, right, bottom}},
        };
        for (const auto& e : placed) {
            RECT r = rectInParent(session.control(e.id), session.window());
            EXPECT_EQ(e.rect.left, r.left) << when << ", control " << e.id;
            EXPECT_EQ(e.rect.top, r.top) << when << ", control " << e.id;
            EXPECT_EQ(e.rect.right, r.right) << when << ", control " << e.id;
            EXPECT_EQ(e.rect.bottom, r.bottom) << when << ", control " << e.id;
        }
    };
    checkPlaces("at 700 x 500");

    // The records do not change with the size: the selection survives every layout.
    session.selectListItem(2);
    RECT shown = rectInParent(session.control(IDC_FILE_LIST), session.window());
    ShowWindow(session.window(), SW_MINIMIZE);
    ASSERT_TRUE(waitUntil([&] { return IsIconic(session.window()) != FALSE; }));
    EXPECT_EQ(shown.bottom, rectInParent(session.control(IDC_FILE_LIST), session.window()).bottom)
        << "laid out while minimised";
    ShowWindow(session.window(), SW_RESTORE);
    ASSERT_TRUE(waitUntil([&] { return IsIconic(session.window()) == FALSE; }));
    checkPlaces("restored");
    SetWindowPos(session.window(), nullptr, 0, 0, 720, 520, SWP_NOZORDER | SWP_NOMOVE);
    checkPlaces("at 720 x 520");
    EXPECT_TRUE(listRows(session.control(IDC_FILE_LIST), 1)[2].selected);

    // Never so small that the list disappears.
    SetWindowPos(session.window(), nullptr, 0, 0, 50, 50, SWP_NOZORDER | SWP_NOMOVE);
    RECT list = rectInParent(session.control(IDC_FILE_LIST), session.window());
    EXPECT_GE(list.right - list.left, 200);
    EXPECT_GE(list.bottom - list.top, 100);
}

TEST_F(MainWindow, F3InsertsFromAnywhereAndACancelChangesNothing) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    std::vector<std::string> before = names();
    for (int target : {IDC_FILE_LIST, IDC_VOLUME_LABEL, IDC_INFO_TREE}) {
        session.focus(target);
        postKey(session.control(target), VK_F3);
        HWND chooser = waitForWindow(session.threadId(), kDialogClass, "Insert Files");
        ASSERT_NE(nullptr, chooser) << "control " << target;
        pressButton(chooser, IDCANCEL);
        ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, "Insert Files"));
    }
    session.settle();
    EXPECT_EQ(before, names());
    EXPECT_EQ("Tolven - [populated.img]", windowText(session.window()));
}

TEST_F(MainWindow, LettersWithoutCtrlAreTypedIntoTheLabel) {
    HWND label = session.control(IDC_VOLUME_LABEL);
    session.focus(IDC_VOLUME_LABEL);
    SendMessageA(label, EM_SETSEL, 0, -1);
    for (UINT key : {'N', 'O', 'S'}) postKey(label, key);
    session.flushPosted();  // the key strokes, which queue their characters
    session.flushPosted();  // the characters
    EXPECT_EQ("NOS", windowText(label));
    EXPECT_EQ("Tolven - [untitled.img]", windowText(session.window()));
    EXPECT_EQ(session.window(), visibleWindows(session.threadId()).front());
    EXPECT_EQ(1u, visibleWindows(session.threadId()).size()) << "a window opened";
    postKey(label, VK_RETURN);  // applies the label; then Tab goes round in reading order
    for (int id : {IDC_VOLUME_LABEL, IDC_INFO_TREE, IDC_FOLDER_PATH, IDC_FILE_LIST}) {
        HWND focus = nullptr;
        session.settle();
        session.onUiThread([&] { focus = GetFocus(); });
        EXPECT_EQ(session.control(id), focus) << "control " << id;
        postKey(focus, VK_TAB);
    }
    EXPECT_EQ("Tolven - [untitled.img *]", windowText(session.window()));
}

TEST_F(MainWindow, ContextMenuOpensWithNothingSelected) {
    HWND list = session.control(IDC_FILE_LIST);
    RECT area;
    GetWindowRect(list, &area);
    POINT inside = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    sendClick(inside, true, 1);

    HWND menuWindow = waitForWindow(session.threadId(), kMenuClass, nullptr);
    ASSERT_NE(nullptr, menuWindow) << "no context menu";
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    EXPECT_EQ(session.editor().popupMenu, menu);
    std::vector<MenuEntry> items = menuEntries(menu);
    ASSERT_EQ(15u, items.size());
    EXPECT_EQ("&Open", items[0].text);
    EXPECT_EQ(1u, items[0].id);
    EXPECT_TRUE(items[0].isDefault);
    EXPECT_TRUE(items[1].separator);
    EXPECT_EQ("&Insert...", items[2].text);
    EXPECT_EQ(3u, items[2].id);
    EXPECT_FALSE(items[2].grayed);
    const char* texts[] = {"Insert fo&lder...",   "&Extract selected...",
                           "&Delete selected...", "&Undelete...",
                           "&Copy",               "P&aste",
                           nullptr,               "&New folder...",
                           "&Rename",             "&Properties",
                           nullptr,               "Show in cluster &map"};
    const UINT ids[] = {6, 4, 5, 21, 23, 24, 0, 7, 8, 9, 0, 20};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(texts[i] == nullptr, items[3 + i].separator);
        if (texts[i] != nullptr) {
            EXPECT_EQ(texts[i], items[3 + i].text);
        }
        EXPECT_EQ(ids[i], items[3 + i].id);
    }

    // The menu's bottom right corner is at the cursor.
    RECT placed;
    GetWindowRect(menuWindow, &placed);
    EXPECT_LE(placed.right, inside.x + 1);
    EXPECT_LE(placed.bottom, inside.y + 1);

    sendKeys({}, VK_ESCAPE);
    EXPECT_TRUE(waitForWindowGone(session.threadId(), kMenuClass, nullptr));
    EXPECT_EQ("Tolven - [untitled.img]", windowText(session.window()));
}

TEST_F(MainWindow, ErrorReportShowsEveryQueuedMessageInOneBox) {
    std::function<void()> report = [&] { session.editor().showErrorReport(); };
    session.postToUiThread(&report);
    session.flushPosted();  // nothing queued: no box at all
    EXPECT_EQ(1u, visibleWindows(session.threadId()).size());

    session.onUiThread([&] {
        session.editor().queueMessage("Could not open file %s!", "a.img");
        session.editor().queueMessage("Invalid bootsector found!");
    });
    session.postToUiThread(&report);
    bool found = false;
    // The box has no caption of its own; the platform's default is "Error".
    EXPECT_EQ("Could not open file a.img!\nInvalid bootsector found!",
              answerMessageBox(session.threadId(), "Error", IDOK, &found));
    EXPECT_TRUE(found);
    session.flushPosted();
    EXPECT_TRUE(session.editor().isEmpty());
}

TEST_F(MainWindow, QuitDeletesTemporaryFilesWithoutAsking) {
    std::string first = makeViewedTempFile(session, "tolven-window-test-1.txt");
    std::string second = makeViewedTempFile(session, "tolven-window-test-2.txt");
    ASSERT_TRUE(fileExists(first));
    ASSERT_FALSE(session.editor().hasUnsavedEdits());  // the untouched start image
    PostMessageA(session.window(), WM_COMMAND, ID_FILE_QUIT, 0);
    DWORD exitValue = 99;
    ASSERT_TRUE(session.waitForExit(&exitValue)) << "the loop did not end (a question asked?)";
    EXPECT_EQ(0u, exitValue);
    EXPECT_FALSE(fileExists(first));
    EXPECT_FALSE(fileExists(second));
}

TEST_F(MainWindow, QuitAsksOnlyAfterAnEdit) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    session.onUiThread([&] {
        session.editor().setVolumeLabel("CHANGED");
        session.editor().recordEdit();
    });
    PostMessageA(session.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ("Image \"populated.img\" has been changed! Do you want to save?",
              answerMessageBox(session.threadId(), "Warning", IDCANCEL));
    session.settle();
    EXPECT_TRUE(IsWindowVisible(session.window())) << "Cancel keeps the program running";
    PostMessageA(session.window(), WM_COMMAND, ID_FILE_QUIT, 0);
    answerMessageBox(session.threadId(), "Warning", IDNO);
    DWORD exitValue = 99;
    EXPECT_TRUE(session.waitForExit(&exitValue));
}

TEST_F(MainWindow, ClosingTheWindowQuitsLikeQuit) {
    std::string viewed = makeViewedTempFile(session, "tolven-window-test-3.txt");
    PostMessageA(session.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD exitValue = 99;
    ASSERT_TRUE(session.waitForExit(&exitValue));
    EXPECT_EQ(0u, exitValue);
    EXPECT_FALSE(fileExists(viewed));
}

}  // namespace
