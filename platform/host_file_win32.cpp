#include "platform/host_file.h"

#include <windows.h>

#include <cstring>

static HANDLE asHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
static const intptr_t kClosed = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);

HostFile::HostFile() : handle_(kClosed) {}

HostFile::~HostFile() { close(); }

bool HostFile::openForReading(const char* path) {
    close();
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

bool HostFile::createAlways(const char* path) {
    close();
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

bool HostFile::read(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (handle_ == kClosed) return false;
    DWORD n = 0;
    if (!ReadFile(asHandle(handle_), buffer, count, &n, nullptr)) return false;
    *got = n;
    return true;
}

bool HostFile::write(const void* buffer, uint32_t count) {
    if (handle_ == kClosed) return false;
    DWORD n = 0;
    if (!WriteFile(asHandle(handle_), buffer, count, &n, nullptr)) return false;
    return n == count;
}

bool HostFile::close() {
    if (handle_ == kClosed) return true;
    BOOL ok = CloseHandle(asHandle(handle_));
    handle_ = kClosed;
    return ok != FALSE;
}

bool HostFile::isOpen() const { return handle_ != kClosed; }

char hostPathSeparator() { return '\\'; }

bool hostCreateFolder(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

bool hostDeleteFile(const char* path) { return DeleteFileA(path) != FALSE; }

bool hostReplaceFile(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool hostFileExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool hostTempPath(char* buffer, size_t capacity) {
    DWORD n = GetTempPathA(static_cast<DWORD>(capacity), buffer);
    return n != 0 && n < capacity;
}
