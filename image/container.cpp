#include "image/container.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "image/volume_image.h"
#include "platform/host_file.h"

namespace {

const uint32_t kSectorBytes = 512;

bool endsWith(const std::string& text, const char* suffix) {
    size_t n = std::strlen(suffix);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = text[text.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

}  // namespace

int readWholeFile(VolumeImage& im, HostFile& file, std::vector<uint8_t>* bytes) {
    const uint32_t kChunk = 256 * 1024;
    for (;;) {
        size_t at = bytes->size();
        if (at > kMaxContainerFileBytes) {
            im.queueMessage("Image file is too large!");
            return kResultBadImage;
        }
        bytes->resize(at + kChunk);
        uint32_t got = 0;
        if (!file.readAt(at, bytes->data() + at, kChunk, &got)) {
            im.queueMessage("Could not read image file!");
            return kResultHostIo;
        }
        bytes->resize(at + got);
        if (got < kChunk) return kResultOk;
    }
}

const char* containerName(ContainerKind kind) {
    switch (kind) {
        case kContainerZip: return "imz";
        case kContainerGzip: return "gz";
        case kContainerImageDisk: return "imd";
        case kContainerTeledisk: return "td0";
        default: return "raw";
    }
}

bool parseContainerName(const char* text, ContainerKind* kind) {
    static const ContainerKind kWritable[] = {kContainerRaw, kContainerZip, kContainerGzip,
                                              kContainerImageDisk};
    for (ContainerKind k : kWritable) {
        if (std::strcmp(text, containerName(k)) == 0) {
            *kind = k;
            return true;
        }
    }
    if (std::strcmp(text, "zip") == 0 || std::strcmp(text, "gzip") == 0) {
        *kind = text[0] == 'z' ? kContainerZip : kContainerGzip;
        return true;
    }
    return false;
}

ContainerKind containerForNewFile(const char* path) {
    std::string name(path);
    if (endsWith(name, ".imz") || endsWith(name, ".zip")) return kContainerZip;
    if (endsWith(name, ".gz")) return kContainerGzip;
    if (endsWith(name, ".imd")) return kContainerImageDisk;
    return kContainerRaw;
}

bool isWritableContainer(ContainerKind kind) { return kind != kContainerTeledisk; }

ContainerKind detectContainer(const uint8_t* h, uint32_t length) {
    if (length >= 4 && h[0] == 'P' && h[1] == 'K' &&
        ((h[2] == 3 && h[3] == 4) || (h[2] == 5 && h[3] == 6)))
        return kContainerZip;
    if (length >= 2 && h[0] == 0x1F && h[1] == 0x8B) return kContainerGzip;
    if (length >= 4 && std::memcmp(h, "IMD ", 4) == 0) return kContainerImageDisk;
    if (length >= 2 && (std::memcmp(h, "TD", 2) == 0 || std::memcmp(h, "td", 2) == 0))
        return kContainerTeledisk;
    return kContainerRaw;
}

int decodeContainer(VolumeImage& im, HostFile& file, ContainerKind kind, const char* member,
                    DecodedImage* out) {
    std::vector<uint8_t> whole;
    int result = readWholeFile(im, file, &whole);
    if (result != kResultOk) return result;
    out->state.kind = kind;
    switch (kind) {
        case kContainerZip: result = decodeZip(im, whole, member, out); break;
        case kContainerGzip: result = decodeGzip(im, whole, out); break;
        case kContainerImageDisk: result = decodeImageDisk(im, whole, out); break;
        case kContainerTeledisk: result = decodeTeledisk(im, whole, out); break;
        default: out->bytes.swap(whole); break;
    }
    return result;
}

int encodeContainer(VolumeImage& im, const std::vector<uint8_t>& bytes, ContainerKind kind,
                    const char* path, HostFile& file) {
    std::vector<uint8_t> encoded;
    int result = kResultOk;
    if (kind == kContainerZip) {
        // A new archive's member is named after the file: DISK.IMZ holds DISK.IMG.
        std::string member = im.container.member;
        if (member.empty()) {
            std::string name(path);
            size_t slash = name.find_last_of("/\\");
            if (slash != std::string::npos) name.erase(0, slash + 1);
            size_t dot = name.find_last_of('.');
            if (dot != std::string::npos && dot > 0) name.erase(dot);
            member = name + ".img";
        }
        result = encodeZip(im, bytes, member, &encoded);
        if (result == kResultOk) im.container.member = member;
    } else if (kind == kContainerGzip) {
        result = encodeGzip(im, bytes, &encoded);
    } else if (kind == kContainerImageDisk) {
        result = encodeImageDisk(im, bytes, &encoded);
    } else {
        im.queueMessage("Teledisk images are not written: save as raw, IMZ, gzip or ImageDisk!");
        return kResultBadImage;
    }
    if (result != kResultOk) return result;
    for (size_t at = 0; at < encoded.size();) {
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(encoded.size() - at, 1u << 20));
        if (!file.write(encoded.data() + at, n)) {
            im.queueMessage("Could not write image file!");
            return kResultHostIo;
        }
        at += n;
    }
    return kResultOk;
}

namespace {

// Sectors put in their places on the disk, each track's first problem noted once.
struct TrackAssembly {
    DecodedImage* out;
    uint32_t heads, perTrack;
    std::vector<bool> placed;

    void note(const ContainerTrack& t, const char* what) {
        if (!out->trackProblem.empty()) return;
        char text[160];
        std::snprintf(text, sizeof text, "Track %u (cylinder %u, head %u) %s",
                      t.cylinder * heads + t.head, t.cylinder, t.head, what);
        out->trackProblem = text;
    }

    int place(const ContainerTrack& t, const std::vector<uint8_t>& pool) {
        uint32_t first = (t.cylinder * heads + t.head) * perTrack;
        for (const TrackSector& s : t.sectors) {
            if (s.size != kSectorBytes) {
                note(t, "has sectors of other sizes than 512 bytes");
                continue;
            }
            if (s.id < 1 || s.id > perTrack) {
                note(t, "has sector numbers a FAT12 image cannot hold");
                continue;
            }
            uint32_t at = first + s.id - 1u;
            if (placed[at]) continue;  // a second copy of the sector
            if (s.deleted) note(t, "has sectors with a deleted-data mark");
            if (s.error) {
                note(t, "has sectors marked unreadable");
                out->badSectors.push_back(at * kSectorBytes);
            }
            if (!s.hasData) {
                note(t, "has sectors without data");
                continue;
            }
            if (s.data + uint64_t(kSectorBytes) > pool.size()) return kResultBadImage;
            std::memcpy(&out->bytes[size_t(at) * kSectorBytes], &pool[s.data], kSectorBytes);
            placed[at] = true;
        }
        return kResultOk;
    }

    void noteMissing() {
        for (uint32_t i = 0; i < placed.size(); ++i) {
            if (placed[i]) continue;
            out->missingSectors.push_back(i * kSectorBytes);
            uint32_t track = i / perTrack;
            if (out->trackProblem.empty()) {
                ContainerTrack t;
                t.cylinder = static_cast<uint8_t>(track / heads);
                t.head = static_cast<uint8_t>(track % heads);
                note(t, "lacks sectors");
            }
        }
    }
};

}  // namespace

int assembleTracks(VolumeImage& im, const std::vector<ContainerTrack>& tracks,
                   const std::vector<uint8_t>& pool, DecodedImage* out) {
    uint32_t cylinders = 0, heads = 0, perTrack = 0;
    for (const ContainerTrack& t : tracks) {
        cylinders = std::max<uint32_t>(cylinders, t.cylinder + 1u);
        heads = std::max<uint32_t>(heads, t.head + 1u);
        perTrack = std::max<uint32_t>(perTrack, static_cast<uint32_t>(t.sectors.size()));
    }
    uint64_t total = uint64_t(cylinders) * heads * perTrack * kSectorBytes;
    if (tracks.empty() || heads > 2 || total == 0 || total > kMaxContainerImageBytes) {
        im.queueMessage("The image's tracks do not make a floppy disk!");
        return kResultBadImage;
    }
    out->bytes.assign(static_cast<size_t>(total), 0);
    TrackAssembly assembly = {out, heads, perTrack,
                              std::vector<bool>(static_cast<size_t>(total / kSectorBytes), false)};
    for (const ContainerTrack& t : tracks)
        if (assembly.place(t, pool) != kResultOk) return kResultBadImage;
    assembly.noteMissing();
    return kResultOk;
}

int settleContainerImage(VolumeImage& im, DecodedImage& decoded) {
    ContainerState& state = decoded.state;
    if (!decoded.trackProblem.empty()) {
        VolumeLayout layout;
        uint32_t clustersAt = 0;
        if (im.imageLayout(&layout)) {
            for (int i = 0; i < layout.areaCount; ++i)
                if (layout.areas[i].kind == kAreaClusters) clustersAt = layout.areas[i].offset;
        }
        std::vector<uint32_t> lost = decoded.missingSectors;
        lost.insert(lost.end(), decoded.badSectors.begin(), decoded.badSectors.end());
        for (uint32_t offset : lost) {
            if (offset < clustersAt) {
                im.queueMessage("%s: the boot sector, FAT or root folder cannot be read!",
                                decoded.trackProblem.c_str());
                return kResultBadImage;
            }
            uint32_t cluster = (offset - clustersAt) / im.clusterBytes + 2;
            if (cluster < im.clusterCount + 2u)
                state.badClusters.push_back(static_cast<uint16_t>(cluster));
        }
        std::sort(state.badClusters.begin(), state.badClusters.end());
        state.badClusters.erase(std::unique(state.badClusters.begin(), state.badClusters.end()),
                                state.badClusters.end());
        state.readOnly = true;
        state.readOnlyReason = decoded.trackProblem + ": the image opens read-only.";
    }
    im.container = state;
    return kResultOk;
}
