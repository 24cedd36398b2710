#include "platform/host_folder.h"

#include <windows.h>

#include <algorithm>

#include "platform/host_error.h"
#include "platform/host_file.h"
#include "platform/host_wide_win32.h"

// A time FAT cannot hold (before 1980) becomes the earliest FAT date.
static void localDosTime(const FILETIME& utc, uint16_t* date, uint16_t* time) {
    FILETIME local;
    WORD d = 0, t = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &d, &t)) {
        d = 1 * 32 + 1;
        t = 0;
    }
    *date = d;
    *time = t;
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
    localDosTime(data.ftLastWriteTime, &info->fatDate, &info->fatTime);
    return true;
}

bool hostListFolder(const char* path, std::vector<HostFolderEntry>* entries) {
    entries->clear();
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
    const DWORD kNotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                            FILE_ATTRIBUTE_DEVICE;
    do {
        std::string name = hostUtf8(found.cFileName);
        if (name != "." && name != "..")
            entries->push_back({name, (found.dwFileAttributes & kNotPlain) == 0});
    } while (FindNextFileW(h, &found));
    bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    if (!complete) hostNoteFailure(path);
    FindClose(h);
    std::sort(entries->begin(), entries->end(),
              [](const HostFolderEntry& a, const HostFolderEntry& b) { return a.name < b.name; });
    return complete;
}

// Windows queries by name first: a link's own attributes decide whether it is followed. Size and
// time then come from the open handle, in case the file changed in between. Device names (CON,
// COM1, a pipe) open as something other than a disk file: refused.
bool HostSource::open(const char* path, bool followFolderLinks, bool, HostFileInfo* info) {
    file_.close();
    if (!hostQueryFile(path, info, followFolderLinks)) return false;
    if (info->kind != kHostRegularFile) return true;
    if (!file_.openForReading(path)) return false;
    HANDLE h = reinterpret_cast<HANDLE>(file_.handle_);
    if (GetFileType(h) != FILE_TYPE_DISK) {
        file_.close();
        hostNoteRefusal(path, kHostRefusedNotAFile);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION data;
    if (!GetFileInformationByHandle(h, &data)) {
        hostNoteFailure(path);
        file_.close();
        return false;
    }
    info->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    localDosTime(data.ftLastWriteTime, &info->fatDate, &info->fatTime);
    return true;
}
