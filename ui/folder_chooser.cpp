#include "ui/folder_chooser.h"

#include <cstring>

#include "ui/wide_text.h"

namespace {

// UTF-8 into one of the browser's buffers; what does not fit is cut.
void copyPath(wchar_t* to, const char* from) {
    std::wstring wide = wideText(from);
    size_t n = wide.size() < MAX_PATH - 1 ? wide.size() : MAX_PATH - 1;
    std::memcpy(to, wide.data(), n * sizeof(wchar_t));
    to[n] = L'\0';
}

// A browser buffer into the caller's (MAX_PATH units take at most kChooserPathBytes bytes).
void copyOut(char* to, const wchar_t* from) {
    std::string text = utf8Text(from);
    if (text.size() >= static_cast<size_t>(kChooserPathBytes)) text.clear();
    std::memcpy(to, text.c_str(), text.size() + 1);
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
    const wchar_t* folder = reinterpret_cast<const wchar_t*>(startFolder);
    if (message == BFFM_INITIALIZED && folder[0] != L'\0')
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder));
    return 0;
}

}  // namespace

bool FolderChooser::chooseFolder(HWND owner, char* path, char* name, const char* title) {
    copyPath(folderPath, path);
    copyPath(displayName, name);

    caption = title != nullptr ? wideText(title) : std::wstring();
    std::memset(&browseInfo, 0, sizeof browseInfo);
    browseInfo.hwndOwner = owner;
    browseInfo.pidlRoot = nullptr;  // the desktop
    browseInfo.pszDisplayName = displayName;
    browseInfo.lpszTitle = caption.c_str();
    browseInfo.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browseInfo.lpfn = selectStartFolder;
    browseInfo.lParam = reinterpret_cast<LPARAM>(folderPath);

    OleSession com;
    LPITEMIDLIST items = SHBrowseForFolderW(&browseInfo);
    if (items == nullptr) return false;
    if (!SHGetPathFromIDListW(items, folderPath)) {
        freeItemList(items);
        return false;
    }
    copyOut(path, folderPath);
    copyOut(name, displayName);
    freeItemList(items);
    return true;
}
