#include "platform/host_folder.h"

#include <windows.h>

#include <algorithm>

#include "platform/host_error.h"
#include "platform/host_file.h"
#include "platform/host_wide_win32.h"

static bool localDosTime(const FILETIME& utc, uint16_t* date, uint16_t* time) {
    FILETIME local;
    WORD d = 0, t = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &d, &t))
        return false;
    *date = d;
    *time = t;
    return true;
}

// GetFileAttributesEx describes a symbolic link or junction itself; what it leads to is read
// through a handle, which follows it.
bool hostQueryFile(const char* path, HostFileInfo* info, bool followFolderLinks) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::wstring wide;
    if (!hostWidePath(path, &wide) ||
        !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        hostNoteFailure(path);
        return false;
    }
    DWORD attributes = data.dwFileAttributes;
    bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (link && (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || followFolderLinks)) {
        HANDLE h = hostCreateFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
        BY_HANDLE_FILE_INFORMATION target;
        bool read = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &target);
        if (!read) hostNoteFailure(path);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (!read) return false;
        attributes = target.dwFileAttributes;
        data.nFileSizeHigh = target.nFileSizeHigh;
        data.nFileSizeLow = target.nFileSizeLow;
        data.ftLastWriteTime = target.ftLastWriteTime;
    }
    if (attributes & FILE_ATTRIBUTE_DEVICE) info->kind = kHostOther;
    else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) info->kind = kHostRegularFile;
    else if (!link || followFolderLinks) info->kind = kHostFolder;
    else info->kind = kHostOther;
    info->isFolder = info->kind == kHostFolder;
    info->size = info->kind != kHostRegularFile
                     ? 0
                     : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (!localDosTime(data.ftLastWriteTime, &info->fatDate, &info->fatTime)) {
        info->fatDate = 1 * 32 + 1;  // before 1980: the earliest FAT date
        info->fatTime = 0;
    }
    return true;
}

bool hostListFolder(const char* path, std::vector<std::string>* names) {
    names->clear();
    std::string pattern = hostJoinPath(path, "*");
    std::wstring wide;
    WIN32_FIND_DATAW found;
    HANDLE h = hostWidePath(pattern.c_str(), &wide) ? FindFirstFileW(wide.c_str(), &found)
                                                    : INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        hostNoteFailure(path);
        return false;
    }
    do {
        std::string name = hostUtf8(found.cFileName);
        if (name != "." && name != "..") names->push_back(name);
    } while (FindNextFileW(h, &found));
    bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    if (!complete) hostNoteFailure(path);
    FindClose(h);
    std::sort(names->begin(), names->end());
    return complete;
}

HostReadResult hostReadWholeFile(const char* path, uint64_t maxBytes, std::vector<uint8_t>* data) {
    data->clear();
    HostFile file;
    if (!file.openRegularForReading(path)) return kHostReadFailed;
    std::vector<uint8_t> chunk(65536);
    for (;;) {
        uint32_t got = 0;
        if (!file.read(chunk.data(), static_cast<uint32_t>(chunk.size()), &got))
            return kHostReadFailed;
        if (got == 0) return kHostReadOk;
        if (data->size() + got > maxBytes) return kHostReadTooBig;
        data->insert(data->end(), chunk.begin(), chunk.begin() + got);
    }
}
