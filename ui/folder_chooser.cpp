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

}  // namespace

bool FolderChooser::chooseFolder(HWND owner, char* path, char* name) {
    copyPath(folderPath, path);
    copyPath(displayName, name);

    static char emptyCaption[] = "";
    std::memset(&browseInfo, 0, sizeof browseInfo);
    browseInfo.hwndOwner = owner;
    browseInfo.pidlRoot = nullptr;  // the desktop
    browseInfo.pszDisplayName = displayName;
    browseInfo.lpszTitle = emptyCaption;
    browseInfo.ulFlags = 0;
    browseInfo.lpfn = nullptr;
    browseInfo.lParam = 0;

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
