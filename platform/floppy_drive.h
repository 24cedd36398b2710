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

// A FORMAT_PARAMETERS request: the tracks of cylinders start..end, heads start..end.
struct FormatRequest {
    uint32_t mediaType;
    uint32_t startCylinder;
    uint32_t endCylinder;
    uint32_t startHead;
    uint32_t endHead;
};

// GetDriveTypeA's answer for a removable drive.
const uint32_t kDriveRemovable = 2;

// The calls of one kind of drive. `drive` is what `open` returned.
struct FloppyBackend {
    // Drive discovery, answering as GetLogicalDriveStringsA and GetDriveTypeA do.
    uint32_t (*logicalDriveStrings)(char* buffer, uint32_t size);
    uint32_t (*driveType)(const char* rootPath);
    // Opens drive `driveName` ("A:") for reading and writing, shared; null when it cannot.
    void* (*open)(const char* driveName);
    bool (*lock)(void* drive);
    bool (*unlock)(void* drive);
    bool (*dismount)(void* drive);
    // Fills up to `capacity` records; a drive that knows more fills them and fails with
    // *moreData set.
    bool (*queryMediaTypes)(void* drive, MediaGeometry* records, int capacity, bool* moreData);
    bool (*formatTracks)(void* drive, const FormatRequest& request);
    bool (*read)(void* drive, void* buffer, uint32_t count, uint32_t* got);
    bool (*write)(void* drive, const void* buffer, uint32_t count, uint32_t* written);
    // Moves the file pointer back where the caller stands after bytes were read ahead.
    bool (*seek)(void* drive, uint64_t position);
    void (*close)(void* drive);
    // Whether reads may be served from whole cylinders read ahead; null means yes. Test drives
    // answer no to compare both ways.
    bool (*readAhead)(void* drive);
};

// The host's raw volumes.
const FloppyBackend& rawVolumeBackend();

#endif
