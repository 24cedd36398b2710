// What the load and save passes (image/image_file.cpp) read an image's bytes from and write them
// to. Both sit straight on the host file today; a container format (zip, gzip, ImageDisk,
// Teledisk) goes in here, serving the same calls from the volume bytes it decodes, or taking them
// to encode.
#ifndef TOLVEN_IMAGE_IMAGE_STREAM_H
#define TOLVEN_IMAGE_IMAGE_STREAM_H

#include <cstdint>
#include <memory>

#include "platform/host_file.h"

class ImageSource {
public:
    explicit ImageSource(HostFile& file);
    // `*got` bytes at `offset` arrived (fewer only at the end of the image); false when a read
    // call failed.
    bool readAt(uint32_t offset, void* into, uint32_t count, uint32_t* got);
    // Exactly `count` bytes; false on a failed call or a short count.
    bool readAll(uint32_t offset, void* into, uint32_t count);
    // The first stretch of data at or after `offset`, as HostFile::nextData: bytes outside such
    // stretches are zeros and need not be read.
    bool nextData(uint64_t offset, uint64_t* start, uint64_t* end);

private:
    HostFile& file_;
    // The first read takes the boot sector and the system areas after it in one call, and the
    // reads of those areas are served from it; not cleared: only what was read is served.
    std::unique_ptr<uint8_t[]> head_;
    uint32_t headLength_;
    bool started_;
};

class ImageSink {
public:
    // `overwriting`: the file holds old bytes (a save in place), so zeros are written out.
    explicit ImageSink(HostFile& file, bool overwriting = false)
        : file_(file), overwriting_(overwriting) {}
    // All `count` bytes, or false with `*written` (may be null) saying how many went.
    bool write(const void* bytes, uint32_t count, uint32_t* written) {
        return file_.write(bytes, count, written);
    }
    // Passes `count` bytes of zeros over: a hole, where the host keeps them, in a new file.
    bool skip(uint32_t count);
    // Ends the image at the position, with zeros up to it.
    bool endHere() { return file_.endHere(); }

private:
    HostFile& file_;
    bool overwriting_;
};

#endif
