// The recently used images of the File menu and the window's place, kept between runs in the
// settings store.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/host_folder.h"
#include "resources/resource_ids.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

void ImageEditor::loadRecentFiles() {
    recentFiles.assign(settings.readRecentFiles());
    updateRecentMenu();
}

void ImageEditor::rememberRecent(const char* path) {
    recentFiles.add(path);
    // Stored at once, so that another window started meanwhile or a crash keeps it.
    settings.writeRecentFiles(recentFiles.paths());
    updateRecentMenu();
}

void ImageEditor::updateRecentMenu() {
    HMENU bar = GetMenu(mainWindow);
    HMENU file = bar != nullptr ? GetSubMenu(bar, 0) : nullptr;
    if (file == nullptr) return;
    DeleteMenu(file, ID_FILE_RECENT_SEPARATOR, MF_BYCOMMAND);
    for (int i = 0; i < static_cast<int>(RecentFiles::kMaxFiles); ++i)
        DeleteMenu(file, ID_FILE_RECENT_FIRST + i, MF_BYCOMMAND);
    if (recentFiles.paths().empty()) return;

    // Above Quit, with a separator of their own below them (the one above is Save As's).
    int quit = GetMenuItemCount(file) - 1;
    while (quit > 0 && GetMenuItemID(file, quit) != ID_FILE_QUIT) --quit;
    UINT position = static_cast<UINT>(quit);
    for (size_t i = 0; i < recentFiles.paths().size(); ++i) {
        std::wstring text = wideText(recentMenuText(i, recentFiles.paths()[i]));
        InsertMenuW(file, position++, MF_BYPOSITION | MF_STRING,
                    ID_FILE_RECENT_FIRST + static_cast<UINT_PTR>(i), text.c_str());
    }
    InsertMenuW(file, position, MF_BYPOSITION | MF_SEPARATOR, ID_FILE_RECENT_SEPARATOR, nullptr);
}

void ImageEditor::openRecentCommand(int slot) {
    if (slot < 0 || static_cast<size_t>(slot) >= recentFiles.paths().size()) return;
    std::string path = recentFiles.paths()[static_cast<size_t>(slot)];
    // Only a file that is surely gone leaves the list; any other failure is the open's to report.
    if (GetFileAttributesW(wideText(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            messageBoxUtf8(mainWindow,
                           "\"" + path +
                               "\" is not there any more and is removed from the list "
                               "of recent images.",
                           "Open", MB_ICONWARNING | MB_OK);
            recentFiles.remove(path);
            settings.writeRecentFiles(recentFiles.paths());
            updateRecentMenu();
            return;
        }
    }
    int answer = askSaveChanges();
    if (answer != IDYES && answer != IDNO) return;
    openImageFile(path.c_str(), hostBaseName(path.c_str()).c_str());
}

// A first start sizes the window from its template, which at a high DPI on a small screen can be
// larger than the screen: it is cut to the monitor's work area and moved inside it.
void ImageEditor::fitToWorkArea() {
    RECT r;
    MONITORINFO monitor;
    monitor.cbSize = sizeof monitor;
    if (!GetWindowRect(mainWindow, &r) ||
        !GetMonitorInfoW(MonitorFromWindow(mainWindow, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    LONG width = std::min(r.right - r.left, work.right - work.left);
    LONG height = std::min(r.bottom - r.top, work.bottom - work.top);
    LONG x = std::max(work.left, std::min(r.left, work.right - width));
    LONG y = std::max(work.top, std::min(r.top, work.bottom - height));
    if (x != r.left || y != r.top || width != r.right - r.left || height != r.bottom - r.top)
        SetWindowPos(mainWindow, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ImageEditor::showAtStoredPlace() {
    WindowPlace place;
    WINDOWPLACEMENT shown;
    shown.length = sizeof shown;
    // A place on a monitor that is no longer there would put the window out of reach.
    if (!settings.readWindowPlace(&place) ||
        MonitorFromRect(&place.normal, MONITOR_DEFAULTTONULL) == nullptr ||
        !GetWindowPlacement(mainWindow, &shown)) {
        fitToWorkArea();
        ShowWindow(mainWindow, SW_SHOW);
        return;
    }
    shown.flags = 0;
    shown.showCmd = place.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    shown.rcNormalPosition = place.normal;
    SetWindowPlacement(mainWindow, &shown);
}

void ImageEditor::storeWindowPlace() {
    WINDOWPLACEMENT shown;
    shown.length = sizeof shown;
    if (!GetWindowPlacement(mainWindow, &shown)) return;
    // Minimized, the window comes back as it was before.
    bool maximized = shown.showCmd == SW_SHOWMAXIMIZED ||
                     (shown.showCmd == SW_SHOWMINIMIZED && (shown.flags & WPF_RESTORETOMAXIMIZED));
    settings.writeWindowPlace({shown.rcNormalPosition, maximized});
}
