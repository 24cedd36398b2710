// Hosts other than Windows have no raw floppy volumes here: the simulated drive is the only one.
#include "floppy/raw_volume.h"

namespace rawvolume {
intptr_t open(const char*) { return kInvalid; }
bool lock(intptr_t) { return false; }
bool unlock(intptr_t) { return false; }
bool dismount(intptr_t) { return false; }
bool queryMediaTypes(intptr_t, MediaGeometry*, int, bool* moreData) {
    if (moreData != nullptr) *moreData = false;
    return false;
}
bool formatTracks(intptr_t, const FormatRequest&) { return false; }
bool read(intptr_t, void*, uint32_t, uint32_t* got) {
    *got = 0;
    return false;
}
bool write(intptr_t, const void*, uint32_t, uint32_t* written) {
    *written = 0;
    return false;
}
bool seek(intptr_t, uint64_t) { return false; }
void close(intptr_t) {}
uint32_t logicalDriveStrings(char* buffer, uint32_t size) {
    if (size >= 1) buffer[0] = '\0';
    return 0;
}
uint32_t driveType(const char*) { return 0; }
}  // namespace rawvolume
