// A uniform call around the shell's folder browser.
#ifndef TOLVEN_UI_FOLDER_CHOOSER_H
#define TOLVEN_UI_FOLDER_CHOOSER_H

#include <windows.h>
#include <shlobj.h>

class FolderChooser {
public:
    // `path` and `displayName` are the caller's 260-byte buffers. The browser, in the shell's
    // newer style with its New Folder button, shows `title` above the folders (none when null)
    // and starts at the folder `path` names (at the desktop when it is empty or names none).
    // True when a folder with a file-system path was chosen (both buffers then hold it); false
    // on cancel and for virtual shell folders alike, the buffers unchanged.
    bool chooseFolder(HWND owner, char* path, char* displayName, const char* title = nullptr);

    BROWSEINFOA browseInfo;
    char folderPath[MAX_PATH];
    char displayName[MAX_PATH];
};

#endif
