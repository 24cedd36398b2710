#include "platform/host_env_own.h"

#include <windows.h>

#include <string>

#include "platform/host_wide_win32.h"

namespace host_own {

bool writeFile(intptr_t handle, const void* data, uint32_t count, uint32_t* done) {
    DWORD n = 0;
    BOOL ok = WriteFile(reinterpret_cast<HANDLE>(handle), data, count, &n, nullptr);
    *done = n;
    return ok != FALSE;
}

bool endFile(intptr_t handle) { return SetEndOfFile(reinterpret_cast<HANDLE>(handle)) != FALSE; }

bool flushFile(intptr_t handle) {
    return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != FALSE;
}

// ReplaceFile keeps the target's security, attributes and creation time.
bool replaceFile(const char* from, const char* to, bool replacing) {
    std::wstring source, target;
    if (!hostWidePath(from, &source) || !hostWidePath(to, &target)) return false;
    if (replacing)
        return ReplaceFileW(target.c_str(), source.c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool changeOwner(intptr_t, long, long) { return true; }

}  // namespace host_own
