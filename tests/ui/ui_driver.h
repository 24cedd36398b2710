// Drives the real main window from a second thread, as a user would: starts a fresh editor with
// its window on a thread of its own, sends commands, keys and mouse clicks, waits for the windows
// it expects (message boxes, file choosers, dialogs) and reads back what they show.
#ifndef TOLVEN_TESTS_UI_UI_DRIVER_H
#define TOLVEN_TESTS_UI_UI_DRIVER_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/image_editor.h"

namespace ui_driver {

// Waits end on their event; the bound only stops a test that would hang, and a loaded machine
// (Wine starting a dialog while other builds run) can take many seconds to show a window.
const int kWaitMs = 60000;

// Polls `condition` until it holds or `timeoutMs` has passed; returns its last value.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs);

// --- finding windows -----------------------------------------------------------------------------
// A visible top-level window of `threadId` with this class and caption (either may be null).
HWND findWindow(DWORD threadId, const char* className, const char* caption);
HWND waitForWindow(DWORD threadId, const char* className, const char* caption,
                   int timeoutMs = kWaitMs);
// Every visible top-level window of `threadId`, in z order.
std::vector<HWND> visibleWindows(DWORD threadId);
// Waits until no visible top-level window of that class and caption is left.
bool waitForWindowGone(DWORD threadId, const char* className, const char* caption,
                       int timeoutMs = kWaitMs);
// Message boxes, file choosers, the program's dialogs, and the main window itself.
const char kDialogClass[] = "#32770";
const char kMenuClass[] = "#32768";  // an open popup menu

// --- reading -------------------------------------------------------------------------------------
std::string windowText(HWND window);
std::string utf8(const std::wstring& text);
std::wstring utf16(const std::string& text);
// The text of a message box (its static text control).
std::string messageBoxText(HWND box);
// The system's own text for an error code, as FormatMessage gives it, without its line end.
std::string systemErrorText(DWORD code);
// True when a child of `parent`, at any depth, shows `text` (its '&' marks left out).
bool hasChildText(HWND parent, const std::string& text);
// The rectangle of `child` in the client coordinates of `parent`.
RECT rectInParent(HWND child, HWND parent);

struct TreeNode {
    int level;
    std::string text;
    int image;
    bool bold;
    bool expanded;
};
// Every node of the tree, depth first, with its nesting level (0 for top-level nodes).
std::vector<TreeNode> treeNodes(HWND tree);

struct ListRow {
    std::vector<std::string> columns;  // UTF-8
    int image;
    bool selected;
    bool focused;
};
// Every item of a report-view list, in list order, with `columnCount` columns each.
std::vector<ListRow> listRows(HWND list, int columnCount);
// The column-0 texts of listRows, for quick comparison.
std::vector<std::string> listNames(HWND list);

struct MenuEntry {
    std::string text;
    UINT id;
    bool separator;
    bool grayed;
    bool isDefault;
};
std::vector<MenuEntry> menuEntries(HMENU menu);

// --- acting --------------------------------------------------------------------------------------
// Posts key down (and up) to `target`, as the keyboard would deliver it to the focused control.
void postKey(HWND target, UINT virtualKey);
// Real key strokes through the system's input queue (modifiers held while `key` is pressed).
void sendKeys(const std::vector<WORD>& modifiers, WORD key);
// Real mouse clicks at a screen position.
void sendClick(POINT screen, bool right, int clicks);
// Brings `top` to the front until the point `at` (screen) shows `target`; false when it never
// does (another program's window, or one just closing, covers it).
bool waitUntilReachable(HWND top, HWND target, POINT at);
// Clicks the toolbar button of `commandId`: the press and release go to the toolbar itself, which
// finds the button under them and sends its command. Real input could land on a box or chooser
// that is still closing, or be lost while the activation moves.
bool clickToolbarButton(HWND toolbar, int commandId);
// Posts a button press to a dialog, as clicking the button would.
void pressButton(HWND dialog, int buttonId);
// Replaces the text of an edit control (a name typed into a file chooser, a label).
void setText(HWND control, const char* text);
// Waits for a message box (or any dialog) with this caption on `threadId`, reads its text and
// presses `button` (IDOK, IDYES, IDNO, IDCANCEL). Returns the text; false in `found` when no such
// window came. A box shown without a caption of its own is captioned "Error".
std::string answerMessageBox(DWORD threadId, const char* caption, int button,
                             bool* found = nullptr);
// Types `path` into the file name field of an open or save chooser and presses its OK button.
// False when the window has no file name field.
bool chooseFile(HWND chooser, const char* path);
// Windows paths of the test images made by make_test_images.sh.
std::string testImagePath(const char* name);

}  // namespace ui_driver

// A fresh editor with its main window, run by a thread of its own exactly as the program entry
// runs it (init, runMainWindow). The destructor quits it if a test did not.
class UiSession {
public:
    UiSession();
    ~UiSession();
    UiSession(const UiSession&) = delete;
    UiSession& operator=(const UiSession&) = delete;

    // Starts the thread and waits until the main window is shown. False when it never appears.
    // The window keeps its settings under kTestSettingsKey, cleared first unless `keepSettings`
    // (a restart of the program).
    bool start(bool keepSettings = false);
    static constexpr const wchar_t* kTestSettingsKey = L"Software\\Tolven\\Window tests";
    ImageEditor& editor() { return *editor_; }
    HWND window() const { return editor_->mainWindow; }
    HWND control(int id) const { return GetDlgItem(editor_->mainWindow, id); }
    DWORD threadId() const { return threadId_; }

    // Runs `work` on the window's thread and returns when it has run. It runs as a sent message,
    // that is before anything still posted to that thread.
    void onUiThread(const std::function<void()>& work);
    // Returns once the window's thread has handled everything posted to it before (keys, commands).
    void flushPosted();
    // Returns once the window's thread is idle: what was posted to it has been handled, and so has
    // whatever that posted or queued in turn (a focus move, a closing box, a command).
    void settle();
    // Queues `work` for the window's thread and returns at once: for work that opens a modal
    // window, which the driver then answers. The work must stay alive until it has run.
    void postToUiThread(const std::function<void()>* work);
    // Posts a command to the main window as a menu item or toolbar button sends it; a command that
    // opens a dialog can then be answered with waitForWindow, answerMessageBox or chooseFile.
    void postCommand(int commandId);
    // Loads an image file and shows its root folder, as a successful Open does. Returns the
    // load's result code.
    int openImage(const std::string& path);
    // Puts the keyboard focus on a control of the main window.
    void focus(int controlId);
    // Selects and focuses list item `index` only, with the selection mark on it, as a click does.
    void selectListItem(int index);
    // Waits for the window's thread to end; its exit value is the loop's result.
    bool waitForExit(DWORD* exitValue, int timeoutMs = ui_driver::kWaitMs);
    // What an undo must give back: the volume's bytes and what the window shows of them (title,
    // label, folder path, tree, list), as one text.
    typedef std::string EditState;
    EditState editState();
    // Ctrl+Z typed in the list brings `before` back, then Edit > Redo `after`.
    bool undoRedoGivesBack(const EditState& before, const EditState& after);

private:
    static DWORD WINAPI threadMain(void* session);
    static LRESULT CALLBACK mailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    ImageEditor* editor_;
    HANDLE thread_;
    DWORD threadId_;
    HANDLE ready_;
    HWND mailbox_;
};

#endif
