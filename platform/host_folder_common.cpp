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

std::string hostJoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    std::string joined = folder;
    if (!isSeparator(joined.back())) joined += hostPathSeparator();
    return joined + name;
}
