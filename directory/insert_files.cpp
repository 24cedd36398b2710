#include <cstring>
#include <string>
#include <vector>

#include "directory/long_name.h"
#include "image/volume_image.h"
#include "platform/host_folder.h"

std::vector<std::string> insertSelectionPaths(const char* selection) {
    // The buffer may be cut without a terminator; nothing past kInsertSelectionBytes is read.
    const size_t limit = static_cast<size_t>(kInsertSelectionBytes);
    std::vector<std::string> paths;
    size_t firstLength = strnlen(selection, limit);
    if (firstLength == 0 || firstLength == limit) return paths;
    size_t at = firstLength + 1;
    if (at == limit || selection[at] == '\0') {
        paths.emplace_back(selection, firstLength);
        return paths;
    }
    std::string folder(selection, firstLength);
    while (at < limit && selection[at] != '\0') {
        size_t length = strnlen(selection + at, limit - at);
        if (at + length == limit) break;  // a name cut off by the end of the buffer
        paths.push_back(hostJoinPath(folder, std::string(selection + at, length)));
        at += length + 1;
    }
    return paths;
}

// The file-title buffer is not needed: every name is taken from its path, which the dialog fills
// in both forms, while it fills the title for a single file only.
int VolumeImage::insertFiles(uint16_t targetCluster, const char* selection, const char*,
                             int* inserted, InsertClash* clash) {
    std::vector<std::string> paths = insertSelectionPaths(selection);
    std::vector<const char*> pointers;
    for (const std::string& path : paths) pointers.push_back(path.c_str());
    return insertHostPaths(targetCluster, pointers.data(), static_cast<int>(pointers.size()),
                           inserted, clash);
}
