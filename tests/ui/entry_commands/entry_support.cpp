#include "tests/ui/entry_commands/entry_support.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>

#include "resources/resource_ids.h"

using namespace ui_driver;

namespace entry_test {

namespace {

struct ProcessQuery {
    HWND exclude;
    const char* caption;
    bool needTree;
    HWND found;
};

BOOL CALLBACK findTree(HWND child, LPARAM found) {
    char name[64];
    GetClassNameA(child, name, sizeof name);
    if (std::strcmp(name, "SysTreeView32") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

// Top-level windows of this process on any thread: the worker's error report is not the UI
// thread's.
BOOL CALLBACK matchProcessWindow(HWND window, LPARAM parameter) {
    ProcessQuery* query = reinterpret_cast<ProcessQuery*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || window == query->exclude || !IsWindowVisible(window))
        return TRUE;
    char name[64];
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, kDialogClass) != 0) return TRUE;
    if (query->caption != nullptr && windowText(window) != query->caption) return TRUE;
    if (query->needTree) {
        HWND tree = nullptr;
        EnumChildWindows(window, findTree, reinterpret_cast<LPARAM>(&tree));
        if (tree == nullptr) return TRUE;
    }
    query->found = window;
    return FALSE;
}

}  // namespace

std::string selectedTreeText(HWND browser) {
    HWND tree = nullptr;
    EnumChildWindows(browser, findTree, reinterpret_cast<LPARAM>(&tree));
    if (tree == nullptr) return std::string();
    HTREEITEM item = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (item == nullptr) return std::string();
    char text[MAX_PATH] = {0};
    TVITEMA query;
    std::memset(&query, 0, sizeof query);
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = sizeof text;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query)))
        return std::string();
    return text;
}

namespace {

HWND findDialog(UiSession& session, const char* caption, bool needTree) {
    ProcessQuery query = {session.window(), caption, needTree, nullptr};
    EnumWindows(matchProcessWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND waitForDialogOf(UiSession& session, const char* caption, bool needTree) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findDialog(session, caption, needTree)) != nullptr; });
    return found;
}

HWND fileNameField(HWND chooser) {
    HWND field = GetDlgItem(chooser, 0x47C);                   // cmb13 of explorer-style choosers
    if (field == nullptr) field = GetDlgItem(chooser, 0x480);  // edt1
    return field;
}

// Deletes everything inside `path`, and `path` itself unless `keep`.
void deleteTree(const std::string& path, bool keep) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                deleteTree(child, false);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (!keep) RemoveDirectoryA(path.c_str());
}

void collectTree(const std::string& root, const std::string& relative,
                 std::map<std::string, std::string>& out) {
    WIN32_FIND_DATAA found;
    std::string folder = relative.empty() ? root : root + "\\" + relative;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = relative.empty() ? name : relative + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[path] = "<DIR>";
            collectTree(root, path, out);
        } else {
            out[path] = readFile(root + "\\" + path);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

}  // namespace

HWND waitForDialog(UiSession& session, const char* caption, int timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findDialog(session, caption, false)) != nullptr; }, timeoutMs);
    return found;
}

std::string answerMessageBox(UiSession& session, const char* caption) {
    HWND box = waitForDialog(session, caption);
    if (box == nullptr) return std::string();
    std::string text = messageBoxText(box);
    // Message boxes end on IDOK, or on their first button when they have no OK.
    int button = GetDlgItem(box, IDOK) != nullptr ? IDOK : IDYES;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    waitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
    return text;
}

std::vector<std::string> otherWindows(UiSession& session) {
    std::vector<std::string> captions;
    for (HWND window : visibleWindows(session.threadId())) {
        char name[64];
        GetClassNameA(window, name, sizeof name);
        // A toolbar button's tip may still show after a click.
        if (window != session.window() && std::strcmp(name, TOOLTIPS_CLASSA) != 0)
            captions.push_back(windowText(window));
    }
    return captions;
}

HWND waitForFolderBrowser(UiSession& session) { return waitForDialogOf(session, nullptr, true); }

bool answerFolderBrowser(UiSession& session, const char* hostPath) {
    HWND browser = waitForFolderBrowser(session);
    if (browser == nullptr) return false;
    if (hostPath == nullptr) {
        pressButton(browser, IDCANCEL);
    } else {
        // The message a browser's callback would send to preselect a folder; the browser then
        // returns the selected folder on OK like any folder the user clicked. A browser that
        // opens slowly may not have its tree yet and ignores the message, so it is repeated
        // until the tree shows the folder selected.
        std::string path = hostPath;
        std::string leaf = path.substr(path.find_last_of('\\') + 1);
        bool selected = waitUntil([&] {
            SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(hostPath));
            return lstrcmpiA(selectedTreeText(browser).c_str(), leaf.c_str()) == 0;
        });
        if (!selected) {
            ADD_FAILURE() << "the folder browser never selected " << hostPath;
            pressButton(browser, IDCANCEL);
            waitUntil([&] { return !IsWindow(browser); });
            return false;
        }
        pressButton(browser, IDOK);
    }
    return waitUntil([&] { return !IsWindow(browser); });
}

bool answerInsertChooser(UiSession& session, const char* folder, const char* names) {
    HWND chooser = waitForDialog(session, "Insert Files");
    if (chooser == nullptr) return false;
    if (names == nullptr) {
        pressButton(chooser, IDCANCEL);
    } else {
        HWND field = fileNameField(chooser);
        if (folder != nullptr) {
            // Entering a folder's path and Open moves the chooser into that folder. Sent, not
            // posted: the chooser is in the folder when this returns, so the names typed next
            // cannot overtake it.
            setText(field, folder);
            SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK)));
        }
        setText(field, names);
        pressButton(chooser, IDOK);
    }
    return waitUntil([&] { return !IsWindow(chooser); });
}

HWND fileList(UiSession& session) { return session.control(IDC_FILE_LIST); }

int indexOf(UiSession& session, const std::string& name) {
    std::vector<std::string> all = listNames(fileList(session));
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == name) return static_cast<int>(i);
    return -1;
}

void selectNames(UiSession& session, const std::vector<std::string>& names) {
    std::vector<int> indexes;
    for (const std::string& name : names) {
        int index = indexOf(session, name);
        EXPECT_GE(index, 0) << name << " is not listed";
        indexes.push_back(index);
    }
    session.onUiThread([&] {
        HWND list = fileList(session);
        SetFocus(list);
        LVITEMA state;
        std::memset(&state, 0, sizeof state);
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&state));
        for (int index : indexes) {
            if (index < 0) continue;
            state.state = LVIS_SELECTED;
            SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
        }
    });
}

bool contextMenuPick(UiSession& session, int index, char key) {
    HWND list = fileList(session);
    POINT at;
    if (index >= 0) {
        RECT item = {};
        item.left = LVIR_LABEL;
        SendMessageA(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
        at = {item.left + 10, (item.top + item.bottom) / 2};
    } else {
        RECT client;
        GetClientRect(list, &client);
        at = {client.right / 2, client.bottom - 10};
    }
    ClientToScreen(list, &at);
    // A program the shell started (a viewer, its console) may still cover the list, or take the
    // activation while the menu opens, which closes the menu at once. The window is brought back
    // to the front and the click repeated: without a menu nothing was chosen, and the item under
    // the click is one already selected or none.
    HWND menu = nullptr;
    for (int attempt = 0;; ++attempt) {
        if (!waitUntilReachable(session.window(), list, at)) {
            char name[64] = {0};
            GetClassNameA(WindowFromPoint(at), name, sizeof name);
            ADD_FAILURE() << "a window of class " << name << " covers the file list";
            return false;
        }
        sendClick(at, true, 1);
        menu = waitForWindow(session.threadId(), kMenuClass, nullptr, 3000);
        if (menu != nullptr) break;
        if (attempt == 2) {
            ADD_FAILURE() << "no context menu after three clicks";
            return false;
        }
    }
    // The item's letter goes to the menu as a character: a key stroke would go where the X
    // server has the keyboard focus, which such a program can keep after it closed. The menu
    // reads the character from its thread's queue whatever window it names.
    PostMessageA(menu, WM_CHAR, static_cast<WPARAM>(key), 0);
    return waitForWindowGone(session.threadId(), kMenuClass, nullptr);
}

void postCommand(UiSession& session, int id) {
    PostMessageA(session.window(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::string dataPath(const std::string& relative) {
    std::string path = std::string("Z:") + TOLVEN_ENTRY_TEST_DATA + "/" + relative;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string freshFolder(const std::string& name) {
    // Below the temporary folder of the Wine prefix: the folder browser reaches drive C: only.
    // Every target folder is made before the first browser opens, and only emptied later: the
    // shell of this process keeps the folder listing it has seen once.
    static const char* const kTargets[] = {"whole", "docs",   "selection", "existing",
                                           "start", "chosen", "names"};
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string out = std::string(temp) + "tolven-extract";
    CreateDirectoryA(out.c_str(), nullptr);
    for (const char* target : kTargets) CreateDirectoryA((out + "\\" + target).c_str(), nullptr);
    std::string path = out + "\\" + name;
    deleteTree(path, true);
    return path;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
    DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD got = 0;
    if (size > 0) ReadFile(file, &bytes[0], size, &got, nullptr);
    bytes.resize(got);
    CloseHandle(file);
    return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::map<std::string, std::string> treeOf(const std::string& root) {
    std::map<std::string, std::string> tree;
    collectTree(root, "", tree);
    return tree;
}

}  // namespace entry_test
