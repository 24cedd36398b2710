// The file name the boot sector and boot code exports propose: the image's display name with
// everything after its last "." replaced by "bin" ("disk.img" gives "disk.bin", "disk" gives
// "diskbin").
#ifndef TOLVEN_UI_BOOT_FILE_NAME_H
#define TOLVEN_UI_BOOT_FILE_NAME_H

#include <cstddef>
#include <cstring>

// Writes the proposal into `out` (`outSize` bytes, at least 4). A name too long for `out` loses
// the end of its stem rather than the "bin", so the proposal always ends as a boot file's does.
inline void proposeBootFileName(const char* imageName, char* out, size_t outSize) {
    const char* lastDot = std::strrchr(imageName, '.');
    size_t stem = lastDot != nullptr ? static_cast<size_t>(lastDot - imageName) + 1
                                     : std::strlen(imageName);
    if (stem > outSize - 4) stem = outSize - 4;
    std::memcpy(out, imageName, stem);
    std::memcpy(out + stem, "bin", 4);
}

#endif
