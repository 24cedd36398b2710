#include "floppy/floppy_device.h"

#include <atomic>
#include <cstring>
#include <new>

#include "floppy/raw_volume.h"
#include "floppy/simulated_floppy.h"
#include "image/boot_sector.h"

namespace {
std::atomic<bool> g_readAhead{true};
const uint32_t kSectorBytes = 512;
const uint32_t kMaxCylinderBytes = 2 * 36 * kSectorBytes;  // 2.88 MB media: 2 heads x 36 sectors
}  // namespace

void setFloppyReadAhead(bool enabled) { g_readAhead.store(enabled); }
bool floppyReadAhead() { return g_readAhead.load(); }

uint32_t floppyLogicalDriveStrings(char* buffer, uint32_t size) {
    if (SimulatedFloppy::anyInstalled()) return SimulatedFloppy::installedRoots(buffer, size);
    return rawvolume::logicalDriveStrings(buffer, size);
}

uint32_t floppyDriveType(const char* rootPath) {
    if (SimulatedFloppy::anyInstalled()) return SimulatedFloppy::installedDriveType(rootPath);
    return rawvolume::driveType(rootPath);
}

FloppyDevice::FloppyDevice()
    : handle_(rawvolume::kInvalid), simulated_(nullptr), position_(0), cylinderBytes_(0),
      readAhead_(nullptr), aheadLength_(0), aheadUsed_(0) {}

FloppyDevice::~FloppyDevice() {
    close();
    delete[] readAhead_;
}

// While a simulated drive is installed, real drives are out of reach: tests never touch the
// host's hardware, whatever drive name they use.
bool FloppyDevice::open(const char* driveName) {
    close();
    position_ = 0;
    cylinderBytes_ = 0;
    aheadLength_ = aheadUsed_ = 0;
    if (SimulatedFloppy::anyInstalled()) {
        SimulatedFloppy* drive = SimulatedFloppy::installedFor(driveName);
        if (drive == nullptr || !drive->deviceOpen()) return false;
        simulated_ = drive;
        return true;
    }
    handle_ = rawvolume::open(driveName);
    return handle_ != rawvolume::kInvalid;
}

bool FloppyDevice::isOpen() const { return simulated_ != nullptr || handle_ != rawvolume::kInvalid; }

bool FloppyDevice::lock() {
    if (simulated_ != nullptr) return simulated_->deviceLock();
    return isOpen() && rawvolume::lock(handle_);
}

bool FloppyDevice::unlock() {
    if (simulated_ != nullptr) return simulated_->deviceUnlock();
    return isOpen() && rawvolume::unlock(handle_);
}

bool FloppyDevice::dismount() {
    dropReadAhead();
    if (simulated_ != nullptr) return simulated_->deviceDismount();
    return isOpen() && rawvolume::dismount(handle_);
}

bool FloppyDevice::queryMediaTypes(MediaGeometry* records, int capacity, bool* moreData) {
    if (moreData != nullptr) *moreData = false;
    if (capacity > kMaxMediaRecords) capacity = kMaxMediaRecords;
    if (simulated_ != nullptr) return simulated_->deviceQueryMediaTypes(records, capacity, moreData);
    return isOpen() && rawvolume::queryMediaTypes(handle_, records, capacity, moreData);
}

bool FloppyDevice::formatTracks(const FormatRequest& request) {
    dropReadAhead();
    if (simulated_ != nullptr) return simulated_->deviceFormatTracks(request);
    return isOpen() && rawvolume::formatTracks(handle_, request);
}

bool FloppyDevice::write(const void* buffer, uint32_t count, uint32_t* written) {
    *written = 0;
    if (!isOpen() || !dropReadAhead()) return false;
    bool ok = simulated_ != nullptr ? simulated_->deviceWrite(buffer, count, written)
                                    : rawvolume::write(handle_, buffer, count, written);
    if (ok) position_ += *written;
    return ok;
}

void FloppyDevice::close() {
    aheadLength_ = aheadUsed_ = 0;
    if (simulated_ != nullptr) simulated_->deviceClose();
    if (handle_ != rawvolume::kInvalid) rawvolume::close(handle_);
    simulated_ = nullptr;
    handle_ = rawvolume::kInvalid;
}

bool FloppyDevice::rawRead(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (simulated_ != nullptr) return simulated_->deviceRead(buffer, count, got);
    return isOpen() && rawvolume::read(handle_, buffer, count, got);
}

// Forgets bytes read ahead; when some were not handed out yet, the file pointer goes back to
// where the caller stands.
bool FloppyDevice::dropReadAhead() {
    bool ok = true;
    if (aheadUsed_ < aheadLength_) {
        ok = simulated_ != nullptr ? simulated_->deviceSeek(position_)
                                   : rawvolume::seek(handle_, position_);
    }
    aheadLength_ = aheadUsed_ = 0;
    return ok;
}

// A floppy loses a whole turn whenever a call asks for the sector that has just passed the head,
// which one-cluster reads do every time. So once the boot sector has told the geometry, a read
// that ends inside a cylinder fetches the rest of the cylinder in the same call and later reads
// are served from it. The caller sees exactly what the plain read would give: the same bytes and
// counts, short where the medium ends, and when the longer read fails the plain read is issued
// and decides.
bool FloppyDevice::read(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (!isOpen()) return false;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t served = 0;
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
    if (g_readAhead.load() && cylinderBytes_ != 0 && start % kSectorBytes == 0 &&
        rest % kSectorBytes == 0)
        ahead = cylinderBytes_ - static_cast<uint32_t>(start % cylinderBytes_);
    if (ahead > rest) {
        if (readAhead_ == nullptr) readAhead_ = new (std::nothrow) uint8_t[kMaxCylinderBytes];
        uint32_t n = 0;
        if (readAhead_ != nullptr && rawRead(readAhead_, ahead, &n)) {
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
        if (simulated_ != nullptr ? !simulated_->deviceSeek(start) : !rawvolume::seek(handle_, start))
            return false;
    }

    uint32_t n = 0;
    bool ok = rawRead(out + served, rest, &n);
    if (ok) position_ += n;
    *got = served + n;
    if (ok && start == 0 && n >= kSectorBytes) {
        // The boot sector's geometry, when it looks like a floppy's, sets the read-ahead unit.
        uint16_t bytes = readLe16(out + bs::kBytesPerSector);
        uint16_t sectors = readLe16(out + bs::kSectorsPerTrack);
        uint16_t heads = readLe16(out + bs::kHeads);
        if (readLe16(out + bs::kSignature) == bs::kSignatureValue && bytes == kSectorBytes &&
            sectors >= 1 && sectors <= 36 && heads >= 1 && heads <= 2)
            cylinderBytes_ = static_cast<uint32_t>(sectors) * heads * kSectorBytes;
    }
    return ok;
}
