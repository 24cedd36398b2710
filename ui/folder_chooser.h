// A uniform call around the shell's folder browser.
#ifndef TOLVEN_UI_FOLDER_CHOOSER_H
#define TOLVEN_UI_FOLDER_CHOOSER_H

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "ui/file_chooser.h"

class FolderChooser {
public:
    // `path` and `displayName` are the caller's kChooserPathBytes-byte buffers, in UTF-8 (the
    // wide browser: any folder can be chosen). The browser, in the shell's
    // newer style with its New Folder button, shows `title` above the folders (none when null)
    // and starts at the folder `path` names (at the desktop when it is empty or names none).
    // True when a folder with a file-system path was chosen (both buffers then hold it); false
    // on cancel and for virtual shell folders alike, the buffers unchanged.
    bool chooseFolder(HWND owner, char* path, char* displayName, const char* title = nullptr);

    BROWSEINFOW browseInfo;
    wchar_t folderPath[MAX_PATH];
    wchar_t displayName[MAX_PATH];
    std::wstring caption;
};

#endif
