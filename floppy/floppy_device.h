// A floppy drive opened as a raw volume: the few device operations the transfers use. On Windows
// they go to the drive through kernel32; a SimulatedFloppy installed under the drive's name takes
// their place on every host (it is the only drive on hosts other than Windows).
#ifndef TOLVEN_FLOPPY_FLOPPY_DEVICE_H
#define TOLVEN_FLOPPY_FLOPPY_DEVICE_H

#include <cstdint>

class SimulatedFloppy;

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

class FloppyDevice {
public:
    FloppyDevice();
    ~FloppyDevice();  // closes the device if still open
    FloppyDevice(const FloppyDevice&) = delete;
    FloppyDevice& operator=(const FloppyDevice&) = delete;

    // Opens the raw volume of `driveName` ("A:") for reading and writing, shared.
    bool open(const char* driveName);
    bool lock();
    bool unlock();
    bool dismount();
    // Fills up to `capacity` records (at most kMaxMediaRecords). A drive that knows more records
    // than fit fills the list and fails with *moreData set.
    bool queryMediaTypes(MediaGeometry* records, int capacity, bool* moreData);
    // Formats the tracks the request names. The stream position does not move.
    bool formatTracks(const FormatRequest& request);
    // Reads up to `count` bytes at the stream position; *got is how many came (fewer at the end of
    // the medium). False when the read call failed.
    bool read(void* buffer, uint32_t count, uint32_t* got);
    // Writes `count` bytes at the stream position; *written is how many went. False on failure.
    bool write(const void* buffer, uint32_t count, uint32_t* written);
    void close();
    bool isOpen() const;

private:
    bool rawRead(void* buffer, uint32_t count, uint32_t* got);
    bool dropReadAhead();

    intptr_t handle_;
    SimulatedFloppy* simulated_;
    uint64_t position_;        // where the caller stands in the stream
    uint32_t cylinderBytes_;   // read-ahead unit, learnt from the boot sector; 0 = none
    uint8_t* readAhead_;
    uint32_t aheadLength_;     // bytes held, starting at the position where they were read
    uint32_t aheadUsed_;       // bytes of them already handed out
};

// Reading whole cylinders behind the callers' smaller reads (on by default). Tests turn it off
// to compare both ways.
void setFloppyReadAhead(bool enabled);
bool floppyReadAhead();

// Drive discovery for the drive dialog: GetLogicalDriveStringsA and GetDriveTypeA, or the
// simulated drives' roots ("A:\") when any is installed.
uint32_t floppyLogicalDriveStrings(char* buffer, uint32_t size);
uint32_t floppyDriveType(const char* rootPath);

#endif
