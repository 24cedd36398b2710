#include "ui/folder_chooser.h"

#include <cstring>

namespace {

void copyPath(char* to, const char* from) {
    std::strncpy(to, from, MAX_PATH - 1);
    to[MAX_PATH - 1] = '\0';
}

// The browser's item list belongs to the shell's allocator. Without the allocator the list is
// left alone rather than freed through the wrong heap.
void freeItemList(LPITEMIDLIST items) {
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(items);
        allocator->Release();
    }
}

// The newer browser style needs COM in a single-threaded apartment on this thread, for as long
// as the browser and its item list live.
struct OleSession {
    HRESULT result = OleInitialize(nullptr);
    ~OleSession() {
        if (SUCCEEDED(result)) OleUninitialize();
    }
};

// Selects the start folder once the browser is ready; the browser scrolls it into view.
int CALLBACK selectStartFolder(HWND browser, UINT message, LPARAM, LPARAM startFolder) {
    const char* folder = reinterpret_cast<const char*>(startFolder);
    if (message == BFFM_INITIALIZED && folder[0] != '\0')
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder));
    return 0;
}

}  // namespace

bool FolderChooser::chooseFolder(HWND owner, char* path, char* name, const char* title) {
    copyPath(folderPath, path);
    copyPath(displayName, name);

    static char emptyCaption[] = "";
    std::memset(&browseInfo, 0, sizeof browseInfo);
    browseInfo.hwndOwner = owner;
    browseInfo.pidlRoot = nullptr;  // the desktop
    browseInfo.pszDisplayName = displayName;
    browseInfo.lpszTitle = title != nullptr ? title : emptyCaption;
    browseInfo.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browseInfo.lpfn = selectStartFolder;
    browseInfo.lParam = reinterpret_cast<LPARAM>(folderPath);

    OleSession com;
    LPITEMIDLIST items = SHBrowseForFolderA(&browseInfo);
    if (items == nullptr) return false;
    if (!SHGetPathFromIDListA(items, folderPath)) {
        freeItemList(items);
        return false;
    }
    std::memcpy(path, folderPath, MAX_PATH);
    std::memcpy(name, displayName, MAX_PATH);
    freeItemList(items);
    return true;
}
