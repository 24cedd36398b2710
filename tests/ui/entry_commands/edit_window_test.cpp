// Editing through the real window: rename in the list, Properties, New folder, Insert folder,
// files dropped from the shell and the image named on the command line. The images saved here
// are checked by tests/ui/check_saved_images.sh with fsck.fat.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/entry_commands/entry_support.h"

using namespace ui_driver;
using namespace entry_test;

namespace {

class EditWindowTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.start()) << "the main window never appeared"; }
    void openCopy(const std::string& name) {
        ASSERT_TRUE(
            CopyFileA(dataPath("tree.img").c_str(), dataPath("out\\" + name).c_str(), FALSE));
        ASSERT_EQ(kResultOk, session.openImage(dataPath("out\\" + name)));
    }
    void save() {
        session.onUiThread([&] { session.editor().saveCommand(); });
    }
    // F2 on the item, `text` typed into the edit that opens, then `key`; the edit's first text.
    std::string editName(const std::string& at, const char* text, UINT key) {
        session.selectListItem(indexOf(session, at));
        postKey(fileList(session), VK_F2);
        HWND edit = nullptr;
        EXPECT_TRUE(waitUntil([&] {
            return (edit = ListView_GetEditControl(fileList(session))) != nullptr;
        })) << "no edit for "
            << at;
        std::string shown = windowText(edit);
        setText(edit, text);
        postKey(edit, key);
        session.settle();
        return shown;
    }
    // Real keys, which the loop reads with their modifiers; returns the dialog they open.
    HWND keysOpen(const std::vector<WORD>& modifiers, WORD key, const char* caption) {
        SetForegroundWindow(session.window());
        session.focus(IDC_FILE_LIST);
        sendKeys(modifiers, key);
        return waitForDialog(session, caption);
    }
    // A drop as the shell posts it: the point over `target` in the client area, ANSI paths.
    void drop(HWND target, const std::vector<std::string>& paths) {
        std::string path;  // each ended by a zero byte, the list by one more
        for (const std::string& one : paths) path += one + '\0';
        HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + path.size() + 1);
        DROPFILES* files = static_cast<DROPFILES*>(GlobalLock(memory));
        RECT area = rectInParent(target, session.window());
        files->pFiles = sizeof(DROPFILES);
        files->pt = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
        std::memcpy(files + 1, path.data(), path.size());
        GlobalUnlock(memory);
        PostMessageA(session.window(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    }
    std::string title() { return windowText(session.window()); }
    UiSession session;
};

TEST_F(EditWindowTest, RenameInPlaceEscapeAndRefusal) {
    openCopy("renamed.img");
    UiSession::EditState opened = session.editState();
    EXPECT_EQ("readme.txt", editName("readme.txt", "Read me first.txt", VK_RETURN));
    ASSERT_NE(-1, indexOf(session, "Read me first.txt"));
    EXPECT_TRUE(listRows(fileList(session), 1)[indexOf(session, "Read me first.txt")].selected);
    EXPECT_EQ("Tolven - [renamed.img *]", title());
    EXPECT_TRUE(session.undoRedoGivesBack(opened, session.editState()));
    std::vector<std::string> before = listNames(fileList(session));
    EXPECT_EQ("DOCS", editName("[DOCS]", "Other", VK_ESCAPE));
    editName("Read me first.txt", "empty.DAT", VK_RETURN);
    EXPECT_EQ("File \"empty.DAT\" already exists!", answerMessageBox(session, "Error"));
    EXPECT_EQ(before, listNames(fileList(session)));
    editName("[DOCS]", "My documents", VK_RETURN);
    EXPECT_NE(-1, indexOf(session, "[My documents]"));
    // Names beyond any code page show in the edit, are taken as typed and saved as they are.
    editName("Mixed Case.Txt", "Ελληνικά.txt", VK_RETURN);
    EXPECT_EQ("Ελληνικά.txt", editName("Ελληνικά.txt", "Кириллица 漢字.txt", VK_RETURN));
    EXPECT_EQ(-1, indexOf(session, "Ελληνικά.txt"));
    save();
    ASSERT_EQ(kResultOk, session.openImage(dataPath("out\\renamed.img")));
    EXPECT_NE(-1, indexOf(session, "Кириллица 漢字.txt"));
}

TEST_F(EditWindowTest, PropertiesShowTheEntryAndSetItsAttributes) {
    openCopy("attributes.img");
    UiSession::EditState before = session.editState();
    session.selectListItem(indexOf(session, "Long file name document.txt"));
    HWND dialog = keysOpen({VK_MENU}, VK_RETURN, "Properties");
    ASSERT_NE(nullptr, dialog);
    auto text = [&](int id) { return windowText(GetDlgItem(dialog, id)); };
    EXPECT_EQ("Long file name document.txt", text(IDC_PROP_LONG_NAME));
    EXPECT_EQ("LONGFI~1.TXT", text(IDC_PROP_SHORT_NAME));
    EXPECT_EQ("3000 bytes", text(IDC_PROP_SIZE));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, IDC_PROP_ARCHIVE));
    SendMessageA(GetDlgItem(dialog, IDC_PROP_READ_ONLY), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(dialog, IDC_PROP_HIDDEN), BM_CLICK, 0, 0);
    pressButton(dialog, IDOK);
    ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, "Properties"));
    session.settle();
    int row = indexOf(session, "Long file name document.txt");
    EXPECT_EQ("rah-", listRows(fileList(session), 4)[row].columns[3]);
    EXPECT_EQ("Tolven - [attributes.img *]", title());
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));

    save();
}

TEST_F(EditWindowTest, NewFolderInsertFolderAndDrops) {
    openCopy("folders.img");
    UiSession::EditState before = session.editState();
    HWND dialog = keysOpen({VK_CONTROL, VK_SHIFT}, 'N', "New folder");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("New folder", windowText(GetDlgItem(dialog, IDC_NEW_FOLDER_NAME)));
    pressButton(dialog, IDOK);
    ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, "New folder"));
    session.settle();
    ASSERT_NE(-1, indexOf(session, "[New folder]"));
    EXPECT_TRUE(listRows(fileList(session), 1)[indexOf(session, "[New folder]")].selected);
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
    // A taken name is refused and asked for again, as typed.
    ASSERT_TRUE(contextMenuPick(session, -1, 'N'));
    dialog = waitForDialog(session, "New folder");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("New folder (2)", windowText(GetDlgItem(dialog, IDC_NEW_FOLDER_NAME)));
    setText(GetDlgItem(dialog, IDC_NEW_FOLDER_NAME), "docs");
    pressButton(dialog, IDOK);
    EXPECT_EQ("File \"docs\" already exists!", answerMessageBox(session, "Error"));
    dialog = waitForDialog(session, "New folder");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("docs", windowText(GetDlgItem(dialog, IDC_NEW_FOLDER_NAME)));
    pressButton(dialog, IDCANCEL);

    before = session.editState();
    postCommand(session, ID_IMAGE_INSERT_FOLDER);
    ASSERT_TRUE(answerFolderBrowser(session, dataPath("insert").c_str()));
    session.settle();
    EXPECT_NE(-1, indexOf(session, "[insert]"));
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
    // A file dropped on the list goes in; one image file dropped on the tree is opened.
    before = session.editState();
    drop(fileList(session), {dataPath("insert\\FIRST.TXT")});
    session.settle();
    EXPECT_NE(-1, indexOf(session, "first.txt"));
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
    drop(session.control(IDC_INFO_TREE), {dataPath("small.img")});
    EXPECT_EQ("Image \"folders.img\" has been changed! Do you want to save?",
              answerMessageBox(session, "Warning"));  // Yes: saved for the check
    EXPECT_TRUE(waitUntil([&] { return title() == "Tolven - [small.img]"; })) << title();
}

// Taken names of a drop are asked about, one undo step; one dropped image asks Insert or Open.
TEST_F(EditWindowTest, DropAsksReplaceSkipKeepBothAndAboutAnImage) {
    openCopy("clash.img");
    std::vector<std::string> paths;
    for (const char* name : {"README.TXT", "EMPTY.DAT", "Mixed Case.Txt", "GAMES", "NEW.TXT"})
        writeFile(paths.emplace_back(dataPath("out\\") + name), "new");
    UiSession::EditState before = session.editState();
    drop(fileList(session), paths);
    for (int button : {IDC_CLASH_KEEP_BOTH, IDC_CLASH_SKIP, IDC_CLASH_REPLACE}) {
        HWND box = waitForDialog(session, "Name exists");
        if (button == IDC_CLASH_REPLACE)
            SendMessageW(GetDlgItem(box, IDC_CLASH_FOR_ALL), BM_SETCHECK, BST_CHECKED, 0);
        pressButton(box, button);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }));
    }
    // Replace for all then meets a file named as a folder: refused, and the rest goes in.
    EXPECT_NE(std::string::npos, answerMessageBox(session, "Error").find("folder \"GAMES\""));
    session.settle();
    EXPECT_TRUE(otherWindows(session).empty());
    for (const char* name : {"readme.txt", "README (2).TXT", "empty.dat", "new.txt"})
        EXPECT_NE(-1, indexOf(session, name)) << name;
    EXPECT_EQ("3", listRows(fileList(session), 2)[indexOf(session, "Mixed Case.Txt")].columns[1]);
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
    drop(fileList(session), {dataPath("small.img")});
    pressButton(waitForDialog(session, "Dropped image"), IDC_DROPPED_INSERT);
    session.settle();
    EXPECT_NE(-1, indexOf(session, "small.img"));
    save();
    drop(fileList(session), {dataPath("small.img")});
    pressButton(waitForDialog(session, "Dropped image"), IDC_DROPPED_OPEN);
    EXPECT_TRUE(waitUntil([&] { return title() == "Tolven - [small.img]"; })) << title();
}

// A rename or label being typed goes in before Open, New, a drop and closing ask their question;
// a refused one is reported and the command does not run.
TEST_F(EditWindowTest, PendingRenameAndLabelGoInBeforeTheCommand) {
    openCopy("pending.img");
    const std::string question = "Image \"pending.img\" has been changed! Do you want to save?";
    const char* names[] = {"readme.txt", "one.txt", "two.txt", "three.txt", "empty.DAT"};
    for (int way = 0; way < 4; ++way) {
        session.selectListItem(indexOf(session, names[way]));
        postKey(fileList(session), VK_F2);
        ASSERT_TRUE(waitUntil([&] { return ListView_GetEditControl(fileList(session)); }));
        setText(ListView_GetEditControl(fileList(session)), names[way + 1]);
        if (way == 1) {
            SetForegroundWindow(session.window());
            sendKeys({VK_CONTROL}, 'N');  // typed into the rename box
        } else if (way == 2) {
            drop(session.control(IDC_INFO_TREE), {dataPath("small.img")});
        } else {
            postCommand(session, ID_FILE_OPEN);
        }
        if (way < 3) EXPECT_EQ(question, answerMessageBox(session.threadId(), "Warning", IDCANCEL));
        else EXPECT_EQ("File \"empty.DAT\" already exists!", answerMessageBox(session, "Error"));
        session.settle();
        EXPECT_TRUE(otherWindows(session).empty()) << way;
        EXPECT_NE(-1, indexOf(session, names[way < 3 ? way + 1 : 3])) << way;
    }
    session.focus(IDC_VOLUME_LABEL);
    setText(session.control(IDC_VOLUME_LABEL), "A*B");
    postCommand(session, ID_FILE_NEW);
    EXPECT_EQ("Invalid character in volume label!", answerMessageBox(session, "Error"));
    session.settle();
    EXPECT_TRUE(otherWindows(session).empty());
    setText(session.control(IDC_VOLUME_LABEL), "TYPED");
    PostMessageA(session.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(question, answerMessageBox(session.threadId(), "Warning", IDNO));
    DWORD exitValue = 99;
    EXPECT_TRUE(session.waitForExit(&exitValue));
    uint8_t label[11];
    ASSERT_TRUE(session.editor().readLabelEntry(label));
    EXPECT_EQ(0, std::memcmp("TYPED      ", label, 11));
}

TEST(EditWindowStart, TheImageNamedOnTheCommandLineOpens) {
    // The program itself, as "Open with" starts it, with a blank in the path.
    std::string path = dataPath("out\\start up.img");
    ASSERT_TRUE(CopyFileA(dataPath("small.img").c_str(), path.c_str(), FALSE));
    std::string line = std::string("\"Z:") + TOLVEN_PROGRAM + "\" \"" + path + "\"";
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &start, &process));
    EXPECT_NE(nullptr, waitForWindow(process.dwThreadId, kDialogClass, "Tolven - [start up.img]"));
    PostThreadMessageA(process.dwThreadId, WM_QUIT, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, kWaitMs));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
