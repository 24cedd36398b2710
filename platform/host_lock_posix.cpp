#include "platform/host_lock.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/host_error.h"

namespace {
const int kPollMs = 20;

void pause(int ms) {
    struct timespec t = {0, static_cast<long>(ms) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
}  // namespace

HostLock::HostLock() : handle_(-1) {}

HostLock::~HostLock() { unlock(); }

bool HostLock::held() const { return handle_ >= 0; }

void HostLock::unlock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));  // closing releases the flock
    handle_ = -1;
}

HostLockResult HostLock::lock(const char* path, int waitMs) {
    unlock();
    for (int waited = 0;;) {
        struct stat named;
        if (::stat(path, &named) != 0) {
            hostNoteFailure(path);
            return kHostLockFailed;
        }
        if (!S_ISREG(named.st_mode)) {
            hostNoteRefusal(path,
                            S_ISDIR(named.st_mode) ? kHostRefusedFolder : kHostRefusedNotAFile);
            return kHostLockFailed;
        }
        int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        struct stat opened;
        if (fd < 0 || fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            if (fd < 0) hostNoteFailure(path);
            else hostNoteRefusal(path, kHostRefusedNotAFile);
            if (fd >= 0) ::close(fd);
            return kHostLockFailed;
        }
        int rc;
        while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EWOULDBLOCK &&
               waited < waitMs) {
            pause(kPollMs);
            waited += kPollMs;
        }
        if (rc != 0) {
            bool busy = errno == EWOULDBLOCK;
            if (!busy) hostNoteFailure(path);
            ::close(fd);
            return busy ? kHostLockBusy : kHostLockFailed;
        }
        // Still the file of that name: done. Replaced while waiting: lock the new one.
        if (::stat(path, &named) == 0 && sameFile(named, opened)) {
            handle_ = fd;
            return kHostLocked;
        }
        ::close(fd);
    }
}
