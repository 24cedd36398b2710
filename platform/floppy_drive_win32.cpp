// Raw floppy volumes through kernel32: "\\.\A:" opened with CreateFileA, the volume and disk
// control codes through DeviceIoControl, synchronous ReadFile and WriteFile. Windows' answers are
// read by the portable win32_answer functions (floppy_drive_common.cpp).
#include "platform/floppy_drive.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>

namespace {
HANDLE asHandle(void* drive) { return static_cast<HANDLE>(drive); }

// Windows' own "There is no disk in the drive" box must never come up from a probe or a transfer
// (on the worker thread it would even hide behind the dialog): this thread's calls fail instead.
class NoCriticalErrorBox {
public:
    NoCriticalErrorBox() : previous_(0) { SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_); }
    ~NoCriticalErrorBox() { SetThreadErrorMode(previous_, nullptr); }
    NoCriticalErrorBox(const NoCriticalErrorBox&) = delete;
    NoCriticalErrorBox& operator=(const NoCriticalErrorBox&) = delete;

private:
    DWORD previous_;
};

bool control(void* drive, DWORD code) {
    NoCriticalErrorBox quiet;
    DWORD returned = 0;
    return DeviceIoControl(asHandle(drive), code, nullptr, 0, nullptr, 0, &returned, nullptr) != 0;
}

uint32_t logicalDriveStrings(char* buffer, uint32_t size) {
    return GetLogicalDriveStringsA(size, buffer);
}

uint32_t driveType(const char* rootPath) { return GetDriveTypeA(rootPath); }

// Queries need no access rights, and with none a drive opens without a disk and without
// administrative rights. A volume opened for reading and writing may still open when the drive
// is empty; the medium check then tells so, where a lock or a read would only fail.
void* open(const char* driveName, FloppyAccess access, FloppyOpenError* error) {
    NoCriticalErrorBox quiet;
    *error = kOpenFailed;
    char path[MAX_PATH];
    int n = std::snprintf(path, sizeof path, "\\\\.\\%s", driveName);
    if (n < 0 || n >= static_cast<int>(sizeof path)) return nullptr;
    bool readWrite = access == kFloppyReadWriteAccess;
    HANDLE h = CreateFileA(path, readWrite ? GENERIC_READ | GENERIC_WRITE : 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *error = win32_answer::openError(GetLastError());
        return nullptr;
    }
    DWORD returned = 0;
    if (readWrite &&
        !DeviceIoControl(h, IOCTL_STORAGE_CHECK_VERIFY2, nullptr, 0, nullptr, 0, &returned,
                         nullptr) &&
        win32_answer::noDisk(GetLastError())) {
        CloseHandle(h);
        *error = kOpenNoDisk;
        return nullptr;
    }
    return h;
}

bool lock(void* drive) { return control(drive, FSCTL_LOCK_VOLUME); }
bool unlock(void* drive) { return control(drive, FSCTL_UNLOCK_VOLUME); }
bool dismount(void* drive) { return control(drive, FSCTL_DISMOUNT_VOLUME); }

// The FAT driver clips a volume handle's reads and writes to the size of the volume it mounted,
// and keeps doing so after a dismount: a disk last formatted 720 KB would take only 720 KB of a
// 1.44 MB image, each short write reported as a success.
bool allowExtendedAccess(void* drive) { return control(drive, FSCTL_ALLOW_EXTENDED_DASD_IO); }

// The floppy driver senses the write-protect tab here, as it does before every write.
bool writeProtected(void* drive) {
    NoCriticalErrorBox quiet;
    DWORD returned = 0;
    return DeviceIoControl(asHandle(drive), IOCTL_DISK_IS_WRITABLE, nullptr, 0, nullptr, 0,
                           &returned, nullptr) == 0 &&
           GetLastError() == win32_answer::kWriteProtect;
}

void pauseFor(void*, uint32_t milliseconds) { Sleep(milliseconds); }

bool queryMediaTypes(void* drive, MediaQuery query, MediaGeometry* records, int capacity,
                     bool* moreData) {
    NoCriticalErrorBox quiet;
    if (moreData != nullptr) *moreData = false;
    if (capacity < 1) return false;
    if (capacity > kMaxMediaRecords) capacity = kMaxMediaRecords;
    uint8_t answer[kMaxMediaRecords * win32_answer::kDiskGeometryBytes];
    ZeroMemory(answer, sizeof answer);
    DWORD code = query == kDiskClassQuery ? IOCTL_DISK_GET_MEDIA_TYPES
                                          : IOCTL_STORAGE_GET_MEDIA_TYPES;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(asHandle(drive), code, nullptr, 0, answer,
                              static_cast<DWORD>(capacity) * win32_answer::kDiskGeometryBytes,
                              &returned, nullptr);
    DWORD error = ok ? 0 : GetLastError();
    win32_answer::decodeGeometries(answer, capacity, records);
    return win32_answer::mediaQueryAnswered(ok != 0, error, moreData);
}

DiskPresence diskGeometry(void* drive, MediaGeometry* geometry) {
    NoCriticalErrorBox quiet;
    uint8_t answer[win32_answer::kDiskGeometryBytes];
    ZeroMemory(answer, sizeof answer);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(asHandle(drive), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, answer,
                              sizeof answer, &returned, nullptr);
    DWORD error = ok ? 0 : GetLastError();
    win32_answer::decodeGeometries(answer, 1, geometry);
    return win32_answer::diskPresence(ok != 0, error, geometry->mediaType);
}

FormatOutcome formatInOrder(void* drive, const FormatRequest& request) {
    FORMAT_PARAMETERS format;
    format.MediaType = static_cast<MEDIA_TYPE>(request.mediaType);
    format.StartCylinderNumber = request.startCylinder;
    format.EndCylinderNumber = request.endCylinder;
    format.StartHeadNumber = request.startHead;
    format.EndHeadNumber = request.endHead;
    DWORD returned = 0;
    if (DeviceIoControl(asHandle(drive), IOCTL_DISK_FORMAT_TRACKS, &format, sizeof format, nullptr,
                        0, &returned, nullptr) != 0)
        return kFormatDone;
    return win32_answer::formatFailure(GetLastError(), false);
}

// FORMAT_EX_PARAMETERS ends in its sector numbers, one WORD each, so the record is built in a
// buffer long enough for them.
FormatOutcome formatWithOrder(void* drive, const FormatRequest& request, uint16_t gap) {
    const size_t numbersAt = offsetof(FORMAT_EX_PARAMETERS, SectorNumber);
    union {
        FORMAT_EX_PARAMETERS fields;
        BYTE bytes[sizeof(FORMAT_EX_PARAMETERS) + kMaxFormatSectors * sizeof(WORD)];
    } format;
    ZeroMemory(&format, sizeof format);
    format.fields.MediaType = static_cast<MEDIA_TYPE>(request.mediaType);
    format.fields.StartCylinderNumber = request.startCylinder;
    format.fields.EndCylinderNumber = request.endCylinder;
    format.fields.StartHeadNumber = request.startHead;
    format.fields.EndHeadNumber = request.endHead;
    format.fields.FormatGapLength = gap;
    format.fields.SectorsPerTrack = static_cast<WORD>(request.sectorsPerTrack);
    size_t numbers = request.sectorsPerTrack * sizeof(WORD);
    CopyMemory(format.bytes + numbersAt, request.sectorNumbers, numbers);
    DWORD size = static_cast<DWORD>(std::max(numbersAt + numbers, sizeof format.fields));
    DWORD returned = 0;
    if (DeviceIoControl(asHandle(drive), IOCTL_DISK_FORMAT_TRACKS_EX, &format, size, nullptr, 0,
                        &returned, nullptr) != 0)
        return kFormatDone;
    return win32_answer::formatFailure(GetLastError(), true);
}

FormatOutcome formatTracks(void* drive, const FormatRequest& request) {
    NoCriticalErrorBox quiet;
    uint16_t gap = win32_answer::formatGapLength(request.mediaType);
    if (request.sectorsPerTrack == 0 || request.sectorsPerTrack > kMaxFormatSectors || gap == 0)
        return formatInOrder(drive, request);
    return formatWithOrder(drive, request, gap);
}

bool read(void* drive, void* buffer, uint32_t count, uint32_t* got) {
    NoCriticalErrorBox quiet;
    DWORD n = 0;
    BOOL ok = ReadFile(asHandle(drive), buffer, count, &n, nullptr);
    *got = n;
    return ok != 0;
}

// The count written is the caller's to check: a volume still mounted stops raw writes at its
// file system's size and reports success.
bool write(void* drive, const void* buffer, uint32_t count, uint32_t* written) {
    NoCriticalErrorBox quiet;
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

const FloppyBackend kRawVolumes = {logicalDriveStrings,
                                   driveType,
                                   open,
                                   lock,
                                   unlock,
                                   dismount,
                                   allowExtendedAccess,
                                   writeProtected,
                                   pauseFor,
                                   queryMediaTypes,
                                   diskGeometry,
                                   formatTracks,
                                   read,
                                   write,
                                   seek,
                                   close,
                                   nullptr};
}  // namespace

const FloppyBackend& rawVolumeBackend() { return kRawVolumes; }
