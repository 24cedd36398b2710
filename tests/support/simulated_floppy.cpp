#include "tests/support/simulated_floppy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "tests/support/fake_clock.h"

namespace {
const int kMaxInstalled = 8;
const uint32_t kSectorBytes = 512;
const uint8_t kFormatFiller = 0xF6;   // what a freshly formatted sector holds
const int64_t kTrackLeadBytes = 146;  // gap 4a, sync, index mark and gap 1 of a track

std::mutex g_installMutex;
SimulatedFloppy* g_installed[kMaxInstalled];

SimulatedFloppy* asDrive(void* drive) { return static_cast<SimulatedFloppy*>(drive); }

// The device's operations on the installed simulated drives.
void* openDrive(const char* driveName, FloppyAccess access, FloppyOpenError* error) {
    *error = kOpenFailed;
    SimulatedFloppy* drive = SimulatedFloppy::installedFor(driveName);
    return drive != nullptr && drive->deviceOpen(access, error) ? drive : nullptr;
}
bool lockDrive(void* d) { return asDrive(d)->deviceLock(); }
bool unlockDrive(void* d) { return asDrive(d)->deviceUnlock(); }
bool dismountDrive(void* d) { return asDrive(d)->deviceDismount(); }
bool allowExtendedAccessOf(void* d) { return asDrive(d)->deviceAllowExtendedAccess(); }
bool writeProtectedOf(void* d) { return asDrive(d)->deviceWriteProtected(); }
void pauseDrive(void* d, uint32_t milliseconds) { asDrive(d)->devicePause(milliseconds); }
bool queryDrive(void* d, MediaQuery query, MediaGeometry* records, int capacity, bool* moreData) {
    return asDrive(d)->deviceQueryMediaTypes(query, records, capacity, moreData);
}
DiskPresence diskGeometryOf(void* d, MediaGeometry* geometry) {
    return asDrive(d)->deviceDiskGeometry(geometry);
}
FormatOutcome formatDrive(void* d, const FormatRequest& request) {
    return asDrive(d)->deviceFormatTracks(request);
}
bool readDrive(void* d, void* buffer, uint32_t count, uint32_t* got) {
    return asDrive(d)->deviceRead(buffer, count, got);
}
bool writeDrive(void* d, const void* buffer, uint32_t count, uint32_t* written) {
    return asDrive(d)->deviceWrite(buffer, count, written);
}
bool seekDrive(void* d, uint64_t position) { return asDrive(d)->deviceSeek(position); }
void closeDrive(void* d) { asDrive(d)->deviceClose(); }
bool driveReadsAhead(void* d) { return asDrive(d)->readAhead(); }

const FloppyBackend kSimulatedDrives = {SimulatedFloppy::installedRoots,
                                        SimulatedFloppy::installedDriveType,
                                        openDrive,
                                        lockDrive,
                                        unlockDrive,
                                        dismountDrive,
                                        allowExtendedAccessOf,
                                        writeProtectedOf,
                                        pauseDrive,
                                        queryDrive,
                                        diskGeometryOf,
                                        formatDrive,
                                        readDrive,
                                        writeDrive,
                                        seekDrive,
                                        closeDrive,
                                        driveReadsAhead};

bool anyInstalledLocked() {
    for (SimulatedFloppy* drive : g_installed)
        if (drive != nullptr) return true;
    return false;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool sameDrive(const char* a, const char* b) {
    return a != nullptr && b != nullptr && upper(a[0]) == upper(b[0]) && a[1] == ':' &&
           b[1] == ':' && a[2] == '\0' && b[2] == '\0';
}

bool sameGeometry(const MediaGeometry& a, const MediaGeometry& b) {
    return a.cylinders == b.cylinders && a.tracksPerCylinder == b.tracksPerCylinder &&
           a.sectorsPerTrack == b.sectorsPerTrack && a.bytesPerSector == b.bytesPerSector;
}

std::string format(const char* fmt, unsigned long long a, unsigned long long b = 0,
                   unsigned long long c = 0, unsigned long long d = 0) {
    char line[96];
    std::snprintf(line, sizeof line, fmt, a, b, c, d);
    return line;
}
}  // namespace

SimulatedFloppy::SimulatedFloppy(const char* driveName)
    : driveType_(kDriveRemovable),
      position_(0),
      open_(false),
      locked_(false),
      openForTransfer_(false),
      answersDiskQuery_(true),
      answersStorageQuery_(true),
      refusesFormat_(false),
      refusesFormatOrder_(false),
      reportsGeometryOfBlankDisk_(false),
      answersWritableQuery_(true),
      writeProtected_(false),
      mountsVolume_(false),
      hasDisk_(true),
      accessDenied_(false),
      mountedBytes_(0),
      extendedAccess_(false),
      heldMilliseconds_(0),
      longestWrite_(0),
      bytesRead_(0),
      bytesWritten_(0),
      timed_(false),
      now_(0),
      headCylinder_(0),
      readAhead_(true),
      delay_(0),
      clock_(nullptr) {
    driveName_[0] = driveName != nullptr && driveName[0] != '\0' ? upper(driveName[0]) : 'A';
    driveName_[1] = ':';
    driveName_[2] = '\0';
    std::memset(&geometry_, 0, sizeof geometry_);
    std::memset(counts_, 0, sizeof counts_);
    setMediaList35();
}

SimulatedFloppy::~SimulatedFloppy() { uninstall(); }

bool SimulatedFloppy::install() {
    std::lock_guard<std::mutex> guard(g_installMutex);
    for (SimulatedFloppy*& slot : g_installed)
        if (slot == this) return true;
    for (SimulatedFloppy*& slot : g_installed) {
        if (slot == nullptr) {
            slot = this;
            installFloppyBackend(&kSimulatedDrives);
            return true;
        }
    }
    return false;
}

// The last drive out gives the device its raw volumes back.
void SimulatedFloppy::uninstall() {
    std::lock_guard<std::mutex> guard(g_installMutex);
    for (SimulatedFloppy*& slot : g_installed)
        if (slot == this) slot = nullptr;
    if (!anyInstalledLocked()) installFloppyBackend(nullptr);
}

SimulatedFloppy* SimulatedFloppy::installedFor(const char* driveName) {
    std::lock_guard<std::mutex> guard(g_installMutex);
    for (SimulatedFloppy* drive : g_installed)
        if (drive != nullptr && sameDrive(drive->driveName_, driveName)) return drive;
    return nullptr;
}

bool SimulatedFloppy::anyInstalled() {
    std::lock_guard<std::mutex> guard(g_installMutex);
    return anyInstalledLocked();
}

// Answers as GetLogicalDriveStringsA does: the length without the final terminator, or the size
// needed when the buffer is too small.
uint32_t SimulatedFloppy::installedRoots(char* buffer, uint32_t size) {
    std::lock_guard<std::mutex> guard(g_installMutex);
    uint32_t needed = 1;
    for (SimulatedFloppy* drive : g_installed)
        if (drive != nullptr) needed += 4;
    if (buffer == nullptr || size < needed) return needed;
    uint32_t at = 0;
    for (SimulatedFloppy* drive : g_installed) {
        if (drive == nullptr) continue;
        buffer[at++] = drive->driveName_[0];
        buffer[at++] = ':';
        buffer[at++] = '\\';
        buffer[at++] = '\0';
    }
    buffer[at] = '\0';
    return needed - 1;
}

uint32_t SimulatedFloppy::installedDriveType(const char* rootPath) {
    std::lock_guard<std::mutex> guard(g_installMutex);
    if (rootPath == nullptr || rootPath[0] == '\0') return 1;
    for (SimulatedFloppy* drive : g_installed)
        if (drive != nullptr && drive->driveName_[0] == upper(rootPath[0]))
            return drive->driveType_;
    return 1;  // DRIVE_NO_ROOT_DIR
}

void SimulatedFloppy::setMediaList(const MediaGeometry* records, int count) {
    media_.assign(records, records + (count > 0 ? count : 0));
}

void SimulatedFloppy::setMediaList35() {
    MediaGeometry list[2] = {standardMedia(kMediaF3_1Pt44_512), standardMedia(kMediaF3_720_512)};
    setMediaList(list, 2);
}

void SimulatedFloppy::setMediaList21() {
    MediaGeometry list[4] = {standardMedia(kMediaF3_1Pt44_512), standardMedia(kMediaF3_720_512),
                             standardMedia(kMedia21x80), standardMedia(kMedia21x82)};
    setMediaList(list, 4);
}

MediaGeometry SimulatedFloppy::standardMedia(uint32_t mediaType) {
    struct Row {
        uint32_t type, cylinders, heads, sectors, bytes;
    };
    static const Row kRows[] = {
        {kMediaF5_1Pt2_512, 80, 2, 15, 512},  {kMediaF3_1Pt44_512, 80, 2, 18, 512},
        {kMediaF3_2Pt88_512, 80, 2, 36, 512}, {kMediaF3_720_512, 80, 2, 9, 512},
        {kMediaF5_360_512, 40, 2, 9, 512},    {kMediaF5_320_512, 40, 2, 8, 512},
        {kMediaF5_320_1024, 40, 2, 4, 1024},  {kMediaF5_180_512, 40, 1, 9, 512},
        {kMediaF5_160_512, 40, 1, 8, 512},    {kMedia21x80, 80, 2, 21, 512},
        {kMedia21x82, 82, 2, 21, 512},
    };
    MediaGeometry g;
    std::memset(&g, 0, sizeof g);
    g.mediaType = mediaType;
    for (const Row& r : kRows) {
        if (r.type != mediaType) continue;
        g.cylinders = r.cylinders;
        g.tracksPerCylinder = r.heads;
        g.sectorsPerTrack = r.sectors;
        g.bytesPerSector = r.bytes;
    }
    return g;
}

void SimulatedFloppy::insertDisk(const MediaGeometry& geometry, const uint8_t* bytes, size_t size) {
    insertUnformattedDisk(geometry);
    std::fill(formatted_.begin(), formatted_.end(), 1);
    if (bytes != nullptr) std::memcpy(disk_.data(), bytes, std::min(size, disk_.size()));
}

void SimulatedFloppy::insertUnformattedDisk(const MediaGeometry& geometry) {
    geometry_ = geometry;
    // Only geometries of floppy size are held; anything larger is an empty disk.
    uint64_t size = geometry.cylinders * geometry.tracksPerCylinder * geometry.sectorsPerTrack *
                    static_cast<uint64_t>(geometry.bytesPerSector);
    if (geometry.cylinders > 1000 || geometry.tracksPerCylinder > 16 ||
        geometry.sectorsPerTrack > 255 || geometry.bytesPerSector > 4096)
        size = 0;
    disk_.assign(static_cast<size_t>(size), 0);
    formatted_.assign(size == 0 ? 0 : static_cast<size_t>(geometry.cylinders), 0);
    uint64_t tracks = geometry.cylinders * geometry.tracksPerCylinder;
    laidOut_.assign(size == 0 ? 0 : static_cast<size_t>(tracks), 0);
    slots_.assign(size == 0 ? 0 : static_cast<size_t>(size / geometry.bytesPerSector), 0);
    position_ = 0;
    hasDisk_ = true;
}

void SimulatedFloppy::ejectDisk() {
    std::memset(&geometry_, 0, sizeof geometry_);
    disk_.clear();
    formatted_.clear();
    laidOut_.clear();
    slots_.clear();
    position_ = 0;
    hasDisk_ = false;
}

uint32_t SimulatedFloppy::capToMountedVolume(uint64_t at, uint32_t count) const {
    if (mountedBytes_ == 0 || extendedAccess_) return count;
    uint64_t left = at < mountedBytes_ ? mountedBytes_ - at : 0;
    return static_cast<uint32_t>(std::min<uint64_t>(count, left));
}

uint64_t SimulatedFloppy::declaredVolumeBytes() const {
    if (disk_.size() < kSectorBytes || disk_[510] != 0x55 || disk_[511] != 0xAA) return 0;
    uint64_t bytesPerSector = disk_[0x0B] | static_cast<uint64_t>(disk_[0x0C]) << 8;
    uint64_t sectors = disk_[0x13] | static_cast<uint64_t>(disk_[0x14]) << 8;
    return bytesPerSector * sectors;
}

bool SimulatedFloppy::cylinderFormatted(uint32_t cylinder) const {
    return cylinder < formatted_.size() && formatted_[cylinder] != 0;
}

std::vector<uint16_t> SimulatedFloppy::trackOrder(uint32_t cylinder, uint32_t head) const {
    size_t track = static_cast<size_t>(cylinder) * geometry_.tracksPerCylinder + head;
    std::vector<uint16_t> order;
    if (head >= geometry_.tracksPerCylinder || track >= laidOut_.size() || !laidOut_[track])
        return order;
    order.resize(geometry_.sectorsPerTrack);
    for (uint32_t i = 0; i < geometry_.sectorsPerTrack; ++i)
        order[sectorSlot(track, i)] = static_cast<uint16_t>(i + 1);
    return order;
}

// A sector order must name each sector of the track once.
void SimulatedFloppy::layOut(size_t track, const FormatRequest& request) {
    size_t spt = geometry_.sectorsPerTrack;
    for (size_t slot = 0; slot < spt; ++slot) {
        size_t index = request.sectorsPerTrack == 0 ? slot : request.sectorNumbers[slot] - 1u;
        slots_[track * spt + index] = static_cast<uint8_t>(slot);
    }
    laidOut_[track] = 1;
}

size_t SimulatedFloppy::sectorSlot(size_t track, size_t index) const {
    size_t spt = geometry_.sectorsPerTrack;
    if (track < laidOut_.size() && laidOut_[track]) return slots_[track * spt + index];
    if (!timing_.skew) return index;
    size_t cylinder = track / geometry_.tracksPerCylinder;
    size_t head = track % geometry_.tracksPerCylinder;
    size_t headSkew = (spt + 5) / 6;
    return (index + cylinder * (2 * headSkew + 3) + head * headSkew) % spt;
}

void SimulatedFloppy::failCall(FloppyCall call, int nth) {
    failNth_[static_cast<int>(call)].push_back(nth);
}

void SimulatedFloppy::failFormatOfCylinder(uint32_t cylinder) { badCylinders_.push_back(cylinder); }

void SimulatedFloppy::failReadAt(uint64_t offset, bool shortTransfer) {
    spots_.push_back(SpotFault{offset, false, shortTransfer});
}

void SimulatedFloppy::failWriteAt(uint64_t offset, bool shortTransfer) {
    spots_.push_back(SpotFault{offset, true, shortTransfer});
}

void SimulatedFloppy::corruptByteOnRead(uint64_t offset, uint8_t mask) {
    corrupt_.push_back(ByteFault{offset, mask});
}

void SimulatedFloppy::cancelDuringCall(FloppyCall call, int nth,
                                       std::atomic<uint8_t>* keepRunning) {
    cancels_.push_back(CancelRule{call, nth, keepRunning});
}

void SimulatedFloppy::clearFaults() {
    for (std::vector<int>& list : failNth_) list.clear();
    badCylinders_.clear();
    spots_.clear();
    corrupt_.clear();
    cancels_.clear();
}

void SimulatedFloppy::enableTiming(const FloppyTiming& timing) {
    timing_ = timing;
    timed_ = true;
    now_ = 0;
    headCylinder_ = 0;
}

bool SimulatedFloppy::begin(FloppyCall call) {
    int kind = static_cast<int>(call);
    int nth = ++counts_[kind];
    if (openForTransfer_) waitIfAsked();
    if (timed_) now_ += timing_.callOverhead;
    for (const CancelRule& rule : cancels_)
        if (rule.call == call && rule.nth == nth && rule.keepRunning != nullptr)
            rule.keepRunning->store(0);
    for (int n : failNth_[kind])
        if (n == 0 || n == nth) return false;
    return true;
}

void SimulatedFloppy::record(const std::string& line, bool ok) {
    log_.push_back(ok ? line : line + " FAILED");
}

void SimulatedFloppy::waitIfAsked() const {
    if (clock_ != nullptr && delay_ > 0) clock_->sleepFor(delay_);
}

uint32_t SimulatedFloppy::sectorsPerCylinder() const {
    return geometry_.tracksPerCylinder * geometry_.sectorsPerTrack;
}

bool SimulatedFloppy::rangeFormatted(uint64_t offset, uint64_t length) const {
    uint64_t cylinderBytes = static_cast<uint64_t>(sectorsPerCylinder()) * geometry_.bytesPerSector;
    if (length == 0) return true;
    if (cylinderBytes == 0) return false;
    for (uint64_t c = offset / cylinderBytes; c <= (offset + length - 1) / cylinderBytes; ++c)
        if (!cylinderFormatted(static_cast<uint32_t>(c))) return false;
    return true;
}

uint32_t SimulatedFloppy::allowedBytes(uint32_t count, bool write, bool* fail) const {
    *fail = false;
    uint64_t end = position_ + count;
    uint32_t allowed = count;
    for (const SpotFault& spot : spots_) {
        if (spot.write != write) continue;
        uint64_t sectorStart = spot.offset / kSectorBytes * kSectorBytes;
        if (sectorStart + kSectorBytes <= position_ || sectorStart >= end) continue;
        if (!spot.shortTransfer) {
            *fail = true;
            return 0;
        }
        uint64_t before = sectorStart > position_ ? sectorStart - position_ : 0;
        if (before < allowed) allowed = static_cast<uint32_t>(before);
    }
    return allowed;
}

bool SimulatedFloppy::deviceOpen(FloppyAccess access, FloppyOpenError* error) {
    bool readWrite = access == kFloppyReadWriteAccess;
    *error = kOpenFailed;
    openForTransfer_ = readWrite;
    bool ok = begin(FloppyCall::Open);
    if (ok && readWrite && accessDenied_) {
        *error = kOpenDenied;
        ok = false;
    } else if (ok && readWrite && !hasDisk_) {
        *error = kOpenNoDisk;
        ok = false;
    }
    record(std::string(readWrite ? "open " : "query open ") + driveName_, ok);
    openForTransfer_ = ok && readWrite;
    if (ok) {
        open_ = true;
        position_ = 0;
        // Opening the volume mounts the file system of whatever boot sector the disk holds now.
        mountedBytes_ = mountsVolume_ ? declaredVolumeBytes() : 0;
        extendedAccess_ = false;
    }
    return ok;
}

bool SimulatedFloppy::deviceLock() {
    bool ok = begin(FloppyCall::Lock) && open_ && heldMilliseconds_ == 0;
    record("lock", ok);
    if (ok) locked_ = true;
    return ok;
}

bool SimulatedFloppy::deviceAllowExtendedAccess() {
    bool ok = begin(FloppyCall::AllowExtendedAccess) && open_;
    record("allow extended access", ok);
    if (ok) extendedAccess_ = true;
    return ok;
}

bool SimulatedFloppy::deviceWriteProtected() {
    bool ok = begin(FloppyCall::WritableQuery) && open_ && answersWritableQuery_;
    bool protectedDisk = ok && hasDisk_ && writeProtected_;
    record(protectedDisk ? "writable? no" : "writable?", ok);
    return protectedDisk;
}

// The other program lets go of the volume once the waits add up to its time.
void SimulatedFloppy::devicePause(uint32_t milliseconds) {
    begin(FloppyCall::Pause);
    record(format("pause %llu", milliseconds), true);
    if (heldMilliseconds_ != kHeldForever)
        heldMilliseconds_ -= std::min(heldMilliseconds_, milliseconds);
    if (timed_) now_ += static_cast<int64_t>(milliseconds) * 1000000;
}

bool SimulatedFloppy::deviceUnlock() {
    bool ok = begin(FloppyCall::Unlock) && open_;
    record("unlock", ok);
    if (ok) locked_ = false;
    return ok;
}

// The file system lets go of the disk, but the handle keeps the limit of the volume it had.
bool SimulatedFloppy::deviceDismount() {
    bool ok = begin(FloppyCall::Dismount) && open_;
    record("dismount", ok);
    return ok;
}

// Fills what fits; a drive that knows more records than the caller has room for fails with
// ERROR_MORE_DATA after filling the list, as Windows drives do.
bool SimulatedFloppy::deviceQueryMediaTypes(MediaQuery query, MediaGeometry* records, int capacity,
                                            bool* moreData) {
    if (moreData != nullptr) *moreData = false;
    bool diskClass = query == kDiskClassQuery;
    bool ok = begin(FloppyCall::QueryMedia) && open_ && capacity > 0 &&
              (diskClass ? answersDiskQuery_ : answersStorageQuery_);
    if (ok) {
        int n = std::min(capacity, static_cast<int>(media_.size()));
        for (int i = 0; i < n; ++i) records[i] = media_[static_cast<size_t>(i)];
        if (static_cast<int>(media_.size()) > capacity) {
            if (moreData != nullptr) *moreData = true;
            ok = false;
        }
    }
    record(format(diskClass ? "disk media types %llu" : "storage media types %llu",
                  static_cast<unsigned long long>(capacity)),
           ok);
    return ok;
}

// A disk is recognised once its first cylinder is formatted; a USB drive gives the first of its
// media types for one that is not.
DiskPresence SimulatedFloppy::deviceDiskGeometry(MediaGeometry* geometry) {
    bool ok = begin(FloppyCall::DiskGeometry) && open_;
    bool blank = !cylinderFormatted(0);
    bool reportsOwn = blank && reportsGeometryOfBlankDisk_ && !media_.empty();
    DiskPresence presence = !ok || !hasDisk_       ? kDiskAbsent
                            : blank && !reportsOwn ? kDiskUnrecognised
                                                   : kDiskFound;
    if (presence == kDiskFound) *geometry = reportsOwn ? media_.front() : geometry_;
    record("disk geometry", presence == kDiskFound);
    return presence;
}

// An order that does not name each sector of the track once fails the call, as a request the
// driver cannot format.
FormatOutcome SimulatedFloppy::deviceFormatTracks(const FormatRequest& request) {
    bool ok = begin(FloppyCall::Format) && open_;
    bool refusedWhole = ok && refusesFormat_;
    bool writeProtected = ok && !refusedWhole && writeProtected_;
    ok = ok && !refusedWhole && !writeProtected;
    bool ordered = request.sectorsPerTrack != 0;
    const MediaGeometry* chosen = nullptr;
    for (const MediaGeometry& m : media_)
        if (m.mediaType == request.mediaType && m.mediaType != kMediaUnknown) {
            chosen = &m;
            break;
        }
    ok = ok && chosen != nullptr && request.startCylinder <= request.endCylinder &&
         request.endCylinder < chosen->cylinders && request.startHead <= request.endHead &&
         request.endHead < chosen->tracksPerCylinder && chosen->cylinders <= 1000;
    if (ok && ordered) {
        std::vector<uint8_t> named(chosen->sectorsPerTrack + 1u, 0);
        ok = request.sectorsPerTrack == chosen->sectorsPerTrack &&
             request.sectorsPerTrack <= static_cast<uint32_t>(kMaxFormatSectors);
        for (uint32_t i = 0; ok && i < request.sectorsPerTrack; ++i) {
            uint16_t n = request.sectorNumbers[i];
            ok = n >= 1 && n <= chosen->sectorsPerTrack && !named[n];
            if (ok) named[n] = 1;
        }
    }
    for (uint32_t bad : badCylinders_)
        if (bad >= request.startCylinder && bad <= request.endCylinder) ok = false;
    bool refused = ok && ordered && refusesFormatOrder_;
    if (ok && !refused) {
        // A format with another geometry lays the whole disk out anew.
        if (!sameGeometry(*chosen, geometry_)) insertUnformattedDisk(*chosen);
        geometry_.mediaType = chosen->mediaType;
        uint64_t trackBytes = static_cast<uint64_t>(geometry_.sectorsPerTrack) *
                              geometry_.bytesPerSector;
        for (uint32_t c = request.startCylinder; c <= request.endCylinder; ++c) {
            bool whole = true;
            for (uint32_t h = 0; h < geometry_.tracksPerCylinder; ++h) {
                size_t track = static_cast<size_t>(c) * geometry_.tracksPerCylinder + h;
                if (h < request.startHead || h > request.endHead) {
                    whole = whole && laidOut_[track];
                    continue;
                }
                timeFormat(c, cylinderFormatted(c) || laidOut_[track]);
                std::memset(disk_.data() + track * trackBytes, kFormatFiller,
                            static_cast<size_t>(trackBytes));
                layOut(track, request);
            }
            if (whole) formatted_[c] = 1;
        }
    }
    std::string line = format("format cyl %llu-%llu heads %llu-%llu", request.startCylinder,
                              request.endCylinder, request.startHead, request.endHead) +
                       format(" type %llu", request.mediaType);
    if (refused) line += " order refused";
    else if (!ordered) line += " in order";
    if (refusedWhole) line += " refused";
    if (writeProtected) line += " write-protected";
    record(line, ok);  // a refused order is no failure: the drive formats in its own layout
    if (refusedWhole) return kFormatRefused;
    if (writeProtected) return kFormatWriteProtected;
    return refused ? kFormatOrderRefused : ok ? kFormatDone : kFormatFailed;
}

// Raw volumes move whole sectors: a count that is not a multiple of the sector size fails, as
// ReadFile on a volume handle does. At the end of the medium a read stops short.
bool SimulatedFloppy::deviceRead(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    uint64_t at = position_;
    bool ok = begin(FloppyCall::Read) && open_ && count % kSectorBytes == 0;
    uint32_t n = 0;
    if (ok) {
        uint64_t left = at < diskSize() ? diskSize() - at : 0;
        n = static_cast<uint32_t>(std::min<uint64_t>(count, left));
        n = capToMountedVolume(at, n);
        bool fail = false;
        n = std::min(n, allowedBytes(n, false, &fail));
        ok = !fail && rangeFormatted(at, n);
    }
    if (ok) {
        std::memcpy(buffer, disk_.data() + at, n);
        for (const ByteFault& f : corrupt_)
            if (f.offset >= at && f.offset < at + n)
                static_cast<uint8_t*>(buffer)[f.offset - at] ^= f.mask;
        timeTransfer(at, n);
        position_ += n;
        bytesRead_ += n;
        *got = n;
    }
    std::string line = format("read %llu @%llu", count, at);
    if (ok && n != count) line += format(" -> %llu", n);
    record(line, ok);
    return ok;
}

// Writing past the end of the medium fails; a short-write fault writes up to its bad spot and
// reports the shorter count.
bool SimulatedFloppy::deviceWrite(const void* buffer, uint32_t count, uint32_t* written) {
    *written = 0;
    uint64_t at = position_;
    bool ok = begin(FloppyCall::Write) && open_ && !writeProtected_ && count % kSectorBytes == 0 &&
              at + count <= diskSize() && (longestWrite_ == 0 || count <= longestWrite_);
    uint32_t n = 0;
    if (ok) {
        bool fail = false;
        n = capToMountedVolume(at, allowedBytes(count, true, &fail));
        ok = !fail && rangeFormatted(at, count);
    }
    if (ok) {
        std::memcpy(disk_.data() + at, buffer, n);
        timeTransfer(at, n);
        position_ += n;
        bytesWritten_ += n;
        *written = n;
    }
    std::string line = format("write %llu @%llu", count, at);
    if (ok && n != count) line += format(" -> %llu", n);
    record(line, ok);
    return ok;
}

bool SimulatedFloppy::deviceSeek(uint64_t position) {
    bool ok = begin(FloppyCall::Seek) && open_ && position <= diskSize();
    if (ok) position_ = position;
    record(format("seek %llu", position), ok);
    return ok;
}

void SimulatedFloppy::deviceClose() {
    begin(FloppyCall::Close);
    record("close", true);
    open_ = false;
    openForTransfer_ = false;
    locked_ = false;
}

void SimulatedFloppy::moveHeadTo(uint32_t cylinder) {
    if (cylinder == headCylinder_) return;
    uint32_t distance = cylinder > headCylinder_ ? cylinder - headCylinder_
                                                 : headCylinder_ - cylinder;
    now_ += timing_.step * distance + timing_.settle;
    headCylinder_ = cylinder;
}

// MFM at 250 kbit/s (double density), 500 (high density) or 1000 (extra density).
int64_t SimulatedFloppy::byteNanoseconds() const {
    switch (geometry_.mediaType) {
    case kMediaF3_1Pt44_512:
    case kMedia21x80:
    case kMedia21x82:
    case kMediaF5_1Pt2_512: return 16000;
    case kMediaF3_2Pt88_512: return 8000;
    default: return 32000;
    }
}

// A track as a format lays it down: after the index the gaps, sync and index mark of 146 bytes,
// then each sector: its ID field (22 bytes), the gap after it (22), its data field (16 + the
// sector + 2) and the format's gap after it (formatGapLength; for a medium without one, what is
// left of the turn shared out). The ID of slot s begins sectorStart(s) after the index.
int64_t SimulatedFloppy::sectorBytes() const {
    int64_t turnBytes = timing_.rotation / byteNanoseconds();
    int64_t spt = geometry_.sectorsPerTrack;
    int64_t fixed = 62 + static_cast<int64_t>(geometry_.bytesPerSector);
    int64_t gap = win32_answer::formatGapLength(geometry_.mediaType);
    if (spt == 0 || kTrackLeadBytes + spt * (fixed + gap) > turnBytes)
        gap = spt == 0 ? 0 : std::max<int64_t>(0, (turnBytes - kTrackLeadBytes) / spt - fixed);
    return fixed + gap;
}

int64_t SimulatedFloppy::sectorStart(size_t slot) const {
    return (kTrackLeadBytes + static_cast<int64_t>(slot) * sectorBytes()) * byteNanoseconds();
}

// Waits for the ID of the sector in `slot` and passes over it to the end of its data: a command
// that comes after the ID has begun misses the sector and waits a whole turn.
void SimulatedFloppy::passSector(size_t slot) {
    const int64_t turn = timing_.rotation;
    int64_t wait = (sectorStart(slot) - now_ % turn) % turn;
    if (wait < 0) wait += turn;
    now_ += wait + (62 + static_cast<int64_t>(geometry_.bytesPerSector)) * byteNanoseconds();
}

// One controller command over sectors [first, end) of a track, in their order: it seeks first
// when the track lies on another cylinder.
void SimulatedFloppy::timeCommand(size_t track, uint32_t first, uint32_t end, bool firstOfCall) {
    if (!firstOfCall) now_ += timing_.commandOverhead;
    moveHeadTo(static_cast<uint32_t>(track / geometry_.tracksPerCylinder));
    for (uint32_t index = first; index < end; ++index) passSector(sectorSlot(track, index));
}

// A read or write call as Windows' floppy driver carries it out, track by track: each track after
// the first of the call from `stagger` sectors further on than the one before (to its end, then a
// second command from its start), the first from where the call starts.
void SimulatedFloppy::timeTransfer(uint64_t offset, uint64_t length) {
    uint64_t spt = geometry_.sectorsPerTrack;
    uint64_t bytes = geometry_.bytesPerSector;
    if (!timed_ || length == 0 || spt == 0 || bytes == 0 || geometry_.tracksPerCylinder == 0)
        return;
    uint64_t stagger = timing_.driverStagger
                           ? win32_answer::driverTrackStagger(geometry_.mediaType) % spt
                           : 0;
    uint64_t skew = 0;
    bool firstOfCall = true;
    for (uint64_t lba = offset / bytes, end = (offset + length - 1) / bytes + 1; lba < end;) {
        size_t track = static_cast<size_t>(lba / spt);
        uint64_t from = lba % spt;
        uint64_t count = std::min(spt - from, end - lba);
        if (skew >= from + count) skew = 0;
        if (skew < from) skew = from;
        timeCommand(track, static_cast<uint32_t>(skew), static_cast<uint32_t>(from + count),
                    firstOfCall);
        firstOfCall = false;
        if (skew > from)
            timeCommand(track, static_cast<uint32_t>(from), static_cast<uint32_t>(skew), false);
        else skew = (from + count) % spt;
        skew = (skew + stagger) % spt;
        lba += count;
    }
}

// Windows' floppy driver formats a track after a seek (to the same cylinder for the second head),
// its settle time and a read of the next sector ID, which on a track without IDs gives up at the
// second index pulse; the format itself waits for the index and takes a whole turn.
void SimulatedFloppy::timeFormat(uint32_t cylinder, bool trackFormatted) {
    if (!timed_) return;
    const int64_t turn = timing_.rotation;
    uint32_t distance = cylinder > headCylinder_ ? cylinder - headCylinder_
                                                 : headCylinder_ - cylinder;
    now_ += timing_.commandOverhead + timing_.step * distance + timing_.settle;
    headCylinder_ = cylinder;
    now_ += timing_.commandOverhead;
    if (trackFormatted) {
        int64_t wait = turn;
        for (size_t slot = 0; slot < geometry_.sectorsPerTrack; ++slot) {
            int64_t w = (sectorStart(slot) - now_ % turn) % turn;
            wait = std::min(wait, w < 0 ? w + turn : w);
        }
        now_ += wait + 22 * byteNanoseconds();
    } else {
        now_ += 2 * turn - now_ % turn;
    }
    now_ += timing_.commandOverhead;
    now_ += (turn - now_ % turn) % turn + turn;
}
