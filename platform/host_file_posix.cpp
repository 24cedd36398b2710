#include "platform/host_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

HostFile::HostFile() : handle_(-1) {}

HostFile::~HostFile() { close(); }

bool HostFile::openForReading(const char* path) {
    close();
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    // Folders open for reading on POSIX but not on Windows; refuse them alike.
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

bool HostFile::createAlways(const char* path) {
    close();
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    handle_ = fd;
    return true;
}

bool HostFile::read(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (handle_ < 0) return false;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    // Gather up to `count` bytes like ReadFile does on a disk file: only end of file stops short.
    while (*got < count) {
        ssize_t n = ::read(static_cast<int>(handle_), out + *got, count - *got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        *got += static_cast<uint32_t>(n);
    }
    return true;
}

bool HostFile::write(const void* buffer, uint32_t count) {
    if (handle_ < 0) return false;
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::write(static_cast<int>(handle_), in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<uint32_t>(n);
    }
    return true;
}

bool HostFile::close() {
    if (handle_ < 0) return true;
    int rc = ::close(static_cast<int>(handle_));
    handle_ = -1;
    return rc == 0;
}

bool HostFile::isOpen() const { return handle_ >= 0; }

char hostPathSeparator() { return '/'; }

bool hostCreateFolder(const char* path) { return ::mkdir(path, 0755) == 0; }

bool hostDeleteFile(const char* path) { return ::unlink(path) == 0; }

bool hostReplaceFile(const char* from, const char* to) { return ::rename(from, to) == 0; }

bool hostFileExists(const char* path) {
    struct stat st;
    return ::lstat(path, &st) == 0;
}

bool hostTempPath(char* buffer, size_t capacity) {
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || dir[0] == '\0') dir = "/tmp";
    size_t len = std::strlen(dir);
    bool slash = dir[len - 1] == '/';
    if (len + (slash ? 0 : 1) + 1 > capacity) return false;
    std::memcpy(buffer, dir, len);
    if (!slash) buffer[len++] = '/';
    buffer[len] = '\0';
    return true;
}
