#include "tests/ui/ui_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "resources/resource_ids.h"

namespace ui_driver {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return condition();
        Sleep(20);
    }
}

namespace {

struct WindowQuery {
    const char* className;
    const char* caption;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    WindowQuery* query = reinterpret_cast<WindowQuery*>(parameter);
    if (!IsWindowVisible(window)) return TRUE;
    char text[512];
    if (query->className != nullptr) {
        GetClassNameA(window, text, sizeof text);
        if (std::strcmp(text, query->className) != 0) return TRUE;
    }
    if (query->caption != nullptr && windowText(window) != query->caption) return TRUE;
    query->found = window;
    return FALSE;
}

}  // namespace

HWND findWindow(DWORD threadId, const char* className, const char* caption) {
    WindowQuery query = {className, caption, nullptr};
    EnumThreadWindows(threadId, matchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

namespace {
BOOL CALLBACK collectVisible(HWND window, LPARAM all) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(all)->push_back(window);
    return TRUE;
}
}  // namespace

std::vector<HWND> visibleWindows(DWORD threadId) {
    std::vector<HWND> windows;
    EnumThreadWindows(threadId, collectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND waitForWindow(DWORD threadId, const char* className, const char* caption, int timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findWindow(threadId, className, caption)) != nullptr; },
              timeoutMs);
    return found;
}

bool waitForWindowGone(DWORD threadId, const char* className, const char* caption, int timeoutMs) {
    return waitUntil([&] { return findWindow(threadId, className, caption) == nullptr; },
                     timeoutMs);
}

std::string windowText(HWND window) {
    wchar_t text[1024] = {0};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, sizeof text / sizeof text[0],
                        reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
    return utf8(text);
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

std::wstring utf16(const std::string& text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], size);
    out.resize(out.size() - 1);
    return out;
}

std::string messageBoxText(HWND box) {
    // The message text is the static control 0xFFFF of the box.
    HWND text = GetDlgItem(box, 0xFFFF);
    return text != nullptr ? windowText(text) : std::string();
}

std::string systemErrorText(DWORD code) {
    char text[512] = {0};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string out = text;
    while (!out.empty() && (out.back() == '\r' || out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

namespace {
BOOL CALLBACK matchChildText(HWND child, LPARAM parameter) {
    auto* query = reinterpret_cast<std::pair<std::string, bool>*>(parameter);
    std::string shown = windowText(child);
    shown.erase(std::remove(shown.begin(), shown.end(), '&'), shown.end());
    query->second = shown == query->first;
    return !query->second;
}
}  // namespace

bool hasChildText(HWND parent, const std::string& text) {
    std::pair<std::string, bool> query(text, false);
    EnumChildWindows(parent, matchChildText, reinterpret_cast<LPARAM>(&query));
    return query.second;
}

RECT rectInParent(HWND child, HWND parent) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

namespace {

void collectNodes(HWND tree, HTREEITEM item, int level, std::vector<TreeNode>& out) {
    for (; item != nullptr;
         item = reinterpret_cast<HTREEITEM>(
             SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        char text[260] = {0};
        TVITEMA info;
        std::memset(&info, 0, sizeof info);
        info.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE | TVIF_HANDLE;
        info.hItem = item;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        info.stateMask = TVIS_BOLD | TVIS_EXPANDED;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info));
        out.push_back({level, text, info.iImage, (info.state & TVIS_BOLD) != 0,
                       (info.state & TVIS_EXPANDED) != 0});
        HTREEITEM child = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        collectNodes(tree, child, level + 1, out);
    }
}

}  // namespace

std::vector<TreeNode> treeNodes(HWND tree) {
    std::vector<TreeNode> nodes;
    HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    collectNodes(tree, root, 0, nodes);
    return nodes;
}

std::vector<ListRow> listRows(HWND list, int columnCount) {
    std::vector<ListRow> rows;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ListRow row;
        for (int column = 0; column < columnCount; ++column) {
            wchar_t text[600] = {0};
            LVITEMW item;
            std::memset(&item, 0, sizeof item);
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = sizeof text / sizeof text[0];
            SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            row.columns.push_back(utf8(text));
        }
        LVITEMA info;
        std::memset(&info, 0, sizeof info);
        info.mask = LVIF_IMAGE | LVIF_STATE;
        info.iItem = i;
        info.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info));
        row.image = info.iImage;
        row.selected = (info.state & LVIS_SELECTED) != 0;
        row.focused = (info.state & LVIS_FOCUSED) != 0;
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> listNames(HWND list) {
    std::vector<std::string> names;
    for (const ListRow& row : listRows(list, 1)) names.push_back(row.columns[0]);
    return names;
}

std::vector<MenuEntry> menuEntries(HMENU menu) {
    std::vector<MenuEntry> entries;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[260] = {0};
        MENUITEMINFOA info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        entries.push_back({text, info.wID, (info.fType & MFT_SEPARATOR) != 0,
                           (info.fState & MFS_GRAYED) != 0, (info.fState & MFS_DEFAULT) != 0});
    }
    return entries;
}

void postKey(HWND target, UINT virtualKey) {
    UINT scan = MapVirtualKeyA(virtualKey, 0);
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | 0xC0000000u);
}

void sendKeys(const std::vector<WORD>& modifiers, WORD key) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
        INPUT input;
        std::memset(&input, 0, sizeof input);
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (WORD m : modifiers) add(m, false);
    add(key, false);
    add(key, true);
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) add(*m, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void sendClick(POINT screen, bool right, int clicks) {
    SetCursorPos(screen.x, screen.y);
    // The buttons act where the pointer is once their input is handled: wait until it is there.
    waitUntil(
        [&] {
            POINT at;
            return GetCursorPos(&at) && at.x == screen.x && at.y == screen.y;
        },
        1000);
    for (int i = 0; i < clicks; ++i) {
        INPUT inputs[2];
        std::memset(inputs, 0, sizeof inputs);
        inputs[0].type = inputs[1].type = INPUT_MOUSE;
        inputs[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
        inputs[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
        SendInput(2, inputs, sizeof(INPUT));
    }
}

bool waitUntilReachable(HWND top, HWND target, POINT at) {
    return waitUntil([&] {
        if (WindowFromPoint(at) == target && GetForegroundWindow() == top) return true;
        SetForegroundWindow(top);
        BringWindowToTop(top);
        return false;
    });
}

bool clickToolbarButton(HWND toolbar, int commandId) {
    RECT rect;
    if (!SendMessageA(toolbar, TB_GETRECT, commandId, reinterpret_cast<LPARAM>(&rect)))
        return false;
    LPARAM centre = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageA(toolbar, WM_LBUTTONUP, 0, centre);
    return true;
}

void pressButton(HWND dialog, int buttonId) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

void setText(HWND control, const char* text) {
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(utf16(text).c_str()));
}

std::string answerMessageBox(DWORD threadId, const char* caption, int button, bool* found) {
    HWND box = waitForWindow(threadId, kDialogClass, caption);
    if (found != nullptr) *found = box != nullptr;
    if (box == nullptr) return std::string();
    std::string text = messageBoxText(box);
    pressButton(box, button);
    waitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
    return text;
}

bool chooseFile(HWND chooser, const char* path) {
    // Explorer-style choosers name the file in a combo box (cmb13, 0x47C), the older ones in an
    // edit (edt1, 0x480).
    HWND field = GetDlgItem(chooser, 0x47C);
    if (field == nullptr) field = GetDlgItem(chooser, 0x480);
    if (field == nullptr) return false;
    setText(field, path);
    pressButton(chooser, IDOK);
    return true;
}

std::string testImagePath(const char* name) {
    // The images are made natively before the run; Wine shows the host's root as drive Z:.
    std::string path = std::string("Z:") + TOLVEN_UI_TEST_IMAGES + "/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

}  // namespace ui_driver

// --- UiSession
// -------------------------------------------------------------------------------------

namespace {
const char kMailboxClass[] = "TolvenTestMailbox";
const UINT kRunWork = WM_APP + 1;
const UINT kSignal = WM_APP + 2;
}  // namespace

UiSession::UiSession()
    : editor_(new ImageEditor),
      thread_(nullptr),
      threadId_(0),
      ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      mailbox_(nullptr) {}

UiSession::~UiSession() {
    if (thread_ != nullptr) {
        if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT) {
            // A test's edits are not to be saved: closing asks nothing then.
            std::function<void()> forget = [this] { editor_->journal.markSaved(); };
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(mailbox_, kRunWork, 0, reinterpret_cast<LPARAM>(&forget),
                                SMTO_ABORTIFHUNG, 5000, &ignored);
            PostMessageA(window(), WM_CLOSE, 0, 0);
            // A modal window left open by a failed test would keep the loop waiting.
            if (WaitForSingleObject(thread_, 5000) == WAIT_TIMEOUT) {
                PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
                WaitForSingleObject(thread_, 5000);
            }
        }
        CloseHandle(thread_);
    }
    CloseHandle(ready_);
    delete editor_;
}

LRESULT CALLBACK UiSession::mailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunWork) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    if (message == kSignal) {
        SetEvent(reinterpret_cast<HANDLE>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI UiSession::threadMain(void* parameter) {
    UiSession* session = static_cast<UiSession*>(parameter);
    WNDCLASSA mailboxClass;
    std::memset(&mailboxClass, 0, sizeof mailboxClass);
    mailboxClass.lpfnWndProc = mailboxProc;
    mailboxClass.hInstance = GetModuleHandleA(nullptr);
    mailboxClass.lpszClassName = kMailboxClass;
    RegisterClassA(&mailboxClass);  // fails harmlessly when an earlier session registered it
    session->mailbox_ = CreateWindowExA(0, kMailboxClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    session->editor_->init(GetModuleHandleA(nullptr));
    SetEvent(session->ready_);
    int result = session->editor_->runMainWindow();
    DestroyWindow(session->mailbox_);
    return static_cast<DWORD>(result);
}

bool UiSession::start(bool keepSettings) {
    editor_->settings.setKey(kTestSettingsKey);
    if (!keepSettings) RegDeleteKeyW(HKEY_CURRENT_USER, kTestSettingsKey);
    thread_ = CreateThread(nullptr, 0, threadMain, this, 0, &threadId_);
    if (thread_ == nullptr) return false;
    WaitForSingleObject(ready_, ui_driver::kWaitMs);
    return ui_driver::waitUntil([this] {
        HWND main = editor_->mainWindow;
        return main != nullptr && IsWindowVisible(main);
    });
}

void UiSession::onUiThread(const std::function<void()>& work) {
    SendMessageA(mailbox_, kRunWork, 0, reinterpret_cast<LPARAM>(&work));
}

void UiSession::flushPosted() {
    // Posted messages of a thread are handled in order: once this one arrives, those before it
    // have been handled too.
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    PostMessageA(mailbox_, kSignal, 0, reinterpret_cast<LPARAM>(done));
    WaitForSingleObject(done, ui_driver::kWaitMs);
    CloseHandle(done);
}

void UiSession::settle() {
    // Each round lets the thread handle what is queued now; a queue found empty ends it. The
    // bound only keeps a window that posts to itself forever from hanging the test.
    for (int round = 0; round < 50; ++round) {
        flushPosted();
        DWORD queued = 0;
        onUiThread([&] { queued = HIWORD(GetQueueStatus(QS_POSTMESSAGE | QS_INPUT)); });
        if (queued == 0) return;
    }
}

void UiSession::postToUiThread(const std::function<void()>* work) {
    PostMessageA(mailbox_, kRunWork, 0, reinterpret_cast<LPARAM>(work));
}

void UiSession::postCommand(int commandId) {
    PostMessageA(window(), WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

int UiSession::openImage(const std::string& path) {
    int result = -1;
    onUiThread([&] {
        ImageEditor& e = *editor_;
        result = e.loadImageFile(path.c_str());
        if (result == kResultOk) {
            const char* title = std::strrchr(path.c_str(), '\\');
            e.beginImage(path.c_str(), title != nullptr ? title + 1 : path.c_str());
        }
        e.rebuildViews();
    });
    return result;
}

void UiSession::focus(int controlId) {
    onUiThread([&] { SetFocus(control(controlId)); });
}

void UiSession::selectListItem(int index) {
    onUiThread([&] {
        HWND list = control(IDC_FILE_LIST);
        SetFocus(list);
        LVITEMA state;
        std::memset(&state, 0, sizeof state);
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&state));
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
        SendMessageA(list, LVM_SETSELECTIONMARK, 0, index);
    });
}

bool UiSession::waitForExit(DWORD* exitValue, int timeoutMs) {
    if (WaitForSingleObject(thread_, timeoutMs) != WAIT_OBJECT_0) return false;
    GetExitCodeThread(thread_, exitValue);
    return true;
}

UiSession::EditState UiSession::editState() {
    EditState state;
    onUiThread([&] {
        const ImageEditor& e = *editor_;
        state.assign(reinterpret_cast<const char*>(static_cast<const FixedVolumeState*>(&e)),
                     sizeof(FixedVolumeState));
        state.append(e.keptBytes.begin(), e.keptBytes.end());
        state.append(reinterpret_cast<const char*>(e.clusters.data()),
                     static_cast<size_t>(e.clusters.count()) * e.clusterBytes);
    });
    for (int id : {IDC_VOLUME_LABEL, IDC_FOLDER_PATH})
        state += "|" + ui_driver::windowText(control(id));
    for (const ui_driver::TreeNode& node : ui_driver::treeNodes(control(IDC_INFO_TREE)))
        state += "|" + node.text;
    for (const std::string& name : ui_driver::listNames(control(IDC_FILE_LIST)))
        state += "|" + name;
    return state + "|" + ui_driver::windowText(window());
}

bool UiSession::undoRedoGivesBack(const EditState& before, const EditState& after) {
    SetForegroundWindow(window());
    focus(IDC_FILE_LIST);
    ui_driver::sendKeys({VK_CONTROL}, 'Z');
    if (!ui_driver::waitUntil([&] { return editState() == before; })) return false;
    postCommand(ID_EDIT_REDO);
    return ui_driver::waitUntil([&] { return editState() == after; });
}
