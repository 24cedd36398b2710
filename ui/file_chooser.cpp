#include "ui/file_chooser.h"

#include <cderr.h>

#include <cstring>
#include <vector>

#include "ui/wide_text.h"

// Files are known by their content; the types only narrow the list.
const char kImageFileFilter[kFilterBlockSize] =
    "Disk images\0*.img;*.ima;*.flp;*.vfd;*.dsk;*.bin;*.imz;*.zip;*.gz;*.imd;*.td0\0"
    "RAW disk images (*.img;*.ima;*.flp;*.vfd;*.dsk;*.bin)\0*.img;*.ima;*.flp;*.vfd;*.dsk;*.bin\0"
    "Zipped images (*.imz;*.zip)\0*.imz;*.zip\0"
    "Gzipped images (*.gz)\0*.gz\0"
    "ImageDisk images (*.imd)\0*.imd\0"
    "Teledisk images (*.td0)\0*.td0\0"
    "All files (*.*)\0*.*\0";
const char kImageSaveFilter[kFilterBlockSize] =
    "RAW disk image (*.img)\0*.img\0"
    "Zipped image (*.imz)\0*.imz\0"
    "Gzipped image (*.gz)\0*.gz\0"
    "ImageDisk image (*.imd)\0*.imd\0";
const char kBootSectorFilter[kFilterBlockSize] =
    "RAW bootsectors (*.bin)\0*.bin\0All files (*.*)\0*.*\0";
const char kBootCodeFilter[kFilterBlockSize] =
    "RAW bootcode (*.bin)\0*.bin\0All files (*.*)\0*.*\0";
const char kAnyFileFilter[kFilterBlockSize] = "All files (*.*)\0*.*\0";

namespace {

// The record as Windows NT 4.0 knew it: the dialogs then leave out the places bar and the
// later fields (76 bytes in a 32-bit program).
const DWORD kDialogRecordSize = OPENFILENAME_SIZE_VERSION_400W;

// UTF-8 into one of the record's buffers; what does not fit is cut.
void copyText(wchar_t* to, const char* from) {
    std::wstring wide = wideText(from);
    size_t n = wide.size() < kChooserTextSize - 1 ? wide.size() : kChooserTextSize - 1;
    std::memcpy(to, wide.data(), n * sizeof(wchar_t));
    to[n] = L'\0';
}

// The dialog's answer into the caller's UTF-8 buffer; false when it does not fit.
bool copyOut(char* to, size_t capacity, const wchar_t* from) {
    std::string text = utf8Text(from);
    if (text.size() + 1 > capacity) return false;
    std::memcpy(to, text.c_str(), text.size() + 1);
    return true;
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
    if (filterBlock != nullptr && length > 0) {
        std::wstring wide = wideText(std::string(filterBlock, static_cast<size_t>(length)));
        size_t units = wide.size() < kFilterBlockSize - 2 ? wide.size() : kFilterBlockSize - 2;
        std::memcpy(filter, wide.data(), units * sizeof(wchar_t));
    }

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
    if (folder.empty() || wideText(folder).size() >= kChooserTextSize) return;
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
    BOOL chosen = save ? GetSaveFileNameW(&dialogRecord) : GetOpenFileNameW(&dialogRecord);
    if (!chosen) {
        error = CommDlgExtendedError();
        return false;
    }
    // Every unit takes at most three bytes: both always fit.
    copyOut(path, kChooserPathBytes, filePath);
    copyOut(title, kChooserPathBytes, fileTitle);
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
    // As many units as the callers' buffers have bytes: a selection that fits them in UTF-8 fits.
    std::vector<wchar_t> files(fileBufferSize, L'\0');
    std::vector<wchar_t> title(titleBufferSize, L'\0');
    dialogRecord.hwndOwner = owner;
    dialogRecord.lpstrFile = files.data();
    dialogRecord.nMaxFile = fileBufferSize;
    dialogRecord.lpstrFileTitle = title.data();
    dialogRecord.nMaxFileTitle = titleBufferSize;
    dialogRecord.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY;
    BOOL chosen = GetOpenFileNameW(&dialogRecord);
    dialogRecord.lpstrFile = nullptr;
    dialogRecord.lpstrFileTitle = nullptr;
    if (!chosen) {
        error = CommDlgExtendedError();
        return false;
    }
    // The NUL-separated list up to its empty string, each piece in UTF-8.
    std::string list;
    for (size_t at = 0; at < files.size() && files[at] != L'\0';) {
        size_t end = at;
        while (end < files.size() && files[end] != L'\0') ++end;
        list += utf8Text(files.data() + at, static_cast<int>(end - at));
        list += '\0';
        at = end + 1;
    }
    list += '\0';
    title.back() = L'\0';
    if (list.size() > fileBufferSize || !copyOut(titleBuffer, titleBufferSize, title.data())) {
        error = FNERR_BUFFERTOOSMALL;
        return false;
    }
    std::memcpy(fileBuffer, list.data(), list.size());
    error = 0;
    return true;
}
