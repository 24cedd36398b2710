#include "platform/host_file.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/host_env.h"
#include "platform/host_error.h"
#include "platform/host_wide_win32.h"

static HANDLE asHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
static const intptr_t kClosed = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);

HostFile::HostFile() : handle_(kClosed) {}

HostFile::~HostFile() { close(); }

bool HostFile::openForReading(const char* path) {
    close();
    HANDLE h = hostCreateFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL);
    return adopt(reinterpret_cast<intptr_t>(h), path);
}

bool HostFile::adopt(intptr_t handle, const char* path) {
    if (handle == kClosed) {
        hostNoteFailure(path);
        return false;
    }
    handle_ = handle;
    path_ = path;
    return true;
}

bool HostFile::createAlways(const char* path) {
    close();
    HANDLE h = hostCreateFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    return adopt(reinterpret_cast<intptr_t>(h), path);
}

// A new name takes one exclusive create. An existing one is opened on the name itself (a reparse
// point is not followed), without truncation, checked on the open handle, and only then emptied.
bool HostFile::createPlain(const char* path) {
    close();
    HANDLE h = hostCreateFile(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    DWORD error = GetLastError();
    bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    if (h == INVALID_HANDLE_VALUE && !exists) {
        hostNoteFailure(path);
        return false;
    }
    if (h == INVALID_HANDLE_VALUE) {
        DWORD attributes = hostFileAttributes(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            hostNoteFailure(path);
            return false;
        }
        if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
            bool folder = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
            hostNoteRefusal(path, folder ? kHostRefusedFolder : kHostRefusedNotAFile);
            return false;
        }
        h = hostCreateFile(path, GENERIC_WRITE, 0, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
        if (h == INVALID_HANDLE_VALUE) {
            hostNoteFailure(path);
            return false;
        }
        BY_HANDLE_FILE_INFORMATION info;
        bool plain = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                     (info.dwFileAttributes &
                      (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
                     info.nNumberOfLinks <= 1;
        bool emptied = plain && SetEndOfFile(h);
        if (!emptied) {
            if (plain) hostNoteFailure(path);
            else hostNoteRefusal(path, kHostRefusedNotAFile);
            CloseHandle(h);
            return false;
        }
    }
    return adopt(reinterpret_cast<intptr_t>(h), path);
}

bool HostFile::read(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (handle_ == kClosed) return false;
    DWORD n = 0;
    if (!ReadFile(asHandle(handle_), buffer, count, &n, nullptr)) {
        hostNoteFailure(path_.c_str());
        return false;
    }
    *got = n;
    return true;
}

bool HostFile::readAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (handle_ == kClosed) return false;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!ReadFile(asHandle(handle_), buffer, count, &n, &at) &&
        GetLastError() != ERROR_HANDLE_EOF) {
        hostNoteFailure(path_.c_str());
        return false;
    }
    *got = n;
    return true;
}

// The holes of sparse files are not asked for: everything from `offset` on is data.
bool HostFile::nextData(uint64_t offset, uint64_t* start, uint64_t* end) {
    LARGE_INTEGER size;
    if (handle_ == kClosed || !GetFileSizeEx(asHandle(handle_), &size)) return false;
    uint64_t length = static_cast<uint64_t>(size.QuadPart);
    *start = offset < length ? offset : length;
    *end = length;
    return true;
}

bool HostFile::write(const void* buffer, uint32_t count, uint32_t* written) {
    if (written != nullptr) *written = 0;
    if (handle_ == kClosed) return false;
    uint32_t n = 0;
    bool ok = hostEnv().writeFile(handle_, buffer, count, &n);
    if (!ok) hostNoteFailure(path_.c_str());
    else if (n != count) hostNoteRefusal(path_.c_str(), kHostRefusedShortWrite);
    if (written != nullptr) *written = n;
    return ok && n == count;
}

bool HostFile::skip(uint32_t count) {
    if (handle_ == kClosed) return false;
    LARGE_INTEGER distance;
    distance.QuadPart = count;
    if (SetFilePointerEx(asHandle(handle_), distance, nullptr, FILE_CURRENT)) return true;
    hostNoteFailure(path_.c_str());
    return false;
}

bool HostFile::endHere() {
    if (handle_ == kClosed) return false;
    if (hostEnv().endFile(handle_)) return true;
    hostNoteFailure(path_.c_str());
    return false;
}

bool HostFile::close() {
    if (handle_ == kClosed) return true;
    BOOL ok = CloseHandle(asHandle(handle_));
    if (!ok) hostNoteFailure(path_.c_str());
    handle_ = kClosed;
    return ok != FALSE;
}

bool HostFile::isOpen() const { return handle_ != kClosed; }

namespace {

// The file a symbolic link or junction at `path` leads to; false when it leads nowhere.
bool finalPath(const char* path, std::string* out) {
    HANDLE h = hostCreateFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, &buffer[0], MAX_PATH, FILE_NAME_NORMALIZED);
    if (n >= MAX_PATH) {
        buffer.assign(n, L'\0');
        n = GetFinalPathNameByHandleW(h, &buffer[0], n, FILE_NAME_NORMALIZED);
    }
    CloseHandle(h);
    if (n == 0 || n >= buffer.size()) return false;
    buffer.resize(n);
    // "\\?\C:\x" is "C:\x" and "\\?\UNC\server\share" is "\\server\share": hostWidePath
    // gives the prefix back when the path needs it.
    if (buffer.compare(0, 8, L"\\\\?\\UNC\\") == 0) buffer = L"\\\\" + buffer.substr(8);
    else if (buffer.compare(0, 4, L"\\\\?\\") == 0) buffer = buffer.substr(4);
    *out = hostUtf8(buffer.c_str(), static_cast<int>(buffer.size()));
    return true;
}

// The full form of `path` in UTF-8, of any length; false with the last error set.
bool fullPath(const char* path, std::string* out) {
    std::wstring wide;
    if (!hostWidePath(path, &wide)) return false;
    DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (need == 0) return false;
    std::wstring full(need, L'\0');
    DWORD got = GetFullPathNameW(wide.c_str(), need, &full[0], nullptr);
    if (got == 0 || got >= need) {
        if (got != 0) SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    *out = hostUtf8(full.c_str(), static_cast<int>(got));
    return true;
}

const DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

HostReplacement::HostReplacement() : targetExists_(false) {}

HostReplacement::~HostReplacement() { abandon(); }

void HostReplacement::abandon() {
    file_.close();
    if (!temp_.empty()) hostDeleteFile(temp_.c_str());
    temp_.clear();
}

bool HostReplacement::begin(const char* path) {
    abandon();
    // A full path: Wine's ReplaceFile fails on relative ones.
    if (!fullPath(path, &target_)) {
        hostNoteFailure(path);
        return false;
    }
    DWORD attributes = hostFileAttributes(target_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::string full = target_;
        if (!finalPath(full.c_str(), &target_)) {
            hostNoteRefusal(path, kHostRefusedNoTarget);
            return false;
        }
        attributes = hostFileAttributes(target_.c_str());
    }
    targetExists_ = attributes != INVALID_FILE_ATTRIBUTES;
    if (!targetExists_) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            hostNoteFailure(path);
            return false;
        }
    }
    if (targetExists_ && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY |
                                        FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT))) {
        HostRefusal why = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0  ? kHostRefusedFolder
                          : (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? kHostRefusedReadOnly
                                                                        : kHostRefusedNotAFile;
        hostNoteRefusal(path, why);
        return false;
    }

    // CREATE_NEW never opens an existing name, a link included; the next candidate is tried.
    static unsigned counter = 0;
    DWORD kept = targetExists_ ? attributes & kKeptAttributes : 0;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; h == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        unsigned salt = static_cast<unsigned>(GetCurrentProcessId()) * 2654435761u ^
                        static_cast<unsigned>(GetTickCount()) ^ (++counter * 40503u);
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%06x.tolven-partial", salt & 0xFFFFFFu);
        temp_ = target_ + suffix;
        h = hostCreateFile(temp_.c_str(), GENERIC_WRITE, 0, CREATE_NEW,
                           kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
        DWORD error = GetLastError();
        bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        if (h == INVALID_HANDLE_VALUE && !taken) break;
    }
    if (h == INVALID_HANDLE_VALUE) {
        // Noted against the target: the partial name is the program's own business.
        hostNoteFailure(path);
        temp_.clear();
        return false;
    }
    file_.adopt(reinterpret_cast<intptr_t>(h), path);
    return true;
}

ReplaceResult HostReplacement::commit() {
    if (temp_.empty()) return kReplaceWriteFailed;
    bool flushed = hostEnv().flushFile(file_.handle_);
    if (!flushed) hostNoteFailure(file_.path_.c_str());
    if (!file_.close() || !flushed) {
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

char hostPathSeparator() { return '\\'; }

bool hostCreateFolder(const char* path) {
    std::wstring wide;
    if (hostWidePath(path, &wide) && CreateDirectoryW(wide.c_str(), nullptr)) return true;
    hostNoteFailure(path);
    return false;
}

bool hostDeleteFile(const char* path) {
    std::wstring wide;
    return hostWidePath(path, &wide) && DeleteFileW(wide.c_str()) != FALSE;
}

bool hostFileExists(const char* path) {
    return hostFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

namespace {
// The volume and file index of an existing file; false when it cannot be opened.
bool fileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file = hostCreateFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return ok;
}
}  // namespace

bool hostSameFile(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return fileIdentity(a, &ia) && fileIdentity(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool hostTempPath(char* buffer, size_t capacity) {
    wchar_t wide[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, wide);
    if (n == 0 || n > MAX_PATH || capacity == 0) return false;
    std::string path = hostUtf8(wide, static_cast<int>(n));
    if (path.size() >= capacity) return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}
