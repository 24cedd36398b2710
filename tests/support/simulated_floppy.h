// A floppy drive in memory, for tests and benchmarks on every host; the shipped programs never
// contain it. Installed under a drive name, it takes the place of the real drive of that name for
// every FloppyDevice opened afterwards (and of all real drives in drive discovery): while any is
// installed, the simulated drives are the device's backend. It keeps a disk of whole cylinders
// that are formatted one by one, one stream position, a log of the calls it received, faults to
// inject, optionally a model of how long an internal drive under Windows' floppy driver would take
// for those calls (FloppyTiming), and optionally a delay per call on a test's fake clock. Switches
// make it behave as the kinds of real drive do (see "how the drive behaves").
#ifndef TOLVEN_TESTS_SUPPORT_SIMULATED_FLOPPY_H
#define TOLVEN_TESTS_SUPPORT_SIMULATED_FLOPPY_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "floppy/floppy_device.h"

class FakeClock;

enum class FloppyCall : uint8_t {
    Open,
    Lock,
    Unlock,
    Dismount,
    QueryMedia,
    Format,
    Read,
    Write,
    Seek,
    Close,
    DiskGeometry,
    AllowExtendedAccess,
    WritableQuery,
    Pause
};
const int kFloppyCallKinds = 14;

// The timing model, in nanoseconds: an internal drive driven by Windows' floppy driver. Each track
// holds its sectors with the gaps a format lays down (see sectorStart), the data moving at the
// medium's rate (250, 500 or 1000 kbit/s). A command catches a sector only when it is issued
// before the sector's ID begins; once a sector has passed, it comes round a turn later. Left out:
// the motor's start, the recalibration when a disk is first read, the ID read after an explicit
// seek (with implied seeks, the controllers' default, there is none), retries.
struct FloppyTiming {
    int64_t rotation = 200000000;  // 300 rpm
    int64_t step = 6000000;        // the rate Windows' floppy driver programs for 3.5-inch media
    int64_t settle = 15000000;     // its head settle time, after every seek
    // From the end of one call to the next call's first command reaching the controller: the file
    // system, the floppy driver's thread, its start-drive checks, the DMA set-up. Assumed, no
    // drive measured: longer than the gap after a 1.44 MB sector (1.6 ms), shorter than after a
    // 720 KB one (2.6 ms).
    int64_t callOverhead = 2000000;
    // From the end of one controller command to the next of the same call (interrupt, result,
    // next command). Assumed too.
    int64_t commandOverhead = 500000;
    // Within one call each track starts the driver's stagger further on (see
    // win32_answer::driverTrackStagger); false: every track from its first sector asked for.
    bool driverStagger = true;
    // The layout of tracks not formatted since the disk went in (a disk written without
    // formatting, or read): true, the sector skew the Linux floppy driver formats with: with S
    // sectors a track, the first sector of head h on cylinder c passes the index
    // (c x (2k + 3) + h x k) mod S sector times late, k = (S + 5) / 6, so that after a head
    // switch or a step the head does not wait a whole turn for it. False: every track starts at
    // the index. A track formatted here has the layout its format gave it.
    bool skew = true;
};

class SimulatedFloppy {
public:
    explicit SimulatedFloppy(const char* driveName = "A:");
    ~SimulatedFloppy();  // uninstalls
    SimulatedFloppy(const SimulatedFloppy&) = delete;
    SimulatedFloppy& operator=(const SimulatedFloppy&) = delete;

    // --- the drive ---------------------------------------------------------------------------
    // Up to 8 drives may be installed at once; false when the table is full.
    bool install();
    void uninstall();
    const char* driveName() const { return driveName_; }
    void setDriveType(uint32_t type) { driveType_ = type; }  // kDriveRemovable by default
    uint32_t driveType() const { return driveType_; }
    // Whether devices opened on this drive read whole cylinders ahead (the default).
    void setReadAhead(bool enabled) { readAhead_ = enabled; }
    bool readAhead() const { return readAhead_; }
    // The records the media type query reports, in order (any number; the query fills what fits).
    void setMediaList(const MediaGeometry* records, int count);
    // A 3.5-inch high density drive: 1.44 MB, then 720 KB.
    void setMediaList35();
    // setMediaList35, then 21 sectors a track on 80 and on 82 cylinders (a driver of its own).
    void setMediaList21();

    // --- how the drive behaves ---------------------------------------------------------------
    // By default an internal drive: it answers both media type queries, formats tracks, opens
    // with any rights and has no file system mounted on its disk.
    // A USB floppy drive: the USB floppy driver answers only the disk class's media type query,
    // the drive reports its first media type as the geometry of a disk never formatted, and some
    // models refuse to format a track (FORMAT UNIT per track).
    void behaveAsUsbDrive(bool refusesFormat) {
        answersStorageQuery_ = false;
        reportsGeometryOfBlankDisk_ = true;
        refusesFormat_ = refusesFormat;
    }
    // Refuses formats given a sector order, as USB floppy drives often do, and formats only in
    // order.
    void setRefusesFormatOrder(bool refuses) { refusesFormatOrder_ = refuses; }
    void setMediaQueriesAnswered(bool diskClass, bool storageClass) {
        answersDiskQuery_ = diskClass;
        answersStorageQuery_ = storageClass;
    }
    // The file system mounts the FAT volume of the disk's boot sector when the drive is opened:
    // raw reads and writes of that handle stop at the volume's size and report success with the
    // shorter count, also after a dismount, unless extended access was asked for on the handle.
    void setVolumeMounted(bool mounted) { mountsVolume_ = mounted; }
    // Another program holds the volume open (an Explorer window on the drive): every lock fails
    // until the device's pauses between tries add up to `milliseconds`; kHeldForever never lets
    // go.
    static constexpr uint32_t kHeldForever = 0xFFFFFFFFu;
    void holdVolumeOpen(uint32_t milliseconds) { heldMilliseconds_ = milliseconds; }
    // The disk's write-protect tab is open: formats and writes fail, and the drive says why when
    // asked, unless it leaves that question unanswered.
    void setWriteProtected(bool writeProtected) { writeProtected_ = writeProtected; }
    void setWritableQueryAnswered(bool answered) { answersWritableQuery_ = answered; }
    // No disk in the drive (insertDisk puts one in): the drive opens for its queries and lists its
    // media types, but not for reading and writing, and the disk geometry query finds nothing.
    void ejectDisk();
    bool hasDisk() const { return hasDisk_; }
    // Opening for reading and writing is denied, as to a user without the rights raw volumes need
    // on some systems; opening for queries needs none.
    void setAccessDenied(bool denied) { accessDenied_ = denied; }
    // The record of a standard format, for example kMediaF3_1Pt44_512 (80 x 2 x 18 x 512), or of
    // one of the 21-sector types below.
    static MediaGeometry standardMedia(uint32_t mediaType);
    // Windows lists no media type of 21 sectors a track; a driver that formats them has its own.
    static constexpr uint32_t kMedia21x80 = 0x100;  // 80 x 2 x 21 x 512 (DMF, 1680KB)
    static constexpr uint32_t kMedia21x82 = 0x101;  // 82 x 2 x 21 x 512 (1722KB)

    // --- the disk ----------------------------------------------------------------------------
    // A formatted disk of the given geometry holding `bytes` (zero-padded or cut to its size).
    void insertDisk(const MediaGeometry& geometry, const uint8_t* bytes, size_t size);
    // A disk of the given geometry whose cylinders all need formatting before use.
    void insertUnformattedDisk(const MediaGeometry& geometry);
    const std::vector<uint8_t>& diskBytes() const { return disk_; }
    const MediaGeometry& diskGeometry() const { return geometry_; }
    bool cylinderFormatted(uint32_t cylinder) const;
    // The sector numbers of a track from the index as its last format laid them; empty when it
    // was not formatted since the disk went in.
    std::vector<uint16_t> trackOrder(uint32_t cylinder, uint32_t head) const;
    uint64_t position() const { return position_; }
    bool isOpen() const { return open_; }
    bool isLocked() const { return locked_; }

    // --- faults ------------------------------------------------------------------------------
    // The nth call (from 1) of `call` fails; nth 0 makes every such call fail.
    void failCall(FloppyCall call, int nth);
    void failFormatOfCylinder(uint32_t cylinder);
    // A bad spot at byte `offset`: every read (or write) that covers it fails, or with
    // `shortTransfer` ends just before it, reporting fewer bytes than asked.
    void failReadAt(uint64_t offset, bool shortTransfer);
    void failWriteAt(uint64_t offset, bool shortTransfer);
    // Writes of more than `bytes` fail, as on a drive that takes only so many sectors a call;
    // 0 lifts the limit.
    void refuseWritesLongerThan(uint32_t bytes) { longestWrite_ = bytes; }
    // Reads return the byte at `offset` XOR `mask`: a medium that keeps a wrong bit.
    void corruptByteOnRead(uint64_t offset, uint8_t mask);
    // Clears `keepRunning` while the nth call of `call` is under way: the user presses Cancel
    // while the worker waits inside the device.
    void cancelDuringCall(FloppyCall call, int nth, std::atomic<uint8_t>* keepRunning);
    void clearFaults();

    // --- what happened -----------------------------------------------------------------------
    // One line per call, for example "open A:", "query open A:", "disk media types 20",
    // "read 512 @0", "format cyl 5-5 heads 0-1 type 2" (given a sector order; without one the line
    // ends in " in order", and a refused order in " order refused"), "pause 500",
    // "allow extended access", "writable?" ("writable? no" for a write-protected disk); a failed
    // call ends in " FAILED", a short one in " -> N".
    const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }
    int callCount(FloppyCall call) const { return counts_[static_cast<int>(call)]; }
    // Bytes moved by reads and writes.
    uint64_t bytesRead() const { return bytesRead_; }
    uint64_t bytesWritten() const { return bytesWritten_; }

    // --- time --------------------------------------------------------------------------------
    // Turns the timing model on (from time 0, head on cylinder 0) and resets its clock.
    void enableTiming(const FloppyTiming& timing);
    void disableTiming() { timed_ = false; }
    int64_t elapsedNanoseconds() const { return now_; }
    // Each call of a transfer (on the drive opened for reading and writing) also waits this long
    // on `clock` (null: no wait), so a window test can look at the transfer between two calls: it
    // advances the clock one call at a time. Queries (discovery, the dialog's look at the disk)
    // run on the window's thread and never wait.
    void setCallDelay(int64_t microseconds, FakeClock* clock) {
        delay_ = microseconds;
        clock_ = clock;
    }

    // --- the device side (the backend's operations call these) -------------------------------
    bool deviceOpen(FloppyAccess access, FloppyOpenError* error);
    bool deviceLock();
    bool deviceUnlock();
    bool deviceDismount();
    bool deviceAllowExtendedAccess();
    bool deviceWriteProtected();
    void devicePause(uint32_t milliseconds);
    bool deviceQueryMediaTypes(MediaQuery query, MediaGeometry* records, int capacity,
                               bool* moreData);
    DiskPresence deviceDiskGeometry(MediaGeometry* geometry);
    FormatOutcome deviceFormatTracks(const FormatRequest& request);
    bool deviceRead(void* buffer, uint32_t count, uint32_t* got);
    bool deviceWrite(const void* buffer, uint32_t count, uint32_t* written);
    bool deviceSeek(uint64_t position);
    void deviceClose();

    // The installed drive of this name ("A:", any case), or null.
    static SimulatedFloppy* installedFor(const char* driveName);
    static bool anyInstalled();
    // The installed drives' roots ("A:\"), each NUL-terminated, then an empty string.
    static uint32_t installedRoots(char* buffer, uint32_t size);
    static uint32_t installedDriveType(const char* rootPath);

private:
    struct SpotFault {
        uint64_t offset;
        bool write;
        bool shortTransfer;
    };
    struct ByteFault {
        uint64_t offset;
        uint8_t mask;
    };
    struct CancelRule {
        FloppyCall call;
        int nth;
        std::atomic<uint8_t>* keepRunning;
    };

    // Counts the call and applies the call faults; false when this call is to fail.
    bool begin(FloppyCall call);
    void record(const std::string& line, bool ok);
    void waitIfAsked() const;
    uint64_t diskSize() const { return disk_.size(); }
    uint32_t sectorsPerCylinder() const;
    bool rangeFormatted(uint64_t offset, uint64_t length) const;
    // How many of `count` bytes from the position a transfer may move before a bad spot; sets
    // *fail when the transfer fails instead.
    uint32_t allowedBytes(uint32_t count, bool write, bool* fail) const;
    // How many of `count` bytes at `at` a mounted volume lets through.
    uint32_t capToMountedVolume(uint64_t at, uint32_t count) const;
    // The size of the FAT volume the disk's boot sector declares; 0 when it declares none.
    uint64_t declaredVolumeBytes() const;
    int64_t byteNanoseconds() const;
    int64_t sectorBytes() const;
    int64_t sectorStart(size_t slot) const;
    void passSector(size_t slot);
    void timeCommand(size_t track, uint32_t first, uint32_t end, bool firstOfCall);
    void timeTransfer(uint64_t offset, uint64_t length);
    void timeFormat(uint32_t cylinder, bool trackFormatted);
    // Where sector `index` (from 0) of a track passes, in sector times after the index.
    size_t sectorSlot(size_t track, size_t index) const;
    void layOut(size_t track, const FormatRequest& request);
    void moveHeadTo(uint32_t cylinder);

    char driveName_[3];
    uint32_t driveType_;
    std::vector<MediaGeometry> media_;
    MediaGeometry geometry_;
    std::vector<uint8_t> disk_;
    std::vector<uint8_t> formatted_;  // per cylinder
    std::vector<uint8_t> laidOut_;    // per track: formatted here, its slots below hold
    std::vector<uint8_t> slots_;      // per sector: where it passes on its track
    uint64_t position_;
    bool open_;
    bool locked_;
    bool openForTransfer_;  // opened for reading and writing: its calls wait on the clock
    bool answersDiskQuery_;
    bool answersStorageQuery_;
    bool refusesFormat_;
    bool refusesFormatOrder_;
    bool reportsGeometryOfBlankDisk_;
    bool answersWritableQuery_;
    bool writeProtected_;
    bool mountsVolume_;
    bool hasDisk_;
    bool accessDenied_;
    uint64_t mountedBytes_;  // while open with a volume mounted: where raw transfers stop; else 0
    bool extendedAccess_;    // the open handle may go past mountedBytes_
    uint32_t heldMilliseconds_;  // how long another program still holds the volume open
    uint32_t longestWrite_;      // 0: any length

    int counts_[kFloppyCallKinds];
    std::vector<int> failNth_[kFloppyCallKinds];
    std::vector<uint32_t> badCylinders_;
    std::vector<SpotFault> spots_;
    std::vector<ByteFault> corrupt_;
    std::vector<CancelRule> cancels_;
    std::vector<std::string> log_;
    uint64_t bytesRead_;
    uint64_t bytesWritten_;

    bool timed_;
    FloppyTiming timing_;
    int64_t now_;
    uint32_t headCylinder_;
    bool readAhead_;
    int64_t delay_;
    FakeClock* clock_;
};

#endif
