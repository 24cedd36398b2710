#include "image/file_stamp.h"

#include <cstring>
#include <initializer_list>
#include <vector>

namespace {
// The hash goes over whole blocks of the file and leaves out blocks of zeros, so a hole and
// written zeros hash alike whatever the file system reports about them.
const uint32_t kChunk = 64 * 1024;

uint64_t mix(uint64_t hash, uint64_t value) {
    hash ^= value;
    hash *= 0x9E3779B97F4A7C15ull;
    return hash ^ (hash >> 29);
}

// Four lanes keep four multiplies in flight instead of one chain; the OR of the words tells a
// block of zeros in the same pass.
uint64_t hashBlock(uint64_t hash, uint64_t offset, const uint8_t* bytes, uint32_t length) {
    // Named lanes, not an array: kept in registers, the compiler interleaves the four chains.
    uint64_t a = offset, b = offset + 1, c = offset + 2, d = offset + 3;
    uint64_t any = 0;
    uint32_t i = 0;
    for (; i + 32 <= length; i += 32) {
        uint64_t w[4];
        std::memcpy(w, bytes + i, sizeof w);
        any |= w[0] | w[1] | w[2] | w[3];
        a = mix(a, w[0]);
        b = mix(b, w[1]);
        c = mix(c, w[2]);
        d = mix(d, w[3]);
    }
    for (; i < length; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + i, length - i < 8 ? length - i : 8);
        any |= word;
        a = mix(a, word);
    }
    if (any == 0) return hash;
    hash = mix(hash, offset);
    for (uint64_t lane : {a, b, c, d}) hash = mix(hash, lane);
    return hash;
}
}  // namespace

void StampHasher::begin(const HostFileFacts& facts) {
    started_ = true;
    spoiled_ = false;
    facts_ = facts;
    position_ = 0;
    hash_ = mix(0, facts.size);
    filled_ = 0;
}

// Blocks are whole 4 KB blocks of the file (the last one as long as the file leaves it).
void StampHasher::flushBlock() {
    hash_ = hashBlock(hash_, position_ - filled_, block_, filled_);
    filled_ = 0;
}

void StampHasher::take(uint64_t offset, const uint8_t* bytes, uint64_t count) {
    if (!started_ || spoiled_ || offset + count <= position_) return;
    if (offset > position_) {
        spoiled_ = true;
        return;
    }
    bytes += position_ - offset;
    count -= position_ - offset;
    while (count > 0) {
        // Whole blocks straight from the caller's bytes; a partial one gathered.
        if (filled_ == 0 && count >= kBlock) {
            hash_ = hashBlock(hash_, position_, bytes, kBlock);
            position_ += kBlock, bytes += kBlock, count -= kBlock;
            continue;
        }
        uint32_t n = kBlock - filled_;
        if (n > count) n = static_cast<uint32_t>(count);
        std::memcpy(block_ + filled_, bytes, n);
        filled_ += n, position_ += n, bytes += n, count -= n;
        if (filled_ == kBlock) flushBlock();
    }
}

void StampHasher::takeZeros(uint64_t offset, uint64_t count) {
    if (!started_ || spoiled_ || offset + count <= position_ || offset > position_) return;
    count -= position_ - offset;
    if (filled_ > 0) {
        uint32_t n = kBlock - filled_;
        if (n > count) n = static_cast<uint32_t>(count);
        std::memset(block_ + filled_, 0, n);
        filled_ += n, position_ += n, count -= n;
        if (filled_ == kBlock) flushBlock();
    }
    // Blocks of zeros add nothing to the hash; a last partial one is gathered as zeros.
    position_ += count - count % kBlock;
    filled_ = static_cast<uint32_t>(count % kBlock);
    if (filled_ > 0) std::memset(block_, 0, filled_);
    position_ += filled_;
}

bool StampHasher::finish(FileStamp* out) {
    if (!started_ || spoiled_ || position_ != facts_.size) return false;
    if (filled_ > 0) flushBlock();
    out->facts = facts_;
    out->hash = hash_;
    out->known = true;
    started_ = false;
    return true;
}

bool stampFile(HostFile& file, FileStamp* out) {
    HostFileFacts facts;
    if (!file.facts(&facts)) return false;
    uint64_t size = facts.size;
    StampHasher hasher;
    hasher.begin(facts);
    std::vector<uint8_t> buffer(kChunk);
    // Stretches the host calls holes are zeros and are not read.
    for (uint64_t at = 0; at < size;) {
        uint64_t start = at, end = size;
        if (!file.nextData(at, &start, &end)) start = at, end = size;
        if (start > size) start = size;
        if (start > at) hasher.takeZeros(at, start - at);
        for (at = start; at < end && at < size;) {
            uint32_t got = 0;
            if (!file.readAt(at, buffer.data(), kChunk, &got)) return false;
            hasher.take(at, buffer.data(), got);
            at += got;
            if (got < kChunk) {
                // The file ended early (it shrank): the length says so already.
                if (at < size) hasher.takeZeros(at, size - at);
                at = size;
                break;
            }
        }
    }
    return hasher.finish(out);
}

bool stampPath(const char* path, FileStamp* out) {
    HostFile file;
    return file.openForReading(path) && stampFile(file, out);
}

bool sameContent(const FileStamp& a, const FileStamp& b) {
    return a.facts.size == b.facts.size && a.facts.modified == b.facts.modified && a.hash == b.hash;
}
