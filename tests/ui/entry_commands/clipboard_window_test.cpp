// Copy, Paste and drag out of host files through the real window, the system clipboard and a real
// drag with the mouse onto a drop target of the test's own.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
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

// Another program's window taking a drop of files: the paths dropped.
struct FileDropTarget : IDropTarget {
    std::vector<std::string> dropped;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        *out = IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget) ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        return DragOver(0, {}, effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        dropped = dataObjectPaths(data);
        return DragOver(0, {}, effect);
    }
};

// Real mouse input: the pointer moved to `at` (screen) with the button changes of `flags`.
void mouseAt(POINT at, DWORD flags) {
    INPUT input;
    std::memset(&input, 0, sizeof input);
    input.type = INPUT_MOUSE;
    input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

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

// The left button pressed on a file, moved past the drag distance and let go over another
// program's window (here one of the test's thread, which handles the drop's calls).
TEST_F(ClipboardWindowTest, DraggedFileIsDroppedAsAnExtractedCopy) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    FileDropTarget dropTarget;
    struct TargetWindow {
        HWND window = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 900,
                                      600, 200, 200, nullptr, nullptr, nullptr, nullptr);
        ~TargetWindow() {
            RevokeDragDrop(window);
            DestroyWindow(window);
            OleUninitialize();
        }
    } target;
    ASSERT_EQ(S_OK, RegisterDragDrop(target.window, &dropTarget));
    HWND list = fileList(session);
    int index = indexOf(session, file);
    session.selectListItem(index);
    RECT item = {LVIR_LABEL, 0, 0, 0};
    SendMessageW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    POINT start = {item.left + 8, (item.top + item.bottom) / 2};
    ClientToScreen(list, &start);
    ASSERT_TRUE(waitUntilReachable(session.window(), list, start));
    // The drag has begun once its copy is made.
    char temp[MAX_PATH];
    std::string copies = std::string(temp, GetTempPathA(MAX_PATH, temp)) + "Tolven drag out";
    size_t before = treeOf(copies).size();
    mouseAt(start, MOUSEEVENTF_LEFTDOWN);
    for (int i = 1; i <= 5; ++i) mouseAt({start.x + 4 * i, start.y + 4 * i}, 0);
    ASSERT_TRUE(waitUntil([&] { return treeOf(copies).size() > before; }));
    mouseAt({1000, 700}, 0);
    mouseAt({1001, 700}, MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(waitUntil([&] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        return !dropTarget.dropped.empty();
    }));
    ASSERT_EQ(1u, dropTarget.dropped.size());
    EXPECT_EQ(file, baseName(dropTarget.dropped[0]));
    EXPECT_TRUE(readFile(dataPath("ref\\" + file)) == readFile(dropTarget.dropped[0]));
}

}  // namespace
