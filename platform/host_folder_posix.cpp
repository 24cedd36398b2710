#include "platform/host_folder.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>

#include "platform/clock.h"
#include "platform/host_error.h"
#include "platform/host_file.h"

bool hostQueryFile(const char* path, HostFileInfo* info, bool followFolderLinks) {
    struct stat st;
    bool queried = ::lstat(path, &st) == 0;
    bool link = queried && S_ISLNK(st.st_mode);
    if (link) queried = ::stat(path, &st) == 0;
    if (!queried) {
        hostNoteFailure(path);
        return false;
    }
    if (S_ISREG(st.st_mode)) info->kind = kHostRegularFile;
    else if (S_ISDIR(st.st_mode) && (!link || followFolderLinks)) info->kind = kHostFolder;
    else info->kind = kHostOther;
    info->isFolder = info->kind == kHostFolder;
    info->size = info->kind == kHostRegularFile ? static_cast<uint64_t>(st.st_size) : 0;
    std::tm local{};
    time_t when = st.st_mtime;
    if (localtime_r(&when, &local) == nullptr) {
        hostNoteFailure(path);
        return false;
    }
    packFatDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, local.tm_sec, &info->fatDate, &info->fatTime);
    return true;
}

bool hostListFolder(const char* path, std::vector<std::string>* names) {
    names->clear();
    DIR* dir = ::opendir(path);
    if (dir == nullptr) {
        hostNoteFailure(path);
        return false;
    }
    // readdir gives null both at the end and on an error; only errno tells them apart.
    errno = 0;
    while (struct dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names->push_back(name);
        errno = 0;
    }
    bool complete = errno == 0;
    if (!complete) hostNoteFailure(path);
    ::closedir(dir);
    std::sort(names->begin(), names->end());
    return complete;
}

HostReadResult hostReadWholeFile(const char* path, uint64_t maxBytes, std::vector<uint8_t>* data) {
    data->clear();
    HostFile file;
    if (!file.openRegularForReading(path)) return kHostReadFailed;
    uint8_t chunk[65536];
    for (;;) {
        uint32_t got = 0;
        if (!file.read(chunk, sizeof chunk, &got)) return kHostReadFailed;
        if (got == 0) return kHostReadOk;
        if (data->size() + got > maxBytes) return kHostReadTooBig;
        data->insert(data->end(), chunk, chunk + got);
    }
}
