#include "platform/host_folder.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/host_error.h"
#include "platform/host_file.h"

namespace {

// What `st` says of `path`; a folder counts as one only when `folderAllowed`.
bool describe(const char* path, const struct stat& st, bool folderAllowed, HostFileInfo* info) {
    if (S_ISREG(st.st_mode)) info->kind = kHostRegularFile;
    else if (S_ISDIR(st.st_mode) && folderAllowed) info->kind = kHostFolder;
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

}  // namespace

bool hostQueryFile(const char* path, HostFileInfo* info, bool followFolderLinks) {
    struct stat st;
    bool queried = ::lstat(path, &st) == 0;
    bool link = queried && S_ISLNK(st.st_mode);
    if (link) queried = ::stat(path, &st) == 0;
    if (!queried) {
        hostNoteFailure(path);
        return false;
    }
    return describe(path, st, !link || followFolderLinks, info);
}

bool hostListFolder(const char* path, std::vector<HostFolderEntry>* entries) {
    entries->clear();
    DIR* dir = ::opendir(path);
    if (dir == nullptr) {
        hostNoteFailure(path);
        return false;
    }
    // readdir gives null both at the end and on an error; only errno tells them apart.
    errno = 0;
    while (struct dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") entries->push_back({name, e->d_type == DT_REG});
        errno = 0;
    }
    bool complete = errno == 0;
    if (!complete) hostNoteFailure(path);
    ::closedir(dir);
    std::sort(entries->begin(), entries->end(),
              [](const HostFolderEntry& a, const HostFolderEntry& b) { return a.name < b.name; });
    return complete;
}

// Opened without blocking, so that a FIFO with no writer cannot hold the open for ever; a regular
// file reads the same with or without the flag, so it is left set. A path that does not open at
// once (missing, a socket, no permission, a link that O_NOFOLLOW refuses) is queried by name, which
// decides as it always did.
bool HostSource::open(const char* path, bool followFolderLinks, bool openFirst,
                      HostFileInfo* info) {
    file_.close();
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = openFirst ? ::open(path, flags | (followFolderLinks ? 0 : O_NOFOLLOW)) : -1;
    bool direct = fd >= 0;  // no link was followed unless links are
    if (!direct) {
        if (!hostQueryFile(path, info, followFolderLinks)) return false;
        if (info->kind != kHostRegularFile) return true;
        fd = ::open(path, flags);
    }
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        hostNoteFailure(path);
        if (fd >= 0) ::close(fd);
        return false;
    }
    bool described = describe(path, st, direct || followFolderLinks, info);
    if (!described || info->kind != kHostRegularFile) {
        ::close(fd);
        return described;
    }
    return file_.adopt(fd, path);
}
