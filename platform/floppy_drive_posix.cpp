// Hosts other than Windows have no raw floppy volumes here: discovery finds none and no drive
// opens.
#include "platform/floppy_drive.h"

namespace {
uint32_t noDriveStrings(char* buffer, uint32_t size) {
    if (size >= 1) buffer[0] = '\0';
    return 0;
}
uint32_t noDriveType(const char*) { return 0; }
void* noDrive(const char*, FloppyAccess, FloppyOpenError* error) {
    *error = kOpenFailed;
    return nullptr;
}
bool fail(void*) { return false; }
void noPause(void*, uint32_t) {}
bool failQuery(void*, MediaQuery, MediaGeometry*, int, bool* moreData) {
    if (moreData != nullptr) *moreData = false;
    return false;
}
DiskPresence noDisk(void*, MediaGeometry*) { return kDiskAbsent; }
FormatOutcome failFormat(void*, const FormatRequest&) { return kFormatFailed; }
bool failRead(void*, void*, uint32_t, uint32_t* got) {
    *got = 0;
    return false;
}
bool failWrite(void*, const void*, uint32_t, uint32_t* written) {
    *written = 0;
    return false;
}
bool failSeek(void*, uint64_t) { return false; }
void closeNothing(void*) {}

const FloppyBackend kNoVolumes = {noDriveStrings, noDriveType, noDrive,  fail,      fail,
                                  fail,           fail,        fail,     noPause,   failQuery,
                                  noDisk,         failFormat,  failRead, failWrite, failSeek,
                                  closeNothing,   nullptr};
}  // namespace

const FloppyBackend& rawVolumeBackend() { return kNoVolumes; }
