// What a save checks before writing over the file an image came from: that the file on the disk
// is still the one that was read. Its length and last write time, and a hash of its bytes, since
// a write within the file system's time granularity leaves the time as it was.
#ifndef TOLVEN_IMAGE_FILE_STAMP_H
#define TOLVEN_IMAGE_FILE_STAMP_H

#include <cstdint>

#include "platform/host_file.h"

struct FileStamp {
    bool known = false;  // false: no file to compare with (a new image, or one from a floppy)
    HostFileFacts facts = {};
    uint64_t hash = 0;
};

// Stamps a file from its bytes as they pass by in order, so a pass that reads the whole file
// anyway (a load) need not read it again. Offsets behind the position are bytes already taken;
// one ahead of it (a gap never said to be zeros) spoils the stamp, and the file is read again.
class StampHasher {
public:
    void begin(const HostFileFacts& facts);
    void take(uint64_t offset, const uint8_t* bytes, uint64_t count);
    // `count` bytes at `offset` are zeros (a hole the host reported).
    void takeZeros(uint64_t offset, uint64_t count);
    // The stamp, when every byte up to the length passed by; false otherwise.
    bool finish(FileStamp* out);

private:
    static const uint32_t kBlock = 4096;
    void flushBlock();
    bool started_ = false;
    bool spoiled_ = false;
    HostFileFacts facts_ = {};
    uint64_t position_ = 0;  // bytes taken
    uint64_t hash_ = 0;
    uint32_t filled_ = 0;  // bytes of the block being gathered
    uint8_t block_[kBlock];
};

// Reads the open file to its end and stamps it; false when the host could not say or a read
// failed.
bool stampFile(HostFile& file, FileStamp* out);
// The same for the file now at `path`; false as above or when there is none.
bool stampPath(const char* path, FileStamp* out);
// Same length, time and bytes.
bool sameContent(const FileStamp& a, const FileStamp& b);

#endif
