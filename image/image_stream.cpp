#include "image/image_stream.h"

#include <cstring>
#include <new>

#include "image/volume_image.h"

namespace {
// The first read takes this many bytes: the boot sector and the system areas after it on every
// floppy format (a 2.88 MB disk's end at 17.5 KB), so that they cost one call.
const uint32_t kHeadBytes = 32 * 1024;
}  // namespace

ImageSource::ImageSource(HostFile& file)
    : file_(file), head_(new (std::nothrow) uint8_t[kHeadBytes]), headLength_(0), started_(false) {}

int ImageSource::open(VolumeImage& im, const char* member) {
    // The head the first read would take anyway tells the container.
    uint8_t small[16];
    uint8_t* head = head_ ? head_.get() : small;
    uint32_t length = 0;
    if (!readFile(0, head, head_ ? kHeadBytes : sizeof small, &length)) {
        im.queueMessage("Could not read bootsector!");
        return kResultHostIo;
    }
    if (head_) {
        started_ = true;
        headLength_ = length;
    }
    ContainerKind kind = detectContainer(head, length);
    if (kind == kContainerRaw) return kResultOk;
    if (kind != kContainerZip && kind != kContainerGzip) {
        inMemory_ = true;
        return decodeContainer(im, file_, kind, member, &decoded_);
    }
    decoded_.state.kind = kind;
    int result = readWholeFile(im, file_, &packed_);
    PackedStream packed;
    packed.length = packed_.size();
    packed.gzip = kind == kContainerGzip;
    if (result == kResultOk && kind == kContainerZip)
        result = locateZipMember(im, packed_, member, &decoded_, &packed);
    if (result != kResultOk) return result;
    // A first pass checks the whole stream (its end, size and CRC, the bound) in a few
    // milliseconds: a damaged or oversized file is refused for what it is before any of it is
    // taken for the volume.
    InflateStream check;
    if (!check.start(im, packed_.data(), packed) || check.finish() != kResultOk)
        return kResultBadImage;
    stream_.reset(new InflateStream);
    started_ = head_ != nullptr;
    headLength_ = 0;
    if (!stream_->start(im, packed_.data(), packed) ||
        (head_ && !stream_->read(0, head_.get(), kHeadBytes, &headLength_)))
        return kResultBadImage;
    return kResultOk;
}

int ImageSource::settle(VolumeImage& im) {
    if (stream_) {
        int result = stream_->finish();
        stream_.reset();
        std::vector<uint8_t>().swap(packed_);
        if (result != kResultOk) return result;
    }
    return settleContainerImage(im, decoded_);
}

bool ImageSource::readAt(uint32_t offset, void* into, uint32_t count, uint32_t* got) {
    *got = 0;
    if (inMemory_) {
        const std::vector<uint8_t>& bytes = decoded_.bytes;
        uint32_t n = offset < bytes.size() ? static_cast<uint32_t>(bytes.size() - offset) : 0;
        if (n > count) n = count;
        if (n > 0) std::memcpy(into, bytes.data() + offset, n);
        *got = n;
        return true;
    }
    if (!started_ && head_) {
        started_ = true;
        if (!readFile(0, head_.get(), kHeadBytes, &headLength_)) return false;
    }
    uint32_t inHead = offset < headLength_ ? headLength_ - offset : 0;
    if (inHead > count) inHead = count;
    if (inHead > 0) std::memcpy(into, head_.get() + offset, inHead);
    *got = inHead;
    // A head shorter than asked for was the whole file.
    if (inHead == count || (started_ && headLength_ < kHeadBytes)) return true;
    uint32_t more = 0;
    uint8_t* rest = static_cast<uint8_t*>(into) + inHead;
    bool ok = stream_ ? stream_->read(offset + inHead, rest, count - inHead, &more)
                      : readFile(offset + inHead, rest, count - inHead, &more);
    *got += more;
    return ok;
}

bool ImageSource::readAll(uint32_t offset, void* into, uint32_t count) {
    uint32_t got = 0;
    return readAt(offset, into, count, &got) && got == count;
}

bool ImageSource::nextData(uint64_t offset, uint64_t* start, uint64_t* end) {
    if (inMemory_ || stream_ || !file_.nextData(offset, start, end)) return false;
    if (hasher_ && *start > offset) hasher_->takeZeros(offset, *start - offset);
    return true;
}

bool ImageSource::readFile(uint32_t offset, void* into, uint32_t count, uint32_t* got) {
    bool ok = file_.readAt(offset, into, count, got);
    if (ok && hasher_) hasher_->take(offset, static_cast<const uint8_t*>(into), *got);
    return ok;
}

bool ImageSink::write(const void* bytes, uint32_t count, uint32_t* written) {
    if (kind_ == kContainerRaw) return file_.write(bytes, count, written);
    const uint8_t* from = static_cast<const uint8_t*>(bytes);
    gathered_.insert(gathered_.end(), from, from + count);
    if (written != nullptr) *written = count;
    return true;
}

bool ImageSink::skip(uint32_t count) {
    if (kind_ != kContainerRaw) {
        gathered_.resize(gathered_.size() + count, 0);
        return true;
    }
    if (!overwriting_) return file_.skip(count);
    static const uint8_t kZeros[4096] = {};
    for (uint32_t n = 0; count > 0; count -= n) {
        n = count < sizeof kZeros ? count : static_cast<uint32_t>(sizeof kZeros);
        if (!file_.write(kZeros, n)) return false;
    }
    return true;
}

bool ImageSink::endHere() { return kind_ == kContainerRaw ? file_.endHere() : true; }

int ImageSink::finish(VolumeImage& im, const char* path) {
    if (kind_ == kContainerRaw) return kResultOk;
    int result = encodeContainer(im, gathered_, kind_, path, file_);
    std::vector<uint8_t>().swap(gathered_);
    return result;
}

