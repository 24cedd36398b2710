#include "image/file_stamp.h"

#include <cstring>
#include <vector>

namespace {
// The hash goes over whole blocks of the file and leaves out blocks of zeros, so a hole and
// written zeros hash alike whatever the file system reports about them.
const uint32_t kBlock = 4096;
const uint32_t kChunk = 16 * kBlock;

uint64_t mix(uint64_t hash, uint64_t value) {
    hash ^= value;
    hash *= 0x9E3779B97F4A7C15ull;
    return hash ^ (hash >> 29);
}

uint64_t hashBlock(uint64_t hash, uint64_t offset, const uint8_t* bytes, uint32_t length) {
    bool zero = true;
    for (uint32_t i = 0; i < length && zero; ++i) zero = bytes[i] == 0;
    if (zero) return hash;
    hash = mix(hash, offset);
    uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        hash = mix(hash, word);
    }
    uint64_t rest = 0;
    std::memcpy(&rest, bytes + i, length - i);
    return mix(hash, rest);
}
}  // namespace

bool stampFile(HostFile& file, FileStamp* out) {
    FileStamp stamp;
    if (!file.facts(&stamp.facts)) return false;
    uint64_t size = stamp.facts.size;
    uint64_t hash = mix(0, size);
    std::vector<uint8_t> buffer(kChunk);
    // `at` stays on a block boundary; stretches the host calls holes are passed over.
    for (uint64_t at = 0; at < size;) {
        uint64_t start = at, end = size;
        if (!file.nextData(at, &start, &end)) start = at, end = size;
        if (start >= size) break;
        start -= start % kBlock;
        if (start < at) start = at;
        for (at = start; at < end && at < size;) {
            uint32_t got = 0;
            if (!file.readAt(at, buffer.data(), kChunk, &got)) return false;
            for (uint32_t b = 0; b < got; b += kBlock)
                hash = hashBlock(hash, at + b, buffer.data() + b,
                                 got - b < kBlock ? got - b : kBlock);
            at += got;
            if (got < kChunk) {
                at = size;  // the file ended early (it shrank): the length says so already
                break;
            }
        }
    }
    stamp.hash = hash;
    stamp.known = true;
    *out = stamp;
    return true;
}

bool stampPath(const char* path, FileStamp* out) {
    HostFile file;
    return file.openForReading(path) && stampFile(file, out);
}

bool sameContent(const FileStamp& a, const FileStamp& b) {
    return a.facts.size == b.facts.size && a.facts.modified == b.facts.modified && a.hash == b.hash;
}
