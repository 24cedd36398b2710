#include "directory/name_clash.h"

std::string numberedName(const char* name, bool isFolder, int number) {
    std::string s = name;
    size_t dot = isFolder ? std::string::npos : s.rfind('.');
    if (dot == 0) dot = std::string::npos;
    std::string mark = " (" + std::to_string(number) + ")";
    return dot == std::string::npos ? s + mark : s.substr(0, dot) + mark + s.substr(dot);
}
