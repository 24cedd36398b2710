// Helpers of the window tests of the entry commands and the drive dialog: message boxes by
// caption, the platform's folder browser and file chooser, the list's context menu, and host
// files and folder trees.
#ifndef TOLVEN_TESTS_UI_ENTRY_COMMANDS_ENTRY_SUPPORT_H
#define TOLVEN_TESTS_UI_ENTRY_COMMANDS_ENTRY_SUPPORT_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/ui/ui_driver.h"

namespace entry_test {

// --- windows of the UI thread ------------------------------------------------------------------
// A message box (or any dialog) of the UI thread with this caption, other than the main window.
HWND waitForDialog(UiSession& session, const char* caption, int timeoutMs = ui_driver::kWaitMs);
// The text of the message box with this caption, then closes it with its OK (or first) button.
// Empty when no such box appeared.
std::string answerMessageBox(UiSession& session, const char* caption);
// Captions of every visible top-level window of the UI thread except the main window and
// tooltips.
std::vector<std::string> otherWindows(UiSession& session);

// The shell's folder browser of the Extract command: selects `hostPath` and presses OK, or
// presses Cancel when `hostPath` is null. False when no browser appeared.
bool answerFolderBrowser(UiSession& session, const char* hostPath);
// The folder browser once it shows (null when none came), and the text of the folder selected
// in its tree (empty when none is).
HWND waitForFolderBrowser(UiSession& session);
std::string selectedTreeText(HWND browser);
// The Insert Files chooser: types `names` into its file name field (a full path, or several
// quoted names after `folder` was entered first) and presses Open; Cancel when `names` is null.
bool answerInsertChooser(UiSession& session, const char* folder, const char* names);

// --- the file list ------------------------------------------------------------------------------
HWND fileList(UiSession& session);
int indexOf(UiSession& session, const std::string& name);
// Selects exactly the named items (none when empty).
void selectNames(UiSession& session, const std::vector<std::string>& names);
// Right-clicks the list at its item `index` (or below the items when -1), waits for the context
// menu and picks the item of the accelerator letter `key` (for example 'E').
bool contextMenuPick(UiSession& session, int index, char key);
// Sends a command id to the main window as its menu or toolbar would.
void postCommand(UiSession& session, int id);

// --- host files ---------------------------------------------------------------------------------
// Windows path of a file below the tests' data folder (made by make_entry_data.sh).
std::string dataPath(const std::string& relative);
// A fresh empty host folder for extraction.
std::string freshFolder(const std::string& name);
bool fileExists(const std::string& path);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// Every file and folder below `root`: relative path (with '\') -> contents, or "<DIR>".
std::map<std::string, std::string> treeOf(const std::string& root);

}  // namespace entry_test

#endif
