#include "platform/host_env_own.h"

#include <cstdio>
#include <sys/types.h>
#include <unistd.h>

namespace host_own {

bool writeFile(intptr_t handle, const void* data, uint32_t count, uint32_t* done) {
    ssize_t n = ::write(static_cast<int>(handle), data, count);
    *done = n > 0 ? static_cast<uint32_t>(n) : 0;
    return n >= 0;
}

bool endFile(intptr_t handle) {
    int fd = static_cast<int>(handle);
    off_t at = ::lseek(fd, 0, SEEK_CUR);
    return at >= 0 && ::ftruncate(fd, at) == 0;
}

bool flushFile(intptr_t handle) { return ::fsync(static_cast<int>(handle)) == 0; }

bool replaceFile(const char* from, const char* to, bool) { return std::rename(from, to) == 0; }

bool changeOwner(intptr_t handle, long owner, long group) {
    return ::fchown(static_cast<int>(handle), static_cast<uid_t>(owner),
                    static_cast<gid_t>(group)) == 0;
}

}  // namespace host_own
