// Raw floppy volumes through kernel32: "\\.\A:" opened with CreateFileA, the volume and disk
// control codes through DeviceIoControl, synchronous ReadFile and WriteFile.
#include "platform/floppy_drive.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdio>

namespace {
HANDLE asHandle(void* drive) { return static_cast<HANDLE>(drive); }

bool control(void* drive, DWORD code) {
    DWORD returned = 0;
    return DeviceIoControl(asHandle(drive), code, nullptr, 0, nullptr, 0, &returned, nullptr) != 0;
}

uint32_t logicalDriveStrings(char* buffer, uint32_t size) {
    return GetLogicalDriveStringsA(size, buffer);
}

uint32_t driveType(const char* rootPath) { return GetDriveTypeA(rootPath); }

void* open(const char* driveName) {
    char path[MAX_PATH];
    int n = std::snprintf(path, sizeof path, "\\\\.\\%s", driveName);
    if (n < 0 || n >= static_cast<int>(sizeof path)) return nullptr;
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool lock(void* drive) { return control(drive, FSCTL_LOCK_VOLUME); }
bool unlock(void* drive) { return control(drive, FSCTL_UNLOCK_VOLUME); }
bool dismount(void* drive) { return control(drive, FSCTL_DISMOUNT_VOLUME); }

bool queryMediaTypes(void* drive, MediaGeometry* records, int capacity, bool* moreData) {
    if (moreData != nullptr) *moreData = false;
    if (capacity < 1) return false;
    if (capacity > kMaxMediaRecords) capacity = kMaxMediaRecords;
    DISK_GEOMETRY list[kMaxMediaRecords];
    ZeroMemory(list, sizeof list);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(asHandle(drive), IOCTL_STORAGE_GET_MEDIA_TYPES, nullptr, 0, list,
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

bool formatTracks(void* drive, const FormatRequest& request) {
    FORMAT_PARAMETERS format;
    format.MediaType = static_cast<MEDIA_TYPE>(request.mediaType);
    format.StartCylinderNumber = request.startCylinder;
    format.EndCylinderNumber = request.endCylinder;
    format.StartHeadNumber = request.startHead;
    format.EndHeadNumber = request.endHead;
    DWORD returned = 0;
    return DeviceIoControl(asHandle(drive), IOCTL_DISK_FORMAT_TRACKS, &format, sizeof format,
                           nullptr, 0, &returned, nullptr) != 0;
}

bool read(void* drive, void* buffer, uint32_t count, uint32_t* got) {
    DWORD n = 0;
    BOOL ok = ReadFile(asHandle(drive), buffer, count, &n, nullptr);
    *got = n;
    return ok != 0;
}

bool write(void* drive, const void* buffer, uint32_t count, uint32_t* written) {
    DWORD n = 0;
    BOOL ok = WriteFile(asHandle(drive), buffer, count, &n, nullptr);
    *written = n;
    return ok != 0;
}

bool seek(void* drive, uint64_t position) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(asHandle(drive), to, nullptr, FILE_BEGIN) != 0;
}

void close(void* drive) { CloseHandle(asHandle(drive)); }

const FloppyBackend kRawVolumes = {logicalDriveStrings, driveType,    open,  lock,  unlock,
                                   dismount,            queryMediaTypes, formatTracks, read,
                                   write,               seek,         close, nullptr};
}  // namespace

const FloppyBackend& rawVolumeBackend() { return kRawVolumes; }
