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

// Four lanes keep four multiplies in flight instead of one chain; the OR of the words tells a
// block of zeros in the same pass.
uint64_t hashBlock(uint64_t hash, uint64_t offset, const uint8_t* bytes, uint32_t length) {
    uint64_t lane[4] = {offset, offset + 1, offset + 2, offset + 3};
    uint64_t any = 0;
    uint32_t i = 0;
    for (; i + 32 <= length; i += 32) {
        uint64_t word[4];
        std::memcpy(word, bytes + i, sizeof word);
        for (int k = 0; k < 4; ++k) {
            any |= word[k];
            lane[k] = mix(lane[k], word[k]);
        }
    }
    for (; i < length; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + i, length - i < 8 ? length - i : 8);
        any |= word;
        lane[0] = mix(lane[0], word);
    }
    if (any == 0) return hash;
    hash = mix(hash, offset);
    for (uint64_t l : lane) hash = mix(hash, l);
    return hash;
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
