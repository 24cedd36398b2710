#include "platform/host_folder.h"

#include <windows.h>

#include <algorithm>

#include "platform/host_file.h"

static bool localDosTime(const FILETIME& utc, uint16_t* date, uint16_t* time) {
    FILETIME local;
    WORD d = 0, t = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &d, &t))
        return false;
    *date = d;
    *time = t;
    return true;
}

bool hostQueryFile(const char* path, HostFileInfo* info) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
    info->isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info->size = info->isFolder ? 0
                                : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                      data.nFileSizeLow;
    if (!localDosTime(data.ftLastWriteTime, &info->fatDate, &info->fatTime)) {
        info->fatDate = 1 * 32 + 1;  // before 1980: the earliest FAT date
        info->fatTime = 0;
    }
    return true;
}

bool hostListFolder(const char* path, std::vector<std::string>* names) {
    names->clear();
    std::string pattern = hostJoinPath(path, "*");
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names->push_back(name);
    } while (FindNextFileA(h, &found));
    bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(h);
    std::sort(names->begin(), names->end());
    return complete;
}

HostReadResult hostReadWholeFile(const char* path, uint64_t maxBytes, std::vector<uint8_t>* data) {
    data->clear();
    HostFile file;
    if (!file.openForReading(path)) return kHostReadFailed;
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
