#include "platform/host_folder.h"

#include <cstring>

#include "platform/host_file.h"

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
