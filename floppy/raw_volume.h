// The host's raw volume calls behind FloppyDevice: kernel32 on Windows (floppy_device_win32.cpp);
// elsewhere there is no raw floppy access and every call fails (floppy_device_posix.cpp).
#ifndef TOLVEN_FLOPPY_RAW_VOLUME_H
#define TOLVEN_FLOPPY_RAW_VOLUME_H

#include <cstdint>

#include "floppy/floppy_device.h"

namespace rawvolume {
const intptr_t kInvalid = -1;

intptr_t open(const char* driveName);
bool lock(intptr_t handle);
bool unlock(intptr_t handle);
bool dismount(intptr_t handle);
bool queryMediaTypes(intptr_t handle, MediaGeometry* records, int capacity, bool* moreData);
bool formatTracks(intptr_t handle, const FormatRequest& request);
bool read(intptr_t handle, void* buffer, uint32_t count, uint32_t* got);
bool write(intptr_t handle, const void* buffer, uint32_t count, uint32_t* written);
// Moves the file pointer back where the caller stands after bytes were read ahead.
bool seek(intptr_t handle, uint64_t position);
void close(intptr_t handle);
uint32_t logicalDriveStrings(char* buffer, uint32_t size);
uint32_t driveType(const char* rootPath);
}  // namespace rawvolume

#endif
