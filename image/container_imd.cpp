// ImageDisk files: an ASCII header ended by 0x1A, then one record per track (mode, cylinder, head,
// sector count, size code, the sector number map, optional cylinder and head maps, then a data
// record per sector: none, the bytes, or one fill byte, each possibly with a deleted-data mark
// or a data error).
#include <cstdio>
#include <cstring>
#include <ctime>

#include "image/container.h"
#include "image/volume_image.h"

namespace {
const uint8_t kCommentEnd = 0x1A;
const uint8_t kHasCylinderMap = 0x80;
const uint8_t kHasHeadMap = 0x40;
const uint8_t kSizeTable = 0xFF;  // a size code meaning "a table of sizes follows"

enum RecordRead { kRecordRead, kRecordDamaged, kRecordTooLarge };

// One sector's data record at `*at`: none, the bytes, or one fill byte, into `pool`.
RecordRead readSectorRecord(const std::vector<uint8_t>& f, size_t* at, uint64_t* declared,
                            TrackSector* s, std::vector<uint8_t>* pool) {
    if (s->size > 8192 || *at >= f.size()) return kRecordDamaged;
    uint8_t type = f[(*at)++];
    if (type > 8) return kRecordDamaged;
    *declared += s->size;
    if (*declared > kMaxContainerImageBytes * 2ull) return kRecordTooLarge;
    if (type == 0) return kRecordRead;
    s->hasData = true;
    s->deleted = type == 3 || type == 4 || type == 7 || type == 8;
    s->error = type >= 5;
    s->data = static_cast<uint32_t>(pool->size());
    if (type % 2 == 1) {  // the bytes themselves
        if (f.size() - *at < s->size) return kRecordDamaged;
        pool->insert(pool->end(), f.begin() + static_cast<long>(*at),
                     f.begin() + static_cast<long>(*at + s->size));
        *at += s->size;
    } else {  // one fill byte
        if (*at >= f.size()) return kRecordDamaged;
        pool->insert(pool->end(), s->size, f[(*at)++]);
    }
    return kRecordRead;
}

// One track record at `*at`: its header and maps, then a data record per sector.
RecordRead readTrackRecord(const std::vector<uint8_t>& f, size_t* at, uint64_t* declared,
                           ContainerTrack* track, std::vector<uint8_t>* pool) {
    if (f.size() - *at < 5) return kRecordDamaged;
    uint8_t mode = f[*at], cylinder = f[*at + 1], headByte = f[*at + 2], count = f[*at + 3];
    uint8_t sizeCode = f[*at + 4];
    *at += 5;
    if (mode > 5 || (headByte & 0x3F) > 1 || (sizeCode > 6 && sizeCode != kSizeTable))
        return kRecordDamaged;
    size_t maps = count * (1u + ((headByte & kHasCylinderMap) ? 1 : 0) +
                           ((headByte & kHasHeadMap) ? 1 : 0) + (sizeCode == kSizeTable ? 2 : 0));
    if (f.size() - *at < maps) return kRecordDamaged;
    const uint8_t* numbers = &f[*at];
    const uint8_t* sizes = &f[*at + maps - (sizeCode == kSizeTable ? 2u * count : 0)];
    *at += maps;
    track->cylinder = cylinder;
    track->head = headByte & 1;
    for (uint32_t i = 0; i < count; ++i) {
        TrackSector s;
        s.id = numbers[i];
        s.size = sizeCode == kSizeTable ? uint32_t(sizes[2 * i] | sizes[2 * i + 1] << 8)
                                        : 128u << sizeCode;
        RecordRead read = readSectorRecord(f, at, declared, &s, pool);
        if (read != kRecordRead) return read;
        track->sectors.push_back(s);
    }
    return kRecordRead;
}
}  // namespace

int decodeImageDisk(VolumeImage& im, const std::vector<uint8_t>& f, DecodedImage* out) {
    const uint8_t* end =
        f.empty() ? nullptr : static_cast<const uint8_t*>(std::memchr(f.data(), kCommentEnd, f.size()));
    if (end == nullptr) {
        im.queueMessage("The ImageDisk header has no end!");
        return kResultBadImage;
    }
    size_t at = static_cast<size_t>(end - f.data()) + 1;
    // The first line is the program's signature and date; the rest is the user's comment.
    const uint8_t* lineEnd = static_cast<const uint8_t*>(std::memchr(f.data(), '\n', at - 1));
    if (lineEnd != nullptr) out->state.comment.assign(lineEnd + 1, end);
    std::vector<ContainerTrack> tracks;
    std::vector<uint8_t> pool;
    uint64_t declared = 0;
    while (at < f.size()) {
        ContainerTrack track;
        RecordRead read = readTrackRecord(f, &at, &declared, &track, &pool);
        if (read == kRecordTooLarge) {
            im.queueMessage("The ImageDisk tracks hold more than any floppy!");
            return kResultBadImage;
        }
        if (read == kRecordDamaged) {
            im.queueMessage("The ImageDisk file is damaged or cut short!");
            return kResultBadImage;
        }
        tracks.push_back(std::move(track));
    }
    return assembleTracks(im, tracks, pool, out);
}

int encodeImageDisk(VolumeImage& im, const std::vector<uint8_t>& bytes, std::vector<uint8_t>* out) {
    // The geometry is the boot sector's: the volume is laid out track by track as it declares.
    uint32_t perTrack = bytes.size() >= 512 ? uint32_t(bytes[24] | bytes[25] << 8) : 0;
    uint32_t heads = bytes.size() >= 512 ? uint32_t(bytes[26] | bytes[27] << 8) : 0;
    if (perTrack == 0 || perTrack > 255 || heads == 0 || heads > 2 ||
        bytes.size() % 512 != 0 || bytes.size() / 512 / perTrack / heads > 255) {
        im.queueMessage("The boot sector's geometry does not fit an ImageDisk file!");
        return kResultBadImage;
    }
    std::time_t now = std::time(nullptr);
    std::tm t = *std::localtime(&now);
    char head[64];
    std::snprintf(head, sizeof head, "IMD 1.18: %02d/%02d/%04d %02d:%02d:%02d\r\n", t.tm_mday,
                  t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    out->insert(out->end(), head, head + std::strlen(head));
    out->insert(out->end(), im.container.comment.begin(), im.container.comment.end());
    out->push_back(kCommentEnd);
    // Mode: MFM at 500 kbps for high-density tracks, 250 kbps for the others.
    uint8_t mode = perTrack >= 15 ? 3 : 5;
    uint32_t sectors = static_cast<uint32_t>(bytes.size() / 512);
    for (uint32_t first = 0, track = 0; first < sectors; first += perTrack, ++track) {
        uint32_t count = sectors - first < perTrack ? sectors - first : perTrack;
        uint8_t record[5] = {mode, static_cast<uint8_t>(track / heads),
                             static_cast<uint8_t>(track % heads), static_cast<uint8_t>(count), 2};
        out->insert(out->end(), record, record + 5);
        for (uint32_t i = 1; i <= count; ++i) out->push_back(static_cast<uint8_t>(i));
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* s = &bytes[size_t(first + i) * 512];
            if (std::memcmp(s, s + 1, 511) == 0) {
                out->push_back(2);
                out->push_back(s[0]);
            } else {
                out->push_back(1);
                out->insert(out->end(), s, s + 512);
            }
        }
    }
    return kResultOk;
}
