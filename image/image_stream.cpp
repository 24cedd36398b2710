#include "image/image_stream.h"

#include <cstring>
#include <new>

namespace {
// The first read takes this many bytes: the boot sector and the system areas after it on every
// floppy format (a 2.88 MB disk's end at 17.5 KB), so that they cost one call.
const uint32_t kHeadBytes = 32 * 1024;
}  // namespace

ImageSource::ImageSource(HostFile& file)
    : file_(file), head_(new (std::nothrow) uint8_t[kHeadBytes]), headLength_(0), started_(false) {}

bool ImageSource::readAt(uint32_t offset, void* into, uint32_t count, uint32_t* got) {
    *got = 0;
    if (!started_ && head_) {
        started_ = true;
        if (!file_.readAt(0, head_.get(), kHeadBytes, &headLength_)) return false;
    }
    uint32_t inHead = offset < headLength_ ? headLength_ - offset : 0;
    if (inHead > count) inHead = count;
    if (inHead > 0) std::memcpy(into, head_.get() + offset, inHead);
    *got = inHead;
    // A head shorter than asked for was the whole file.
    if (inHead == count || (started_ && headLength_ < kHeadBytes)) return true;
    uint32_t more = 0;
    bool ok = file_.readAt(offset + inHead, static_cast<uint8_t*>(into) + inHead, count - inHead,
                           &more);
    *got += more;
    return ok;
}

bool ImageSource::readAll(uint32_t offset, void* into, uint32_t count) {
    uint32_t got = 0;
    return readAt(offset, into, count, &got) && got == count;
}

bool ImageSource::nextData(uint64_t offset, uint64_t* start, uint64_t* end) {
    return file_.nextData(offset, start, end);
}

bool ImageSink::skip(uint32_t count) {
    if (!overwriting_) return file_.skip(count);
    static const uint8_t kZeros[4096] = {};
    for (uint32_t n = 0; count > 0; count -= n) {
        n = count < sizeof kZeros ? count : static_cast<uint32_t>(sizeof kZeros);
        if (!file_.write(kZeros, n)) return false;
    }
    return true;
}
