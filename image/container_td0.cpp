// Teledisk files: a 12-byte header ("TD", or "td" when everything after it is compressed with
// adaptive-Huffman LZSS, the LZHUF scheme), an optional comment block, then per track a 4-byte
// header and per sector a 6-byte header and a data block (raw, a repeated pair, or runs).
#include <cstring>

#include "image/container.h"
#include "image/lzhuf_model.h"
#include "image/volume_image.h"

namespace {

using namespace lzhuf;

class LzhufDecoder {
public:
    LzhufDecoder(const uint8_t* in, size_t length) : in_(in), length_(length) {
        std::memset(window_, ' ', sizeof window_);
    }

    // Decodes until the input ends; false once `out` would pass `limit` bytes.
    bool decode(std::vector<uint8_t>* out, size_t limit) {
        int r = kWindow - kLookahead;
        while (bit_ < length_ * 8) {
            int c = tree_.son[kRoot];
            while (c < kTable) c = tree_.son[c + bit()];
            c -= kTable;
            tree_.update(c);
            int from = 0, count = 1;
            if (c >= 256) {
                int i = byte();
                int high = code_.upper[i] << 6;
                for (int j = code_.bits[i] - 2; j > 0; --j) i = i << 1 | bit();
                from = (r - (high | (i & 0x3F)) - 1) & (kWindow - 1);
                count = c - 255 + kThreshold;
            }
            if (out->size() + static_cast<size_t>(count) > limit) return false;
            for (int k = 0; k < count; ++k) {
                uint8_t b = c < 256 ? static_cast<uint8_t>(c) : window_[(from + k) & (kWindow - 1)];
                out->push_back(b);
                window_[r] = b;
                r = (r + 1) & (kWindow - 1);
            }
        }
        return true;
    }

private:
    // Past the end the input reads as zeros, as the original reader fed them; the loop ends once
    // every real bit is used.
    int bit() {
        size_t at = bit_++;
        return at < length_ * 8 ? (in_[at / 8] >> (7 - at % 8)) & 1 : 0;
    }
    int byte() {
        int b = 0;
        for (int i = 0; i < 8; ++i) b = b << 1 | bit();
        return b;
    }

    const uint8_t* in_;
    size_t length_;
    size_t bit_ = 0;
    Tree tree_;
    PositionCode code_;
    uint8_t window_[kWindow];
};

// The header's check: CRC-16 with polynomial 0xA097, from 0, over the first 10 bytes.
uint16_t headerCrc(const uint8_t* p, size_t n) {
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= static_cast<uint16_t>(p[i] << 8);
        for (int b = 0; b < 8; ++b)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0xA097 : crc << 1);
    }
    return crc;
}

// Sector data block encodings.
const uint8_t kRawData = 0, kRepeatedPair = 1, kRuns = 2;
// Sector flags: a data error, a deleted-data mark, no data (skipped as unallocated, or an ID
// without data).
const uint8_t kFlagError = 0x02, kFlagDeleted = 0x04, kFlagNoData = 0x30;

// One sector's data block at `at` into `sector` bytes of `pool`. False when it runs past the file
// or fills more or fewer bytes than the sector holds.
bool readSectorData(const std::vector<uint8_t>& f, size_t* at, uint32_t size,
                    std::vector<uint8_t>* pool) {
    if (f.size() - *at < 3) return false;
    uint32_t blockLength = uint32_t(f[*at] | f[*at + 1] << 8);
    uint8_t encoding = f[*at + 2];
    if (blockLength < 1 || f.size() - *at - 2 < blockLength) return false;
    const uint8_t* p = &f[*at + 3];
    const uint8_t* end = &f[*at + 2] + blockLength;
    *at += 2 + blockLength;
    size_t start = pool->size();
    auto room = [&](size_t n) { return pool->size() - start + n <= size; };
    if (encoding == kRawData) {
        if (!room(size_t(end - p))) return false;
        pool->insert(pool->end(), p, end);
    } else if (encoding == kRepeatedPair) {
        if (end - p < 4) return false;
        uint32_t count = uint32_t(p[0] | p[1] << 8);
        if (!room(2ull * count)) return false;
        for (uint32_t i = 0; i < count; ++i) pool->insert(pool->end(), p + 2, p + 4);
    } else if (encoding == kRuns) {
        while (p < end) {
            if (end - p < 2) return false;
            uint8_t kind = p[0], n = p[1];
            p += 2;
            if (kind == 0) {  // n bytes as they are
                if (end - p < n || !room(n)) return false;
                pool->insert(pool->end(), p, p + n);
                p += n;
            } else {  // a pattern of 2 * kind bytes, n times
                size_t pattern = 2u * kind;
                if (size_t(end - p) < pattern || !room(pattern * n)) return false;
                for (int i = 0; i < n; ++i) pool->insert(pool->end(), p, p + pattern);
                p += pattern;
            }
        }
    } else {
        return false;
    }
    return pool->size() - start == size;
}

// One track at `*at` (its 4-byte header, then a 6-byte header and the data of each sector);
// false when the file is damaged or cut short.
bool readTrack(const std::vector<uint8_t>& f, size_t* at, ContainerTrack* track,
               std::vector<uint8_t>* pool) {
    uint8_t count = f[*at];
    if (f.size() - *at < 4) return false;
    track->cylinder = f[*at + 1];
    track->head = f[*at + 2] & 1;
    if (f[*at + 2] > 1) return false;
    *at += 4;
    for (uint32_t i = 0; i < count; ++i) {
        if (f.size() - *at < 6) return false;
        TrackSector s;
        s.id = f[*at + 2];
        uint8_t sizeCode = f[*at + 3], flags = f[*at + 4];
        *at += 6;
        if (sizeCode > 6) return false;
        s.size = 128u << sizeCode;
        s.deleted = (flags & kFlagDeleted) != 0;
        s.error = (flags & kFlagError) != 0;
        if ((flags & kFlagNoData) == 0) {
            s.hasData = true;
            s.data = static_cast<uint32_t>(pool->size());
            if (pool->size() > 2ull * kMaxContainerImageBytes ||
                !readSectorData(f, at, s.size, pool))
                return false;
        }
        track->sectors.push_back(s);
    }
    return true;
}

// The file's bytes after the header, expanded when the file is compressed; false (with the
// message) when they cannot be.
bool expandTeledisk(VolumeImage& im, const std::vector<uint8_t>& file, std::vector<uint8_t>* f) {
    if (file[0] != 't') {
        *f = file;
        return true;
    }
    f->assign(file.begin(), file.begin() + 12);
    // Every byte of a floppy's tracks, headers and all, stays well below twice the image.
    LzhufDecoder decoder(file.data() + 12, file.size() - 12);
    if (decoder.decode(f, 2ull * kMaxContainerImageBytes)) return true;
    im.queueMessage("The Teledisk data expands past any floppy image!");
    return false;
}

}  // namespace

int decodeTeledisk(VolumeImage& im, const std::vector<uint8_t>& file, DecodedImage* out) {
    if (file.size() < 12 || headerCrc(file.data(), 10) != (file[10] | file[11] << 8)) {
        im.queueMessage("The Teledisk header is damaged!");
        return kResultBadImage;
    }
    // The advanced compression of old versions (before 2.0) is another scheme.
    if (file[0] == 't' && file[4] < 20) {
        im.queueMessage("Teledisk files compressed by versions before 2.0 are not read!");
        return kResultBadImage;
    }
    std::vector<uint8_t> f;
    if (!expandTeledisk(im, file, &f)) return kResultBadImage;
    size_t at = 12;
    bool sound = true;
    if (file[7] & 0x80) {  // a comment block: 10-byte header with its length
        sound = f.size() - at >= 10;
        if (sound) at += 10 + uint32_t(f[at + 2] | f[at + 3] << 8);
        sound = sound && at <= f.size();
    }
    std::vector<ContainerTrack> tracks;
    std::vector<uint8_t> pool;
    // The tracks, up to the count 0xFF that ends them.
    while (sound && at < f.size() && f[at] != 0xFF) {
        ContainerTrack track;
        sound = readTrack(f, &at, &track, &pool);
        tracks.push_back(std::move(track));
    }
    if (sound && at < f.size()) return assembleTracks(im, tracks, pool, out);
    im.queueMessage("The Teledisk file is damaged or cut short!");
    return kResultBadImage;
}
