#include "platform/host_folder.h"

#include <cstring>

#include "platform/host_file.h"
#include "platform/host_memory.h"

static bool isSeparator(char c) { return c == '/' || c == hostPathSeparator(); }

std::string hostBaseName(const char* path) {
    size_t end = std::strlen(path);
    while (end > 0 && isSeparator(path[end - 1])) --end;
    size_t begin = end;
    while (begin > 0 && !isSeparator(path[begin - 1])) --begin;
    return std::string(path + begin, end - begin);
}

std::string hostFolderOf(const char* path) {
    size_t end = std::strlen(path);
    while (end > 0 && !isSeparator(path[end - 1])) --end;
    if (end == 0) return std::string();
    size_t length = end - 1;
    // A root keeps its separator.
    if (length == 0 || (length == 2 && path[1] == ':')) ++length;
    return std::string(path, length);
}

std::string hostJoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    std::string joined = folder;
    if (!isSeparator(joined.back())) joined += hostPathSeparator();
    return joined + name;
}

bool HostSource::read(uint8_t* const* pieces, int count, uint32_t pieceBytes, uint64_t size,
                      uint64_t* got) {
    *got = 0;
    for (int i = 0; i < count && *got < size;) {
        int run = 1;
        // Buffers that follow one another take one read, of under 1 GB.
        while (i + run < count && static_cast<uint64_t>(run + 1) * pieceBytes < (1u << 30) &&
               pieces[i + run] == pieces[i] + static_cast<size_t>(run) * pieceBytes)
            ++run;
        uint64_t room = static_cast<uint64_t>(run) * pieceBytes;
        uint32_t want = static_cast<uint32_t>(size - *got < room ? size - *got : room);
        uint32_t n = 0;
        hostPrepareForWrite(pieces[i], want);
        if (!file_.read(pieces[i], want, &n)) return false;
        *got += n;
        if (n < want) break;  // the end came early: the file shrank
        i += run;
    }
    return true;
}
