#include "floppy/floppy_device.h"

#include <atomic>
#include <cstring>
#include <new>

#include "image/disk_types.h"

namespace {
const uint32_t kSectorBytes = DiskTypeTable::bytesPerSector;
const uint32_t kMaxCylinderBytes = 2 * 36 * kSectorBytes;  // 2.88 MB media: 2 heads x 36 sectors
const uint64_t kNoCylinder = ~static_cast<uint64_t>(0);

std::atomic<const FloppyBackend*> g_installed{nullptr};

// The one place that decides which drives are reached: while a backend is installed, real drives
// are out of reach, so tests never touch the host's hardware whatever drive name they use.
const FloppyBackend& currentBackend() {
    const FloppyBackend* installed = g_installed.load();
    return installed != nullptr ? *installed : rawVolumeBackend();
}
}  // namespace

void installFloppyBackend(const FloppyBackend* backend) { g_installed.store(backend); }

uint32_t floppyLogicalDriveStrings(char* buffer, uint32_t size) {
    return currentBackend().logicalDriveStrings(buffer, size);
}

uint32_t floppyDriveType(const char* rootPath) { return currentBackend().driveType(rootPath); }

FloppyDevice::FloppyDevice()
    : backend_(nullptr),
      drive_(nullptr),
      openError_(kOpenFailed),
      readAheadAllowed_(false),
      gatherRefused_(false),
      positionLost_(false),
      orderRefused_(false),
      position_(0),
      cylinderBytes_(0),
      failedCylinder_(kNoCylinder),
      readAhead_(nullptr),
      aheadLength_(0),
      aheadUsed_(0) {}

FloppyDevice::~FloppyDevice() {
    close();
    delete[] readAhead_;
}

bool FloppyDevice::open(const char* driveName, FloppyAccess access) {
    close();
    position_ = 0;
    cylinderBytes_ = 0;
    failedCylinder_ = kNoCylinder;
    gatherRefused_ = positionLost_ = orderRefused_ = false;
    aheadLength_ = aheadUsed_ = 0;
    const FloppyBackend& backend = currentBackend();
    openError_ = kOpenFailed;
    drive_ = backend.open(driveName, access, &openError_);
    if (drive_ == nullptr) return false;
    backend_ = &backend;
    readAheadAllowed_ = backend.readAhead == nullptr || backend.readAhead(drive_);
    // A volume without a file system of its own has no limit to lift and may refuse the call.
    if (access == kFloppyReadWriteAccess) backend.allowExtendedAccess(drive_);
    return true;
}

bool FloppyDevice::isOpen() const { return backend_ != nullptr; }

// An Explorer window on the drive or a command prompt standing in it holds the volume open, and
// the lock fails until it lets go.
bool FloppyDevice::lock(const std::atomic<uint8_t>& keepRunning) {
    for (int attempt = 1; isOpen(); ++attempt) {
        if (backend_->lock(drive_)) return true;
        if (attempt == kLockTries || keepRunning.load() == 0) break;
        backend_->pause(drive_, kLockPauseMilliseconds);
    }
    return false;
}

bool FloppyDevice::writeProtected() { return isOpen() && backend_->writeProtected(drive_); }

bool FloppyDevice::unlock() { return isOpen() && backend_->unlock(drive_); }

bool FloppyDevice::dismount() {
    dropReadAhead();
    return isOpen() && backend_->dismount(drive_);
}

bool FloppyDevice::queryMediaTypes(MediaGeometry* records, int capacity, bool* moreData) {
    bool more = false;
    if (capacity > kMaxMediaRecords) capacity = kMaxMediaRecords;
    bool ok = isOpen() &&
              backend_->queryMediaTypes(drive_, kDiskClassQuery, records, capacity, &more);
    if (isOpen() && !ok && !more)
        ok = backend_->queryMediaTypes(drive_, kStorageClassQuery, records, capacity, &more);
    if (moreData != nullptr) *moreData = more;
    return ok;
}

DiskPresence FloppyDevice::diskGeometry(MediaGeometry* geometry) {
    std::memset(geometry, 0, sizeof *geometry);
    return isOpen() ? backend_->diskGeometry(drive_, geometry) : kDiskAbsent;
}

// A drive that refuses to be told the sector order refuses it for every track, so it is asked
// once a transfer; its own layout is better than no format.
FormatOutcome FloppyDevice::formatTracks(const FormatRequest& request) {
    dropReadAhead();
    if (!isOpen()) return kFormatFailed;
    FormatOutcome outcome = kFormatOrderRefused;
    if (request.sectorsPerTrack != 0 && !orderRefused_) {
        outcome = backend_->formatTracks(drive_, request);
        if (outcome == kFormatOrderRefused) orderRefused_ = true;
    }
    if (outcome == kFormatOrderRefused) {
        FormatRequest inOrder = request;
        inOrder.sectorsPerTrack = 0;
        outcome = backend_->formatTracks(drive_, inOrder);
    }
    return outcome;
}

bool FloppyDevice::write(const void* buffer, uint32_t count, uint32_t* written) {
    *written = 0;
    if (!isOpen() || positionLost_ || !dropReadAhead()) return false;
    bool ok = backend_->write(drive_, buffer, count, written);
    if (ok) position_ += *written;
    return ok;
}

// One-sector or one-cluster writes each arrive just after the next sector has passed and wait a
// whole turn, as reads did; unlike reads they cannot be held back behind the caller, whose
// failure would then be reported against a later cluster. So the caller gathers a cylinder's
// worth and learns from writeGathered whether to write it again unit by unit.
uint8_t* FloppyDevice::gatherBuffer(uint32_t* room) {
    *room = 0;
    if (!isOpen() || !readAheadAllowed_ || cylinderBytes_ == 0 || gatherRefused_ || positionLost_ ||
        position_ % kSectorBytes != 0 || !dropReadAhead())
        return nullptr;
    uint8_t* buffer = cylinderBuffer();
    if (buffer != nullptr)
        *room = cylinderBytes_ - static_cast<uint32_t>(position_ % cylinderBytes_);
    return buffer;
}

bool FloppyDevice::writeGathered(uint32_t count) {
    uint64_t start = position_;
    uint32_t written = 0;
    if (readAhead_ != nullptr && write(readAhead_, count, &written) && written == count)
        return true;
    // A drive that refuses long writes refuses them all; a bad sector ends the transfer anyway.
    gatherRefused_ = true;
    // Failed or short, the call may have left the drive anywhere in the span.
    if (isOpen() && !positionLost_) {
        positionLost_ = !backend_->seek(drive_, start);
        position_ = start;
    }
    return false;
}

bool FloppyDevice::seek(uint64_t position) {
    aheadLength_ = aheadUsed_ = 0;
    if (!isOpen() || positionLost_) return false;
    positionLost_ = !backend_->seek(drive_, position);
    if (!positionLost_) position_ = position;
    return !positionLost_;
}

void FloppyDevice::close() {
    aheadLength_ = aheadUsed_ = 0;
    if (isOpen()) backend_->close(drive_);
    backend_ = nullptr;
    drive_ = nullptr;
}

void FloppyDevice::setGeometry(uint32_t bytesPerSector, uint32_t sectorsPerTrack, uint32_t heads) {
    failedCylinder_ = kNoCylinder;
    bool floppy = bytesPerSector == kSectorBytes && sectorsPerTrack >= 1 && sectorsPerTrack <= 36 &&
                  heads >= 1 && heads <= 2;
    cylinderBytes_ = floppy ? sectorsPerTrack * heads * kSectorBytes : 0;
}

uint8_t* FloppyDevice::cylinderBuffer() {
    if (readAhead_ == nullptr) readAhead_ = new (std::nothrow) uint8_t[kMaxCylinderBytes];
    return readAhead_;
}

bool FloppyDevice::rawRead(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    return isOpen() && backend_->read(drive_, buffer, count, got);
}

// Forgets bytes read ahead; when some were not handed out yet, the file pointer goes back to
// where the caller stands.
bool FloppyDevice::dropReadAhead() {
    bool ok = true;
    if (aheadUsed_ < aheadLength_) ok = backend_->seek(drive_, position_);
    aheadLength_ = aheadUsed_ = 0;
    return ok;
}

// A floppy loses a whole turn whenever a call asks for the sector that has just passed the head,
// which one-cluster reads do every time. So once the transfer has told the geometry, a read that
// ends inside a cylinder fetches the rest of the cylinder in the same call and later reads are
// served from it. The caller sees exactly what the plain read would give: the same bytes and
// counts, short where the medium ends, and when the longer read fails the plain read is issued
// and decides.
bool FloppyDevice::read(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (!isOpen() || positionLost_) return false;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t served = 0;
    // A raw volume refuses a read that is not whole sectors, so one is never served from the
    // buffer either: it goes to the drive from where the caller stands, and fails there.
    bool wholeSectors = position_ % kSectorBytes == 0 && count % kSectorBytes == 0;
    if (!wholeSectors && !dropReadAhead()) return false;
    if (aheadUsed_ < aheadLength_) {
        served = aheadLength_ - aheadUsed_ < count ? aheadLength_ - aheadUsed_ : count;
        std::memcpy(out, readAhead_ + aheadUsed_, served);
        aheadUsed_ += served;
        position_ += served;
        if (served == count) {
            *got = count;
            return true;
        }
    }
    aheadLength_ = aheadUsed_ = 0;

    uint32_t rest = count - served;
    uint64_t start = position_;
    uint32_t ahead = 0;
    uint64_t cylinder = cylinderBytes_ != 0 ? start / cylinderBytes_ : kNoCylinder;
    // After a failed read-ahead the drive's retries on the bad sector would come again with every
    // later cluster of that cylinder: its clusters are read plainly instead.
    if (readAheadAllowed_ && cylinderBytes_ != 0 && wholeSectors && cylinder != failedCylinder_)
        ahead = cylinderBytes_ - static_cast<uint32_t>(start % cylinderBytes_);
    if (ahead > rest) {
        uint32_t n = 0;
        if (cylinderBuffer() != nullptr && rawRead(readAhead_, ahead, &n)) {
            uint32_t take = n < rest ? n : rest;
            std::memcpy(out + served, readAhead_, take);
            position_ += take;
            if (n > rest) {
                aheadLength_ = n;
                aheadUsed_ = rest;
            }
            *got = served + take;
            return true;
        }
        // The longer read failed somewhere: the plain read from the same place decides.
        failedCylinder_ = cylinder;
        if (!backend_->seek(drive_, start)) return false;
    }

    uint32_t n = 0;
    bool ok = rawRead(out + served, rest, &n);
    if (ok) position_ += n;
    *got = served + n;
    return ok;
}
