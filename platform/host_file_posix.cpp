#include "platform/host_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/host_env.h"
#include "platform/host_error.h"

HostFile::HostFile() : handle_(-1) {}

HostFile::~HostFile() { close(); }

bool HostFile::openForReading(const char* path) {
    close();
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        hostNoteFailure(path);
        return false;
    }
    struct stat st;
    bool queried = fstat(fd, &st) == 0;
    // Folders open for reading on POSIX but not on Windows; refuse them alike.
    if (!queried || S_ISDIR(st.st_mode)) {
        if (queried) hostNoteRefusal(path, kHostRefusedFolder);
        else hostNoteFailure(path);
        ::close(fd);
        return false;
    }
    return adopt(fd, path);
}

bool HostFile::adopt(intptr_t handle, const char* path) {
    if (handle < 0) {
        hostNoteFailure(path);
        return false;
    }
    handle_ = handle;
    path_ = path;
    return true;
}

bool HostFile::createAlways(const char* path) {
    close();
    return adopt(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), path);
}

// A new name takes one exclusive create. An existing one is opened without truncation, without
// following a final link and without blocking, then checked on the open file itself, so the name
// cannot change kind in between; only then is it emptied.
bool HostFile::createPlain(const char* path) {
    close();
    int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0 && errno == EEXIST) {
        struct stat st;
        if (::lstat(path, &st) != 0) {
            hostNoteFailure(path);
            return false;
        }
        if (!S_ISREG(st.st_mode) || st.st_nlink != 1) {
            hostNoteRefusal(path, S_ISDIR(st.st_mode) ? kHostRefusedFolder : kHostRefusedNotAFile);
            return false;
        }
        fd = ::open(path, O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        int flags = fd < 0 ? -1 : fcntl(fd, F_GETFL);
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)) {
            hostNoteRefusal(path, kHostRefusedNotAFile);
            ::close(fd);
            return false;
        }
        if (fd >= 0 &&
            (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ftruncate(fd, 0) != 0)) {
            hostNoteFailure(path);
            ::close(fd);
            return false;
        }
    }
    return adopt(fd, path);
}

namespace {
// Gathers up to `count` bytes like ReadFile does on a disk file: only end of file stops short.
// `call(out, want, done)` reads at most `want` bytes into `out`, `done` bytes in.
template <typename Call>
bool gatherRead(const std::string& path, void* buffer, uint32_t count, uint32_t* got, Call call) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (*got < count) {
        ssize_t n = call(out + *got, count - *got, *got);
        if (n < 0) {
            if (errno == EINTR) continue;
            hostNoteFailure(path.c_str());
            return false;
        }
        if (n == 0) break;
        *got += static_cast<uint32_t>(n);
    }
    return true;
}
}  // namespace

bool HostFile::read(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (handle_ < 0) return false;
    int fd = static_cast<int>(handle_);
    return gatherRead(path_, buffer, count, got, [fd](uint8_t* out, uint32_t want, uint32_t) {
        return ::read(fd, out, want);
    });
}

bool HostFile::readAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (handle_ < 0) return false;
    int fd = static_cast<int>(handle_);
    return gatherRead(path_, buffer, count, got,
                      [fd, offset](uint8_t* out, uint32_t want, uint32_t done) {
                          return ::pread(fd, out, want, static_cast<off_t>(offset + done));
                      });
}

bool HostFile::nextData(uint64_t offset, uint64_t* start, uint64_t* end) {
    int fd = static_cast<int>(handle_);
    struct stat st;
    if (handle_ < 0 || fstat(fd, &st) != 0) return false;
    uint64_t size = static_cast<uint64_t>(st.st_size);
    *start = offset < size ? offset : size;
    *end = size;
#ifdef SEEK_DATA
    off_t data = ::lseek(fd, static_cast<off_t>(*start), SEEK_DATA);
    // ENXIO: only a hole up to the end. Any other failure (a file system without the query):
    // everything is data.
    if (data < 0 && errno == ENXIO) *start = size;
    if (data < 0) return true;
    off_t hole = ::lseek(fd, data, SEEK_HOLE);
    *start = static_cast<uint64_t>(data);
    if (hole > data) *end = static_cast<uint64_t>(hole);
#endif
    return true;
}

bool HostFile::write(const void* buffer, uint32_t count, uint32_t* written) {
    uint32_t done = 0;
    if (written != nullptr) *written = 0;
    if (handle_ < 0) return false;
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    bool ok = true;
    while (done < count) {
        uint32_t n = 0;
        bool wrote = hostEnv().writeFile(handle_, in + done, count - done, &n);
        if (!wrote && errno == EINTR) continue;
        if (!wrote || n == 0) {
            if (!wrote) hostNoteFailure(path_.c_str());
            else hostNoteRefusal(path_.c_str(), kHostRefusedShortWrite);
            ok = false;
            break;
        }
        done += n;
    }
    if (written != nullptr) *written = done;
    return ok;
}

bool HostFile::skip(uint32_t count) {
    if (handle_ < 0) return false;
    if (::lseek(static_cast<int>(handle_), static_cast<off_t>(count), SEEK_CUR) >= 0) return true;
    hostNoteFailure(path_.c_str());
    return false;
}

bool HostFile::endHere() {
    if (handle_ < 0) return false;
    if (hostEnv().endFile(handle_)) return true;
    hostNoteFailure(path_.c_str());
    return false;
}

bool HostFile::close() {
    if (handle_ < 0) return true;
    int rc = ::close(static_cast<int>(handle_));
    if (rc != 0) hostNoteFailure(path_.c_str());
    handle_ = -1;
    return rc == 0;
}

bool HostFile::isOpen() const { return handle_ >= 0; }

HostReplacement::HostReplacement() : targetExists_(false) {}

HostReplacement::~HostReplacement() { abandon(); }

void HostReplacement::abandon() {
    file_.close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool HostReplacement::begin(const char* path) {
    abandon();
    target_ = path;
    struct stat st;
    if (::lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        // Saved through the link: the file it leads to is replaced, the link stays.
        char* real = ::realpath(path, nullptr);
        if (real == nullptr) {
            hostNoteFailure(path);
            return false;
        }
        target_ = real;
        std::free(real);
    }
    targetExists_ = ::stat(target_.c_str(), &st) == 0;
    if (!targetExists_ && errno != ENOENT) {
        hostNoteFailure(path);
        return false;
    }
    if (targetExists_ && !S_ISREG(st.st_mode)) {
        hostNoteRefusal(path, S_ISDIR(st.st_mode) ? kHostRefusedFolder : kHostRefusedNotAFile);
        return false;
    }
    // Root may write anything, so a file without any write bit counts as read-only too.
    if (targetExists_ && (st.st_mode & 0222) == 0) {
        hostNoteRefusal(path, kHostRefusedReadOnly);
        return false;
    }
    if (targetExists_ && ::access(target_.c_str(), W_OK) != 0) {
        hostNoteFailure(path);
        return false;
    }

    // A fresh name: the exclusive create refuses any existing name, a link included, and the
    // next candidate is tried.
    static unsigned counter = 0;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        unsigned salt = static_cast<unsigned>(getpid()) * 2654435761u ^
                        static_cast<unsigned>(std::time(nullptr)) ^ (++counter * 40503u);
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%06x.tolven-partial", salt & 0xFFFFFFu);
        temp_ = target_ + suffix;
        fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    targetExists_ ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        // Noted against the target: the partial name is the program's own business.
        hostNoteFailure(path);
        temp_.clear();
        return false;
    }
    file_.adopt(fd, path);
    if (targetExists_) {
        // The owner first: changing it may clear the set-id bits that the mode then restores.
        if (st.st_uid != geteuid() || st.st_gid != getegid())
            (void)fchown(fd, st.st_uid, st.st_gid);
        if (fchmod(fd, st.st_mode & 07777) != 0) {
            hostNoteFailure(path);
            abandon();
            return false;
        }
    }
    return true;
}

ReplaceResult HostReplacement::commit() {
    if (temp_.empty()) return kReplaceWriteFailed;
    bool synced = hostEnv().flushFile(file_.handle_);
    if (!synced) hostNoteFailure(file_.path_.c_str());
    if (!file_.close() || !synced) {
        abandon();
        return kReplaceWriteFailed;
    }
    if (!hostEnv().replaceFile(temp_.c_str(), target_.c_str(), targetExists_)) {
        hostNoteFailure(file_.path_.c_str());
        abandon();
        return kReplaceRenameFailed;
    }
    temp_.clear();
    return kReplaceDone;
}

char hostPathSeparator() { return '/'; }

bool hostCreateFolder(const char* path) {
    if (::mkdir(path, 0755) == 0) return true;
    hostNoteFailure(path);
    return false;
}

bool hostDeleteFile(const char* path) { return ::unlink(path) == 0; }

bool hostFileExists(const char* path) {
    struct stat st;
    return ::lstat(path, &st) == 0;
}

bool hostSameFile(const char* a, const char* b) {
    struct stat sa, sb;
    return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
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
