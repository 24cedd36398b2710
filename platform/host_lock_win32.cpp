#include "platform/host_lock.h"

#include <windows.h>

#include "platform/host_error.h"
#include "platform/host_wide_win32.h"

namespace {
const DWORD kPollMs = 20;
// Windows locks bytes, and a locked byte cannot be read through another handle, even of the same
// program. The byte locked lies far past the end of any image, so reading and saving go on.
const DWORD kLockedByteHigh = 0x7FFFFFFF;

bool identity(HANDLE h, BY_HANDLE_FILE_INFORMATION* info) {
    return GetFileInformationByHandle(h, info) != FALSE;
}

bool sameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// The file now named `path`, as a handle of no access; invalid when there is none.
HANDLE openNamed(const char* path) {
    return hostCreateFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          OPEN_EXISTING, 0);
}
}  // namespace

HostLock::HostLock() : handle_(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)) {}

HostLock::~HostLock() { unlock(); }

bool HostLock::held() const { return reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE; }

void HostLock::unlock() {
    if (held()) CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing releases the lock
    handle_ = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}

HostLockResult HostLock::lock(const char* path, int waitMs) {
    unlock();
    for (int waited = 0;;) {
        DWORD attributes = hostFileAttributes(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            hostNoteFailure(path);
            return kHostLockFailed;
        }
        if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
            bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            hostNoteRefusal(path, folder ? kHostRefusedFolder : kHostRefusedNotAFile);
            return kHostLockFailed;
        }
        // Shared every way: others read, save and replace the file while it is locked.
        HANDLE h = hostCreateFile(path, GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
        if (h == INVALID_HANDLE_VALUE) {
            hostNoteFailure(path);
            return kHostLockFailed;
        }
        if (GetFileType(h) != FILE_TYPE_DISK) {
            hostNoteRefusal(path, kHostRefusedNotAFile);
            CloseHandle(h);
            return kHostLockFailed;
        }
        OVERLAPPED at = {};
        at.OffsetHigh = kLockedByteHigh;
        BOOL locked;
        while (!(locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                                     0, &at)) &&
               GetLastError() == ERROR_LOCK_VIOLATION && waited < waitMs) {
            Sleep(kPollMs);
            waited += static_cast<int>(kPollMs);
        }
        if (!locked) {
            bool busy = GetLastError() == ERROR_LOCK_VIOLATION;
            if (!busy) hostNoteFailure(path);
            CloseHandle(h);
            return busy ? kHostLockBusy : kHostLockFailed;
        }
        // Still the file of that name: done. Replaced while waiting: lock the new one.
        BY_HANDLE_FILE_INFORMATION mine, named;
        HANDLE now = openNamed(path);
        // A file system that cannot say which file is which is taken at its word.
        bool same = now != INVALID_HANDLE_VALUE &&
                    (!identity(h, &mine) || !identity(now, &named) || sameFile(mine, named));
        if (now != INVALID_HANDLE_VALUE) CloseHandle(now);
        if (same) {
            handle_ = reinterpret_cast<intptr_t>(h);
            return kHostLocked;
        }
        CloseHandle(h);
    }
}
