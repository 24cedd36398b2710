// An exclusive lock on an image file, so that two programs that lock alike (tolven-cli, the
// window, mtools) never edit the same image at once: flock on POSIX, LockFileEx on Windows, on the
// file itself. The lock ends with the object or the process.
#ifndef TOLVEN_PLATFORM_HOST_LOCK_H
#define TOLVEN_PLATFORM_HOST_LOCK_H

#include <cstdint>

enum HostLockResult {
    kHostLocked,      // held now
    kHostLockBusy,    // another holder kept it for the whole wait
    kHostLockFailed,  // no regular file there, or the host cannot lock it (noted)
};

class HostLock {
public:
    HostLock();
    ~HostLock();
    HostLock(const HostLock&) = delete;
    HostLock& operator=(const HostLock&) = delete;

    // Locks the regular file at `path` (through symbolic links), waiting up to `waitMs` for
    // another holder to let go. A save replaces the file by renaming a new one over it, so a
    // lock won on a file that no longer has the name is dropped and taken again on the file that
    // has. Anything but a regular file is refused without being opened.
    HostLockResult lock(const char* path, int waitMs);
    void unlock();
    bool held() const;

private:
    intptr_t handle_;
};

#endif
