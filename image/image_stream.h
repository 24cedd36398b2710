// What the load and save passes (image/image_file.cpp) read an image's bytes from and write them
// to. Both sit straight on the host file today; a container format (zip, gzip, ImageDisk,
// Teledisk) goes in here, serving the same calls from the volume bytes it decodes, or taking them
// to encode.
#ifndef TOLVEN_IMAGE_IMAGE_STREAM_H
#define TOLVEN_IMAGE_IMAGE_STREAM_H

#include <cstdint>
#include <memory>
#include <vector>

#include "image/container.h"
#include "image/file_stamp.h"
#include "platform/host_file.h"

class ImageSource {
public:
    explicit ImageSource(HostFile& file);
    // A file whose first bytes announce a container: a ZIP or gzip file is read into memory
    // and inflated as the reads come, a sector container decoded whole; a raw file stays read
    // where it lies. 0 or decodeContainer's code.
    int open(VolumeImage& im, const char* member);
    // After the load pass: a stream's check and the container's state (settleContainerImage).
    int settle(VolumeImage& im);
    DecodedImage& decoded() { return decoded_; }
    // `*got` bytes at `offset` arrived (fewer only at the end of the image); false when a read
    // call failed.
    bool readAt(uint32_t offset, void* into, uint32_t count, uint32_t* got);
    // Exactly `count` bytes; false on a failed call or a short count.
    bool readAll(uint32_t offset, void* into, uint32_t count);
    // The first stretch of data at or after `offset`, as HostFile::nextData: bytes outside such
    // stretches are zeros and need not be read.
    bool nextData(uint64_t offset, uint64_t* start, uint64_t* end);
    // The file's bytes and holes, as the pass reads them, go to `hasher` too.
    void stampWith(StampHasher* hasher) { hasher_ = hasher; }

private:
    bool readFile(uint32_t offset, void* into, uint32_t count, uint32_t* got);

    HostFile& file_;
    StampHasher* hasher_ = nullptr;
    // The first read takes the boot sector and the system areas after it in one call, and the
    // reads of those areas are served from it; not cleared: only what was read is served.
    std::unique_ptr<uint8_t[]> head_;
    uint32_t headLength_;
    bool started_;
    DecodedImage decoded_;
    bool inMemory_ = false;
    std::vector<uint8_t> packed_;
    std::unique_ptr<InflateStream> stream_;
};

// A raw image goes straight to the file; any other container gathers the bytes and encodes them
// into the file at finish.
class ImageSink {
public:
    // `overwriting`: the file holds old bytes (a save in place), so zeros are written out.
    ImageSink(HostFile& file, ContainerKind kind, bool overwriting = false)
        : file_(file), kind_(kind), overwriting_(overwriting) {}
    // All `count` bytes, or false with `*written` (may be null) saying how many went.
    bool write(const void* bytes, uint32_t count, uint32_t* written);
    // Passes `count` bytes of zeros over: a hole, where the host keeps them, in a new file.
    bool skip(uint32_t count);
    // Ends the image at the position, with zeros up to it.
    bool endHere();
    // After the pass: a container's encoding into the file. 0 or encodeContainer's code.
    int finish(VolumeImage& im, const char* path);

private:
    HostFile& file_;
    ContainerKind kind_;
    bool overwriting_;
    std::vector<uint8_t> gathered_;
};

#endif
