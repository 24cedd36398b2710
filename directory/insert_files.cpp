#include <cstring>
#include <string>

#include "image/volume_image.h"
#include "platform/host_folder.h"

// The file-title buffer is not needed: every name is taken from its path, which the dialog fills
// in both forms, while it fills the title for a single file only.
int VolumeImage::insertFiles(uint16_t targetCluster, const char* selection, const char* fileTitle,
                             int* inserted) {
    // The buffer may be cut without a terminator; nothing past kInsertSelectionBytes is read.
    const size_t limit = static_cast<size_t>(kInsertSelectionBytes);
    size_t firstLength = strnlen(selection, limit);
    if (firstLength == 0 || firstLength == limit) return kResultOk;
    size_t at = firstLength + 1;
    if (at == limit || selection[at] == '\0')
        return insertHostPath(targetCluster, selection, inserted);

    std::string folder(selection, firstLength);
    int firstFailure = kResultOk;
    while (at < limit && selection[at] != '\0') {
        size_t length = strnlen(selection + at, limit - at);
        if (at + length == limit) break;  // a name cut off by the end of the buffer
        std::string path = hostJoinPath(folder, std::string(selection + at, length));
        int result = insertHostPath(targetCluster, path.c_str(), inserted);
        if (firstFailure == kResultOk) firstFailure = result;
        at += length + 1;
    }
    return firstFailure;
}
