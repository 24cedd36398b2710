#include "ui/chooser_folders.h"

#include <cstring>

std::string folderOfPath(const char* path) {
    const char* end = std::strrchr(path, '\\');
    const char* slash = std::strrchr(path, '/');
    if (slash != nullptr && (end == nullptr || slash > end)) end = slash;
    if (end == nullptr) return std::string();
    size_t length = static_cast<size_t>(end - path);
    // A drive's root keeps its separator: "C:" alone is the drive's current folder.
    if (length == 0 || (length == 2 && path[1] == ':')) ++length;
    return std::string(path, length);
}

std::string ChooserFolders::startFolder(ChooserKind kind, const char* imagePath) const {
    if (!last_[kind].empty()) return last_[kind];
    return imagePath != nullptr ? folderOfPath(imagePath) : std::string();
}
