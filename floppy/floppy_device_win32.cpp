// Raw floppy volumes through kernel32: "\\.\A:" opened with CreateFileA, the volume and disk
// control codes through DeviceIoControl, synchronous ReadFile and WriteFile.
#include "floppy/raw_volume.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdio>

namespace rawvolume {
namespace {
HANDLE asHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

bool control(intptr_t h, DWORD code) {
    DWORD returned = 0;
    return DeviceIoControl(asHandle(h), code, nullptr, 0, nullptr, 0, &returned, nullptr) != 0;
}
}  // namespace

intptr_t open(const char* driveName) {
    char path[MAX_PATH];
    int n = std::snprintf(path, sizeof path, "\\\\.\\%s", driveName);
    if (n < 0 || n >= static_cast<int>(sizeof path)) return kInvalid;
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalid;
    return reinterpret_cast<intptr_t>(h);
}

bool lock(intptr_t h) { return control(h, FSCTL_LOCK_VOLUME); }
bool unlock(intptr_t h) { return control(h, FSCTL_UNLOCK_VOLUME); }
bool dismount(intptr_t h) { return control(h, FSCTL_DISMOUNT_VOLUME); }

bool queryMediaTypes(intptr_t h, MediaGeometry* records, int capacity, bool* moreData) {
    if (moreData != nullptr) *moreData = false;
    if (capacity < 1) return false;
    if (capacity > kMaxMediaRecords) capacity = kMaxMediaRecords;
    DISK_GEOMETRY list[kMaxMediaRecords];
    ZeroMemory(list, sizeof list);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(asHandle(h), IOCTL_STORAGE_GET_MEDIA_TYPES, nullptr, 0, list,
                              static_cast<DWORD>(capacity * sizeof(DISK_GEOMETRY)), &returned,
                              nullptr);
    DWORD error = ok ? 0 : GetLastError();
    for (int i = 0; i < capacity; ++i) {
        records[i].cylinders = static_cast<uint64_t>(list[i].Cylinders.QuadPart);
        records[i].mediaType = static_cast<uint32_t>(list[i].MediaType);
        records[i].tracksPerCylinder = list[i].TracksPerCylinder;
        records[i].sectorsPerTrack = list[i].SectorsPerTrack;
        records[i].bytesPerSector = list[i].BytesPerSector;
    }
    if (!ok && error == ERROR_MORE_DATA && moreData != nullptr) *moreData = true;
    return ok != 0;
}

bool formatTracks(intptr_t h, const FormatRequest& request) {
    FORMAT_PARAMETERS format;
    format.MediaType = static_cast<MEDIA_TYPE>(request.mediaType);
    format.StartCylinderNumber = request.startCylinder;
    format.EndCylinderNumber = request.endCylinder;
    format.StartHeadNumber = request.startHead;
    format.EndHeadNumber = request.endHead;
    DWORD returned = 0;
    return DeviceIoControl(asHandle(h), IOCTL_DISK_FORMAT_TRACKS, &format, sizeof format, nullptr,
                           0, &returned, nullptr) != 0;
}

bool read(intptr_t h, void* buffer, uint32_t count, uint32_t* got) {
    DWORD n = 0;
    BOOL ok = ReadFile(asHandle(h), buffer, count, &n, nullptr);
    *got = n;
    return ok != 0;
}

bool write(intptr_t h, const void* buffer, uint32_t count, uint32_t* written) {
    DWORD n = 0;
    BOOL ok = WriteFile(asHandle(h), buffer, count, &n, nullptr);
    *written = n;
    return ok != 0;
}

bool seek(intptr_t h, uint64_t position) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(asHandle(h), to, nullptr, FILE_BEGIN) != 0;
}

void close(intptr_t h) { CloseHandle(asHandle(h)); }

uint32_t logicalDriveStrings(char* buffer, uint32_t size) {
    return GetLogicalDriveStringsA(size, buffer);
}

uint32_t driveType(const char* rootPath) { return GetDriveTypeA(rootPath); }
}  // namespace rawvolume
