// Copy and Paste of host files through the real window and the system clipboard. A drag out hands
// the shell the same data object as Copy, checked here through Copy.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "resources/resource_ids.h"
#include "tests/ui/entry_commands/entry_support.h"
#include "ui/drag_out.h"

using namespace ui_driver;
using namespace entry_test;

namespace {

// The files the clipboard names; read from this thread, the window's thread renders them.
std::vector<std::string> clipboardFiles() {
    if (!OpenClipboard(nullptr)) return {};
    std::vector<std::string> paths = hdropPaths(static_cast<HDROP>(GetClipboardData(CF_HDROP)));
    CloseClipboard();
    return paths;
}

// CF_HDROP of `paths` as the shell makes it, for the clipboard or a WM_DROPFILES.
HGLOBAL hdropOf(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) names += utf16(path) + L'\0';
    names += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    DROPFILES* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(files + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
}

std::string baseName(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

class ClipboardWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start()) << "the main window never appeared";
        ASSERT_TRUE(CopyFileA(dataPath("tree.img").c_str(), dataPath("out\\pasted.img").c_str(),
                              FALSE));
        ASSERT_EQ(kResultOk, session.openImage(dataPath("out\\pasted.img")));
    }
    void keys(WORD key) {
        SetForegroundWindow(session.window());
        session.focus(IDC_FILE_LIST);
        sendKeys({VK_CONTROL}, key);
        session.settle();
    }
    UiSession session;
    const std::string file = "Long file name document.txt";
};

TEST_F(ClipboardWindowTest, CopyExtractsTheSelectionOntoTheClipboard) {
    selectNames(session, {file, "[DOCS]"});
    keys('C');
    std::vector<std::string> copied = clipboardFiles();
    ASSERT_EQ(2u, copied.size());
    EXPECT_EQ("DOCS", baseName(copied[0]));
    EXPECT_EQ(treeOf(dataPath("ref\\DOCS")), treeOf(copied[0]));
    EXPECT_EQ(file, baseName(copied[1]));
    EXPECT_TRUE(readFile(dataPath("ref\\" + file)) == readFile(copied[1])) << copied[1];
    // The entry's modification time goes with the copy (FAT keeps local time).
    const uint8_t* raw = session.editor().entryForItem(indexOf(session, file))->rawEntry;
    FILETIME local, expected;
    ASSERT_TRUE(DosDateTimeToFileTime(readLe16(raw + de::kDate), readLe16(raw + de::kTime), &local));
    LocalFileTimeToFileTime(&local, &expected);
    WIN32_FILE_ATTRIBUTE_DATA written;
    ASSERT_TRUE(GetFileAttributesExW(utf16(copied[1]).c_str(), GetFileExInfoStandard, &written));
    EXPECT_EQ(0, CompareFileTime(&expected, &written.ftLastWriteTime));

    // The copies dropped back onto the list are not inserted again.
    UiSession::EditState before = session.editState();
    PostMessageW(session.window(), WM_DROPFILES, reinterpret_cast<WPARAM>(hdropOf(copied)), 0);
    session.settle();
    EXPECT_TRUE(otherWindows(session).empty());
    EXPECT_EQ(before, session.editState());
    // The copy outlives the program, on the clipboard and on disk.
    PostMessageA(session.window(), WM_COMMAND, ID_FILE_QUIT, 0);
    DWORD exitValue = 99;
    ASSERT_TRUE(session.waitForExit(&exitValue));
    EXPECT_EQ(copied, clipboardFiles());
    EXPECT_TRUE(readFile(dataPath("ref\\" + file)) == readFile(copied[1])) << copied[1];
}

TEST_F(ClipboardWindowTest, PasteInsertsTheClipboardsFilesAsOneStep) {
    session.onUiThread([&] { session.editor().openEntry(indexOf(session, "[DOCS]")); });
    UiSession::EditState before = session.editState();
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_HDROP, hdropOf({dataPath("insert\\FIRST.TXT"), dataPath("insert")}));
    CloseClipboard();
    keys('V');
    EXPECT_NE(-1, indexOf(session, "first.txt"));
    EXPECT_NE(-1, indexOf(session, "[insert]"));
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
    session.onUiThread([&] { session.editor().saveCommand(); });
}

}  // namespace
