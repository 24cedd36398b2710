// ZIP archives (one image member, stored or deflated) and gzip streams, on zlib's deflate.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "image/container.h"
#include "image/volume_image.h"

namespace {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>* out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

const uint32_t kLocalHeader = 0x04034B50;
const uint32_t kCentralHeader = 0x02014B50;
const uint32_t kEndOfDirectory = 0x06054B50;

uint32_t crcOf(const uint8_t* bytes, size_t length) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (length > 0) {
        uInt n = static_cast<uInt>(length > (1u << 30) ? (1u << 30) : length);
        crc = crc32(crc, bytes, n);
        bytes += n;
        length -= n;
    }
    return static_cast<uint32_t>(crc);
}

bool deflateAll(const std::vector<uint8_t>& bytes, bool gzip, std::vector<uint8_t>* out) {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (deflateInit2(&z, 9, Z_DEFLATED, gzip ? 16 + MAX_WBITS : -MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    size_t start = out->size();
    out->resize(start + deflateBound(&z, static_cast<uLong>(bytes.size())) + 64);
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = out->data() + start;
    z.avail_out = static_cast<uInt>(out->size() - start);
    int r = deflate(&z, Z_FINISH);
    out->resize(start + z.total_out);
    deflateEnd(&z);
    return r == Z_STREAM_END;
}

struct ZipMember {
    std::string name;
    uint16_t flags, method;
    uint32_t crc, packed, size, localOffset;
    size_t entry, entryLength;  // the central entry's bytes
};

// The central directory's members, every field checked against the archive's length.
bool readCentralDirectory(const std::vector<uint8_t>& f, std::vector<ZipMember>* members) {
    if (f.size() < 22) return false;
    // The end record sits within the last 64 KB and 22 bytes (its comment at most 64 KB).
    size_t lowest = f.size() > 65557 ? f.size() - 65557 : 0;
    size_t end = f.size() - 22 + 1;
    while (end-- > lowest)
        if (le32(&f[end]) == kEndOfDirectory) break;
    if (end == static_cast<size_t>(-1) || end < lowest || le32(&f[end]) != kEndOfDirectory)
        return false;
    uint32_t count = le16(&f[end + 10]);
    uint32_t dirSize = le32(&f[end + 12]), dirOffset = le32(&f[end + 16]);
    if (dirOffset > end || dirSize > end - dirOffset || count > dirSize / 46) return false;
    size_t at = dirOffset;
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 46 > dirOffset + dirSize || le32(&f[at]) != kCentralHeader) return false;
        size_t nameLength = le16(&f[at + 28]);
        size_t next = at + 46 + nameLength + le16(&f[at + 30]) + le16(&f[at + 32]);
        if (next > dirOffset + dirSize) return false;
        ZipMember m;
        m.flags = le16(&f[at + 8]);
        m.method = le16(&f[at + 10]);
        m.crc = le32(&f[at + 16]);
        m.packed = le32(&f[at + 20]);
        m.size = le32(&f[at + 24]);
        m.localOffset = le32(&f[at + 42]);
        m.name.assign(reinterpret_cast<const char*>(&f[at + 46]), nameLength);
        if (m.name.find('\0') != std::string::npos) return false;  // no name holds one
        m.entry = at;
        m.entryLength = next - at;
        members->push_back(m);
        at = next;
    }
    return true;
}

}  // namespace

namespace {

// The member named, or the only image; 0 with `*chosen` set, else the refusal (690 when the
// user must choose, the names in `out->members`).
int chooseZipMember(VolumeImage& im, const std::vector<ZipMember>& members, const char* member,
                    DecodedImage* out, const ZipMember** chosen) {
    *chosen = nullptr;
    for (const ZipMember& m : members)
        if (member != nullptr && m.name == member) *chosen = &m;
    if (member != nullptr && *chosen == nullptr) {
        im.queueMessage("The ZIP archive holds no member \"%s\"!", member);
        return kResultBadImage;
    }
    if (*chosen == nullptr && members.size() == 1) *chosen = &members[0];
    if (*chosen != nullptr) return kResultOk;
    if (members.empty()) {
        im.queueMessage("The ZIP archive holds no image!");
        return kResultBadImage;
    }
    for (const ZipMember& m : members) out->members.push_back(m.name);
    im.queueMessage("The ZIP archive holds %u images: choose one!",
                    static_cast<unsigned>(members.size()));
    return kResultChooseMember;
}

// Every member but the chosen one (folders too), kept whole to be written back.
int keepOtherMembers(VolumeImage& im, const std::vector<uint8_t>& f,
                     const std::vector<ZipMember>& all, const ZipMember& m, DecodedImage* out) {
    for (const ZipMember& o : all) {
        if (o.entry == m.entry) continue;
        size_t local = o.localOffset, start = local + 30;
        if (start > f.size() || le32(&f[local]) != kLocalHeader) {
            im.queueMessage("The ZIP archive is damaged!");
            return kResultBadImage;
        }
        uint64_t stop = start + le16(&f[local + 26]) + le16(&f[local + 28]) + uint64_t(o.packed);
        // A descriptor after the data: crc and sizes, with or without its signature.
        if ((o.flags & 8) != 0)
            stop += stop + 4 <= f.size() && le32(&f[size_t(stop)]) == 0x08074B50 ? 16 : 12;
        if (stop > f.size()) {
            im.queueMessage("The ZIP archive is cut short!");
            return kResultBadImage;
        }
        uint32_t offset = static_cast<uint32_t>(out->state.zipOthers.size());
        out->state.zipOthers.insert(out->state.zipOthers.end(), f.begin() + static_cast<long>(local),
                                    f.begin() + static_cast<long>(stop));
        size_t entryAt = out->state.zipOtherEntries.size();
        out->state.zipOtherEntries.insert(out->state.zipOtherEntries.end(),
                                          f.begin() + static_cast<long>(o.entry),
                                          f.begin() + static_cast<long>(o.entry + o.entryLength));
        for (int i = 0; i < 4; ++i)
            out->state.zipOtherEntries[entryAt + 42 + size_t(i)] =
                static_cast<uint8_t>(offset >> (8 * i));
        ++out->state.zipOtherCount;
    }
    return kResultOk;
}

}  // namespace

int locateZipMember(VolumeImage& im, const std::vector<uint8_t>& f, const char* member,
                    DecodedImage* out, PackedStream* packed) {
    std::vector<ZipMember> all;
    if (!readCentralDirectory(f, &all)) {
        im.queueMessage("The ZIP archive is damaged!");
        return kResultBadImage;
    }
    std::vector<ZipMember> members;
    for (const ZipMember& m : all)
        if (!m.name.empty() && m.name.back() != '/') members.push_back(m);
    const ZipMember* chosen = nullptr;
    int result = chooseZipMember(im, members, member, out, &chosen);
    if (result != kResultOk) return result;
    const ZipMember& m = *chosen;
    if (m.size > kMaxContainerImageBytes) {
        im.queueMessage("\"%s\" inflates past the largest floppy image!", m.name.c_str());
        return kResultBadImage;
    }
    if ((m.flags & 1) != 0 || (m.method != 0 && m.method != 8)) {
        im.queueMessage("\"%s\" is encrypted or compressed in a way not read here!", m.name.c_str());
        return kResultBadImage;
    }
    size_t at = m.localOffset;
    if (at + 30 > f.size() || le32(&f[at]) != kLocalHeader) {
        im.queueMessage("The ZIP archive is damaged!");
        return kResultBadImage;
    }
    size_t data = at + 30 + le16(&f[at + 26]) + le16(&f[at + 28]);
    if (data > f.size() || m.packed > f.size() - data) {
        im.queueMessage("The ZIP archive is cut short!");
        return kResultBadImage;
    }
    packed->offset = data;
    packed->length = m.packed;
    packed->stored = m.method == 0;
    packed->size = m.size;
    packed->crc = m.crc;
    packed->name = m.name;
    out->state.member = m.name;
    return keepOtherMembers(im, f, all, m, out);
}

namespace {

// The whole stream into `out`, for what wants the image at once.
int inflateWhole(VolumeImage& im, const std::vector<uint8_t>& f, const PackedStream& packed,
                 std::vector<uint8_t>* out) {
    InflateStream stream;
    if (!stream.start(im, f.data(), packed)) return kResultBadImage;
    out->resize(packed.gzip ? 64 * 1024 : std::max<uint32_t>(packed.size, 1));
    for (uint32_t done = 0;;) {
        uint32_t room = static_cast<uint32_t>(out->size()) - done, got = 0;
        if (!stream.read(done, out->data() + done, room, &got)) return kResultBadImage;
        done += got;
        if (got < room) {
            out->resize(done);
            return stream.finish();
        }
        out->resize(std::min<size_t>(out->size() * 2, kMaxContainerImageBytes + 1u));
    }
}

}  // namespace

int decodeZip(VolumeImage& im, const std::vector<uint8_t>& f, const char* member,
              DecodedImage* out) {
    PackedStream packed;
    int result = locateZipMember(im, f, member, out, &packed);
    return result == kResultOk ? inflateWhole(im, f, packed, &out->bytes) : result;
}

int decodeGzip(VolumeImage& im, const std::vector<uint8_t>& f, DecodedImage* out) {
    PackedStream packed;
    packed.length = f.size();
    packed.gzip = true;
    return inflateWhole(im, f, packed, &out->bytes);
}

struct InflateStream::State {
    VolumeImage* im = nullptr;
    const uint8_t* in = nullptr;
    PackedStream packed;
    z_stream z;
    bool zlib = false;  // z holds an inflate state
    uint64_t produced = 0;
    uLong crc = 0;
    bool ended = false;
    bool failed = false;

    bool fail(const char* why) {
        if (!failed) {
            if (packed.gzip) im->queueMessage("The gzip stream %s!", why);
            else im->queueMessage("\"%s\" in the ZIP archive %s!", packed.name.c_str(), why);
        }
        failed = true;
        return false;
    }
    // Up to `count` bytes of the stream into `to`; fewer only at its end.
    bool pull(uint8_t* to, uint32_t count, uint32_t* got) {
        uint32_t done = 0;
        if (packed.stored) {
            uint64_t left = packed.length - produced;
            done = static_cast<uint32_t>(left < count ? left : count);
            std::memcpy(to, in + packed.offset + produced, done);
            ended = done < count;
        }
        while (!packed.stored && !ended && done < count) {
            z.next_out = to + done;
            z.avail_out = count - done;
            int r = inflate(&z, Z_NO_FLUSH);
            done = count - z.avail_out;
            if (r == Z_STREAM_END) {
                // gzip -c of several files joins members: the next one goes on.
                if (packed.gzip && z.avail_in > 0 && z.next_in[0] == 0x1F && inflateReset(&z) == Z_OK)
                    continue;
                ended = true;
            } else if (r != Z_OK) {
                return fail(z.avail_in == 0 ? "is damaged or cut short" : "is damaged");
            }
        }
        crc = crc32(crc, to, done);
        produced += done;
        *got = done;
        if (produced > kMaxContainerImageBytes) return fail("inflates past the largest floppy image");
        if (!packed.gzip && produced > packed.size) return fail("is damaged");
        return true;
    }
};

InflateStream::InflateStream() = default;

InflateStream::~InflateStream() {
    if (s_ && s_->zlib) inflateEnd(&s_->z);
}

bool InflateStream::start(VolumeImage& im, const uint8_t* file, const PackedStream& packed) {
    s_.reset(new State);
    s_->im = &im;
    s_->in = file;
    s_->packed = packed;
    s_->crc = crc32(0L, Z_NULL, 0);
    if (packed.stored) return true;
    std::memset(&s_->z, 0, sizeof s_->z);
    if (inflateInit2(&s_->z, packed.gzip ? 16 + MAX_WBITS : -MAX_WBITS) != Z_OK)
        return s_->fail("cannot be inflated");
    s_->zlib = true;
    s_->z.next_in = const_cast<Bytef*>(file + packed.offset);
    s_->z.avail_in = static_cast<uInt>(packed.length);
    return true;
}

bool InflateStream::read(uint64_t offset, void* into, uint32_t count, uint32_t* got) {
    *got = 0;
    if (!s_ || s_->failed || offset < s_->produced) return false;
    uint8_t scratch[4096];
    while (s_->produced < offset && !s_->ended) {
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(offset - s_->produced, sizeof scratch));
        uint32_t passed = 0;
        if (!s_->pull(scratch, n, &passed)) return false;
    }
    if (s_->produced < offset) return true;  // the stream ended before
    return s_->pull(static_cast<uint8_t*>(into), count, got);
}

int InflateStream::finish() {
    uint8_t scratch[4096];
    uint32_t got = 0;
    while (s_ && !s_->failed && !s_->ended)
        if (!s_->pull(scratch, sizeof scratch, &got)) break;
    if (!s_ || s_->failed) return kResultBadImage;
    if (!s_->packed.gzip && (s_->produced != s_->packed.size || s_->crc != s_->packed.crc)) {
        s_->fail("is damaged");
        return kResultBadImage;
    }
    return kResultOk;
}

int encodeZip(VolumeImage& im, const std::vector<uint8_t>& bytes, const std::string& member,
              std::vector<uint8_t>* out) {
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    uint32_t dosTime = uint32_t(local.tm_hour) << 11 | uint32_t(local.tm_min) << 5 |
                       uint32_t(local.tm_sec / 2);
    uint32_t dosDate = uint32_t(local.tm_year > 80 ? local.tm_year - 80 : 0) << 9 |
                       uint32_t(local.tm_mon + 1) << 5 | uint32_t(local.tm_mday);
    uint32_t crc = crcOf(bytes.data(), bytes.size());
    uint32_t nameLength = static_cast<uint32_t>(member.size() > 0xFFFF ? 0xFFFF : member.size());
    auto header = [&](bool central, uint32_t packed, uint32_t offset) {
        put32(out, central ? kCentralHeader : kLocalHeader);
        if (central) put16(out, 20);  // made by: MS-DOS, 2.0
        put16(out, 20);                // needed: 2.0 (deflate)
        put16(out, 0);
        put16(out, 8);
        put16(out, dosTime);
        put16(out, dosDate);
        put32(out, crc);
        put32(out, packed);
        put32(out, static_cast<uint32_t>(bytes.size()));
        put16(out, nameLength);
        put16(out, 0);
        if (central) {
            put16(out, 0);   // comment
            put16(out, 0);   // disk
            put16(out, 0);   // internal attributes
            put32(out, 0);   // external attributes
            put32(out, offset);
        }
        out->insert(out->end(), member.begin(), member.begin() + nameLength);
    };
    const ContainerState& kept = im.container;
    out->insert(out->end(), kept.zipOthers.begin(), kept.zipOthers.end());
    uint32_t ownAt = static_cast<uint32_t>(out->size());
    header(false, 0, 0);
    size_t dataAt = out->size();
    if (!deflateAll(bytes, false, out)) {
        im.queueMessage("Not enough memory to compress the image!");
        return kResultHostIo;
    }
    uint32_t packed = static_cast<uint32_t>(out->size() - dataAt);
    for (int i = 0; i < 4; ++i) (*out)[ownAt + 18 + size_t(i)] = static_cast<uint8_t>(packed >> (8 * i));
    uint32_t dirAt = static_cast<uint32_t>(out->size());
    out->insert(out->end(), kept.zipOtherEntries.begin(), kept.zipOtherEntries.end());
    header(true, packed, ownAt);
    uint32_t dirSize = static_cast<uint32_t>(out->size()) - dirAt;
    put32(out, kEndOfDirectory);
    put16(out, 0);
    put16(out, 0);
    put16(out, kept.zipOtherCount + 1u);
    put16(out, kept.zipOtherCount + 1u);
    put32(out, dirSize);
    put32(out, dirAt);
    put16(out, 0);
    return kResultOk;
}

int encodeGzip(VolumeImage& im, const std::vector<uint8_t>& bytes, std::vector<uint8_t>* out) {
    if (deflateAll(bytes, true, out)) return kResultOk;
    im.queueMessage("Not enough memory to compress the image!");
    return kResultHostIo;
}
