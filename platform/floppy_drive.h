// Floppy drives as raw volumes: the records and requests of the few device calls the transfers
// use, and the operations table behind them. The host's table goes to its raw volumes (kernel32
// on Windows, floppy_drive_win32.cpp; elsewhere there are none and every call fails,
// floppy_drive_posix.cpp). FloppyDevice picks a table when it opens a drive.
#ifndef TOLVEN_PLATFORM_FLOPPY_DRIVE_H
#define TOLVEN_PLATFORM_FLOPPY_DRIVE_H

#include <cstdint>

// MEDIA_TYPE values as Windows numbers them.
enum FloppyMediaType : uint32_t {
    kMediaUnknown = 0,
    kMediaF5_1Pt2_512 = 1,
    kMediaF3_1Pt44_512 = 2,
    kMediaF3_2Pt88_512 = 3,
    kMediaF3_20Pt8_512 = 4,
    kMediaF3_720_512 = 5,
    kMediaF5_360_512 = 6,
    kMediaF5_320_512 = 7,
    kMediaF5_320_1024 = 8,
    kMediaF5_180_512 = 9,
    kMediaF5_160_512 = 10,
};

// One DISK_GEOMETRY record of the media type query.
struct MediaGeometry {
    uint64_t cylinders;
    uint32_t mediaType;
    uint32_t tracksPerCylinder;
    uint32_t sectorsPerTrack;
    uint32_t bytesPerSector;
};

const int kMaxMediaRecords = 20;  // the transfers' 480-byte list holds 20 records of 24 bytes

const int kMaxFormatSectors = 64;  // longest order a request holds; longer tracks go in order

// A format request: the tracks of cylinders start..end, heads start..end. With sectorsPerTrack
// set, each track gets the sectors numbered in sectorNumbers (1-based) in that order from the
// index hole (FORMAT_EX_PARAMETERS); with 0, the driver's own layout (FORMAT_PARAMETERS).
struct FormatRequest {
    uint32_t mediaType;
    uint32_t startCylinder;
    uint32_t endCylinder;
    uint32_t startHead;
    uint32_t endHead;
    uint32_t sectorsPerTrack;
    uint16_t sectorNumbers[kMaxFormatSectors];
};

// How a format call went. A drive may refuse to be told the sector order (USB floppy drives
// often do) yet format with its own; some USB drives refuse to format at all. A disk whose
// write-protect tab is open fails every format, whichever drive it is in.
enum FormatOutcome {
    kFormatDone,
    kFormatFailed,        // the disk could not be formatted there (a bad track, no disk)
    kFormatOrderRefused,  // only for a request with a sector order
    kFormatRefused,       // the drive takes no format request at all
    kFormatWriteProtected
};

// GetDriveTypeA's answer for a removable drive.
const uint32_t kDriveRemovable = 2;

// How a drive is opened: for its queries only (no access rights: no disk and no administrative
// rights needed, and Windows never asks for a disk), or to read and write the disk.
enum FloppyAccess { kFloppyQueryAccess, kFloppyReadWriteAccess };

// Why a drive did not open.
enum FloppyOpenError { kOpenFailed, kOpenNoDisk, kOpenDenied };

// The two media type queries. Internal drives answer both; the USB floppy driver answers only the
// disk class's (IOCTL_DISK_GET_MEDIA_TYPES), so it is asked first and the storage class's
// (IOCTL_STORAGE_GET_MEDIA_TYPES) only when it goes unanswered.
enum MediaQuery { kDiskClassQuery, kStorageClassQuery };

// The disk in a drive as the drive geometry query finds it.
enum DiskPresence { kDiskFound, kDiskAbsent, kDiskUnrecognised };

// The calls of one kind of drive. `drive` is what `open` returned.
struct FloppyBackend {
    // Drive discovery, answering as GetLogicalDriveStringsA and GetDriveTypeA do.
    uint32_t (*logicalDriveStrings)(char* buffer, uint32_t size);
    uint32_t (*driveType)(const char* rootPath);
    // Opens drive `driveName` ("A:") shared, with `access`; null with *error set when it cannot.
    void* (*open)(const char* driveName, FloppyAccess access, FloppyOpenError* error);
    bool (*lock)(void* drive);
    bool (*unlock)(void* drive);
    bool (*dismount)(void* drive);
    // Lets raw reads and writes of this handle go past the end of the volume the file system has
    // mounted (or last had mounted: a dismount does not lift that limit).
    bool (*allowExtendedAccess)(void* drive);
    // Whether the disk's write-protect tab is open; false also when the drive does not say.
    bool (*writeProtected)(void* drive);
    // Waits before the next try of a call that another program made fail.
    void (*pause)(void* drive, uint32_t milliseconds);
    // Fills up to `capacity` records; a drive that knows more fills them and fails with
    // *moreData set.
    bool (*queryMediaTypes)(void* drive, MediaQuery query, MediaGeometry* records, int capacity,
                            bool* moreData);
    // The geometry of the disk in the drive (kDiskFound), or why there is none.
    DiskPresence (*diskGeometry)(void* drive, MediaGeometry* geometry);
    FormatOutcome (*formatTracks)(void* drive, const FormatRequest& request);
    bool (*read)(void* drive, void* buffer, uint32_t count, uint32_t* got);
    bool (*write)(void* drive, const void* buffer, uint32_t count, uint32_t* written);
    // Moves the file pointer back where the caller stands after bytes were read ahead.
    bool (*seek)(void* drive, uint64_t position);
    void (*close)(void* drive);
    // Whether reads may be served from whole cylinders read ahead and writes gathered a cylinder
    // a call; null means yes. Test drives answer no to compare both ways.
    bool (*readAhead)(void* drive);
};

// The host's raw volumes.
const FloppyBackend& rawVolumeBackend();

// How the raw volumes read Windows' answers (and fill in its format request), in portable code of
// their own so that it is tested on every host. The error numbers are Windows' own.
namespace win32_answer {
const uint32_t kInvalidFunction = 1;       // ERROR_INVALID_FUNCTION
const uint32_t kAccessDenied = 5;          // ERROR_ACCESS_DENIED
const uint32_t kWriteProtect = 19;         // ERROR_WRITE_PROTECT
const uint32_t kNotReady = 21;             // ERROR_NOT_READY: no disk in the drive
const uint32_t kNotSupported = 50;         // ERROR_NOT_SUPPORTED
const uint32_t kInvalidParameter = 87;     // ERROR_INVALID_PARAMETER
const uint32_t kMoreData = 234;            // ERROR_MORE_DATA
const uint32_t kNoMediaInDrive = 1112;     // ERROR_NO_MEDIA_IN_DRIVE
const uint32_t kUnrecognizedMedia = 1785;  // ERROR_UNRECOGNIZED_MEDIA: not formatted, or unknown
const uint32_t kDiskGeometryBytes = 24;    // one DISK_GEOMETRY record

// `count` DISK_GEOMETRY records as the media type and drive geometry queries return them.
void decodeGeometries(const uint8_t* bytes, int count, MediaGeometry* records);
// Why CreateFileA failed.
FloppyOpenError openError(uint32_t error);
// Whether a media type query counts as answered: it worked, or the list was full (*moreData).
bool mediaQueryAnswered(bool ok, uint32_t error, bool* moreData);
// The drive geometry query's answer about the disk; a medium of an unknown type has no geometry
// to write to.
DiskPresence diskPresence(bool ok, uint32_t error, uint32_t mediaType);
// Whether the medium check says the drive is empty.
bool noDisk(uint32_t error);
// What a failed format call's error says: the drive refused the request itself (given a sector
// order: the order, and it then formats with its own), the disk is write-protected, or the
// format failed on the disk.
FormatOutcome formatFailure(uint32_t error, bool ordered);
// The gap between sectors a format of `mediaType` lays down, the one Windows' floppy driver
// formats that medium with (not the shorter gap of reads and writes); 0 for a medium it lists
// none for, which is formatted in the driver's own layout.
uint16_t formatGapLength(uint32_t mediaType);
// How many sectors later Windows' floppy driver starts each next track of one read or write call
// than it started the one before (its skew delta: 3 on 1.44 MB, 2 on 720 KB, 6 on 2.88 MB, none
// on 5.25-inch media). Each track is read from there to its end and then from its start, so on a
// disk laid out in order the head has that many sectors' time to switch or step, and each track's
// two commands meet at the index, where the gap is longest. A call's first track starts where the
// call does.
uint32_t driverTrackStagger(uint32_t mediaType);
}  // namespace win32_answer

#endif
