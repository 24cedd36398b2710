#include "ui/file_chooser.h"

#include <cstring>

const char kImageFileFilter[kFilterBlockSize] =
    "RAW disk images (*.img;*.ima;*.flp)\0*.img;*.ima;*.flp\0All files (*.*)\0*.*\0";
const char kBootSectorFilter[kFilterBlockSize] =
    "RAW bootsectors (*.bin)\0*.bin\0All files (*.*)\0*.*\0";
const char kBootCodeFilter[kFilterBlockSize] = "RAW bootcode (*.bin)\0*.bin\0All files (*.*)\0*.*\0";
const char kAnyFileFilter[kFilterBlockSize] = "All files (*.*)\0*.*\0";

namespace {

// The record as Windows NT 4.0 knew it: the dialogs then leave out the places bar and the
// later fields, and the size is the same on every system the program runs on.
const DWORD kDialogRecordSize = 76;

void copyText(char* to, const char* from) {
    std::strncpy(to, from, kChooserTextSize - 1);
    to[kChooserTextSize - 1] = '\0';
}

}  // namespace

void FileChooser::setup(const char* filterBlock, int filterLength, const char* defaultExtension,
                        const char* title) {
    std::memset(defaultExt, 0, sizeof defaultExt);
    std::memset(filePath, 0, sizeof filePath);
    std::memset(fileTitle, 0, sizeof fileTitle);
    std::memset(dialogTitle, 0, sizeof dialogTitle);
    std::memset(filter, 0, sizeof filter);
    std::memset(startFolder, 0, sizeof startFolder);
    if (defaultExtension != nullptr) copyText(defaultExt, defaultExtension);
    if (title != nullptr) copyText(dialogTitle, title);
    // A longer length than the block is cut, and the last two bytes stay zero, so the dialog
    // always finds the block's end inside `filter`.
    int length = filterLength < 0 ? 0 : filterLength;
    if (length > kFilterBlockSize - 2) length = kFilterBlockSize - 2;
    if (filterBlock != nullptr) std::memcpy(filter, filterBlock, static_cast<size_t>(length));

    std::memset(&dialogRecord, 0, sizeof dialogRecord);
    dialogRecord.lStructSize = kDialogRecordSize;
    dialogRecord.hwndOwner = nullptr;
    dialogRecord.hInstance = nullptr;
    dialogRecord.lpstrFilter = filter;
    dialogRecord.lpstrCustomFilter = nullptr;
    dialogRecord.nMaxCustFilter = 0;
    dialogRecord.nFilterIndex = 1;
    dialogRecord.lpstrFile = nullptr;
    dialogRecord.nMaxFile = kChooserTextSize;
    dialogRecord.lpstrFileTitle = nullptr;
    dialogRecord.nMaxFileTitle = kChooserTextSize;
    dialogRecord.lpstrInitialDir = nullptr;
    dialogRecord.lpstrTitle = title != nullptr ? dialogTitle : nullptr;
    dialogRecord.Flags = 0;
    dialogRecord.nFileOffset = 0;
    dialogRecord.nFileExtension = 0;
    dialogRecord.lpstrDefExt = defaultExt;
    dialogRecord.lCustData = 0;
    dialogRecord.lpfnHook = nullptr;
    dialogRecord.lpTemplateName = nullptr;
}

void FileChooser::startIn(const std::string& folder) {
    dialogRecord.lpstrInitialDir = nullptr;
    if (folder.empty() || folder.size() >= sizeof startFolder) return;
    copyText(startFolder, folder.c_str());
    dialogRecord.lpstrInitialDir = startFolder;
}

bool FileChooser::chooseSingle(HWND owner, char* path, char* title, DWORD flags, bool save,
                               DWORD& error) {
    copyText(filePath, path);
    copyText(fileTitle, title);
    dialogRecord.hwndOwner = owner;
    dialogRecord.lpstrFile = filePath;
    dialogRecord.nMaxFile = kChooserTextSize;
    dialogRecord.lpstrFileTitle = fileTitle;
    dialogRecord.nMaxFileTitle = kChooserTextSize;
    dialogRecord.Flags = flags;
    BOOL chosen = save ? GetSaveFileNameA(&dialogRecord) : GetOpenFileNameA(&dialogRecord);
    if (!chosen) {
        error = CommDlgExtendedError();
        return false;
    }
    std::memcpy(path, filePath, kChooserTextSize);
    std::memcpy(title, fileTitle, kChooserTextSize);
    error = 0;
    return true;
}

bool FileChooser::chooseOpen(HWND owner, char* path, char* title, DWORD& error) {
    return chooseSingle(owner, path, title, OFN_HIDEREADONLY, false, error);
}

bool FileChooser::chooseSave(HWND owner, char* path, char* title, DWORD& error) {
    return chooseSingle(owner, path, title, OFN_OVERWRITEPROMPT, true, error);
}

bool FileChooser::chooseOpenMultiple(HWND owner, char* fileBuffer, DWORD fileBufferSize,
                                     char* titleBuffer, DWORD titleBufferSize, DWORD& error) {
    dialogRecord.hwndOwner = owner;
    dialogRecord.lpstrFile = fileBuffer;
    dialogRecord.nMaxFile = fileBufferSize;
    dialogRecord.lpstrFileTitle = titleBuffer;
    dialogRecord.nMaxFileTitle = titleBufferSize;
    dialogRecord.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&dialogRecord)) {
        error = CommDlgExtendedError();
        return false;
    }
    error = 0;
    return true;
}
