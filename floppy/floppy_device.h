// A floppy drive opened as a raw volume: the few device operations the transfers use, with
// cylinder read-ahead and gathered cylinder writes on top. Each device goes through one
// operations table chosen when it opens: the host's raw volumes, or a backend installed in their
// place (tests and benchmarks install simulated drives this way on every host).
#ifndef TOLVEN_FLOPPY_FLOPPY_DEVICE_H
#define TOLVEN_FLOPPY_FLOPPY_DEVICE_H

#include <atomic>
#include <cstdint>

#include "platform/floppy_drive.h"

class FloppyDevice {
public:
    // Windows' own example of ejecting a volume tries its lock 20 times, half a second apart.
    static constexpr int kLockTries = 20;
    static constexpr uint32_t kLockPauseMilliseconds = 500;

    FloppyDevice();
    ~FloppyDevice();  // closes the device if still open
    FloppyDevice(const FloppyDevice&) = delete;
    FloppyDevice& operator=(const FloppyDevice&) = delete;

    // Opens the raw volume of `driveName` ("A:") shared, for reading and writing or for its
    // queries only (which need neither a disk nor administrative rights). Opened for reading and
    // writing, the whole disk is reached whatever volume the file system mounted on it. After a
    // failure, openError says why.
    bool open(const char* driveName, FloppyAccess access = kFloppyReadWriteAccess);
    FloppyOpenError openError() const { return openError_; }
    // Locks the volume, trying again for up to kLockTries x kLockPauseMilliseconds while another
    // program holds it open; gives up early once `keepRunning` is 0. False when it stayed held.
    bool lock(const std::atomic<uint8_t>& keepRunning);
    bool unlock();
    bool dismount();
    bool writeProtected();
    // Fills up to `capacity` records (at most kMaxMediaRecords), from the disk class's query or,
    // when the drive leaves that unanswered, the storage class's. A drive that knows more records
    // than fit fills the list and fails with *moreData set.
    bool queryMediaTypes(MediaGeometry* records, int capacity, bool* moreData);
    // The geometry of the disk in the drive, or why there is none.
    DiskPresence diskGeometry(MediaGeometry* geometry);
    // Formats the tracks the request names. The stream position does not move. A drive that
    // refuses the request's sector order formats them in its own layout, as does every later
    // request until the device is opened again; kFormatOrderRefused never comes back.
    FormatOutcome formatTracks(const FormatRequest& request);
    // Reads up to `count` bytes at the stream position; *got is how many came (fewer at the end of
    // the medium). False when the read call failed.
    bool read(void* buffer, uint32_t count, uint32_t* got);
    // Writes `count` bytes at the stream position; *written is how many went. False on failure.
    bool write(const void* buffer, uint32_t count, uint32_t* written);
    // Writes a cylinder a call: the bytes from the stream position to the end of its cylinder
    // (*room of them) are gathered in the buffer returned, then written by writeGathered. Null
    // with *room 0 while writes go one call each: no geometry told, the backend refuses, or a
    // gathered write failed since the device opened.
    uint8_t* gatherBuffer(uint32_t* room);
    // Writes the first `count` gathered bytes in one call. False when the call failed or came
    // short: the device then stands where it stood before (or, when the drive cannot go back
    // there, fails every later transfer), so the caller writes the same bytes again in its own
    // units and the failure is found in the very unit that holds it.
    bool writeGathered(uint32_t count);
    // Moves the stream position to byte `position`.
    bool seek(uint64_t position);
    void close();
    bool isOpen() const;

    // The disk's geometry, from its boot sector, as the transfer knows it: a floppy's (512-byte
    // sectors, 1 to 36 per track, 1 or 2 heads) sets the read-ahead unit to one cylinder; any
    // other geometry turns the read-ahead off. Until told, the device reads only what is asked.
    // The same unit bounds gathered writes. A backend may refuse both for its drives (tests
    // compare both ways).
    void setGeometry(uint32_t bytesPerSector, uint32_t sectorsPerTrack, uint32_t heads);

private:
    bool rawRead(void* buffer, uint32_t count, uint32_t* got);
    bool dropReadAhead();
    uint8_t* cylinderBuffer();

    const FloppyBackend* backend_;  // chosen by open; null while closed
    void* drive_;
    FloppyOpenError openError_;
    bool readAheadAllowed_;    // the backend's answer for this drive, for reads and writes
    bool gatherRefused_;       // a gathered write failed: write one call each from then on
    bool positionLost_;        // the drive could not go back after a gathered write failed
    bool orderRefused_;        // the drive formats only in its own layout
    uint64_t position_;        // where the caller stands in the stream
    uint32_t cylinderBytes_;   // read-ahead unit; 0 = none
    uint64_t failedCylinder_;  // the cylinder whose read-ahead failed: read plainly from then on
    uint8_t* readAhead_;       // a cylinder read ahead, or gathered for writing
    uint32_t aheadLength_;     // bytes held, starting at the position where they were read
    uint32_t aheadUsed_;       // bytes of them already handed out
};

// Puts `backend` in place of the host's raw volumes for every device opened afterwards and for
// drive discovery; null puts the raw volumes back. The backend must outlive its installation.
void installFloppyBackend(const FloppyBackend* backend);

// Drive discovery for the drive dialog, through the installed backend or the raw volumes.
uint32_t floppyLogicalDriveStrings(char* buffer, uint32_t size);
uint32_t floppyDriveType(const char* rootPath);

#endif
