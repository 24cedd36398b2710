#include "platform/host_error.h"

#include <cerrno>
#include <cstring>

int hostLastErrorCode() { return errno; }

int hostRefusalCode(HostRefusal why) {
    switch (why) {
    case kHostRefusedReadOnly: return EACCES;
    case kHostRefusedFolder: return EISDIR;
    case kHostRefusedNotAFile: return EPERM;
    case kHostRefusedNoTarget: return ENOENT;
    case kHostRefusedShortWrite: return ENOSPC;
    }
    return EACCES;
}

std::string hostErrorText(int code) { return std::strerror(code); }
