// Raw image files: the volume's areas (image/volume_layout.h) read and written in disk order.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/boot_sector.h"
#include "image/volume_image.h"
#include "platform/host_file.h"
#include "platform/host_memory.h"

namespace {

// The first read takes this many bytes: the boot sector and the system areas after it on every
// floppy format (a 2.88 MB disk's end at 17.5 KB), so that they cost one call.
const uint32_t kHeadBytes = 32 * 1024;
// A long tail is read in chunks of this size.
const uint32_t kTailChunk = 64 * 1024;
// Stretches of data looked for in the clusters before the rest is read whole: a file of many
// small holes must not cost a call per hole.
const int kMaxDataStretches = 64;

// Reads the file by offset, serving the first kHeadBytes from the one read that fetched them.
class ImageReader {
public:
    explicit ImageReader(HostFile& file)
        : file_(file),
          head_(new (std::nothrow) uint8_t[kHeadBytes]),
          headLength_(0),
          started_(false) {}
    // As HostFile::readAt: `*got` bytes arrived (fewer only at the end of the file); false when
    // a read call failed.
    bool readAt(uint32_t offset, void* into, uint32_t count, uint32_t* got) {
        *got = 0;
        if (!started_ && head_) {
            started_ = true;
            if (!file_.readAt(0, head_.get(), kHeadBytes, &headLength_)) return false;
        }
        uint32_t inHead = offset < headLength_ ? headLength_ - offset : 0;
        if (inHead > count) inHead = count;
        if (inHead > 0) std::memcpy(into, head_.get() + offset, inHead);
        *got = inHead;
        // A head shorter than asked for was the whole file.
        if (inHead == count || (started_ && headLength_ < kHeadBytes)) return true;
        uint32_t more = 0;
        bool ok = file_.readAt(offset + inHead, static_cast<uint8_t*>(into) + inHead,
                               count - inHead, &more);
        *got += more;
        return ok;
    }
    HostFile& file() { return file_; }

private:
    HostFile& file_;
    std::unique_ptr<uint8_t[]> head_;  // not cleared: only what was read is served
    uint32_t headLength_;
    bool started_;
};

// Reads exactly `size` bytes; false on a failed call or a short count.
bool readAll(ImageReader& reader, uint32_t offset, void* buffer, uint32_t size) {
    uint32_t got = 0;
    return reader.readAt(offset, buffer, size, &got) && got == size;
}

const char* const kFatOrdinals[kMaxFatCopies] = {"first", "second", "third"};

// The message of a load step that failed (the clusters and the tail have their own).
void queueLoadFailure(VolumeImage& im, const VolumeArea& area) {
    switch (area.kind) {
    case kAreaFat: im.queueMessage("Could not load %s FAT!", kFatOrdinals[area.copy]); break;
    case kAreaRoot:
    case kAreaRootSlack: im.queueMessage("Could not load root directory!"); break;
    default: im.queueMessage("Could not read bootsector!"); break;
    }
}

void queueSaveFailure(VolumeImage& im, const VolumeArea& area) {
    switch (area.kind) {
    case kAreaFat: im.queueMessage("Could not write %s FAT!", kFatOrdinals[area.copy]); break;
    case kAreaRoot:
    case kAreaRootSlack: im.queueMessage("Could not write root directory!"); break;
    case kAreaTail: im.queueMessage("Could not write image file!"); break;
    default: im.queueMessage("Could not write bootsector!"); break;
    }
}

// Everything in the file from `offset` on, appended to `kept`. 0; 100 a failed read; 110 the
// file grows past kMaxImageFileBytes.
int readTail(ImageReader& reader, uint32_t offset, std::vector<uint8_t>* kept) {
    // Most files end with the volume: a small first read says so.
    uint8_t first[4096];
    uint8_t* into = first;
    uint32_t chunk = sizeof first;
    std::unique_ptr<uint8_t[]> larger;
    for (;;) {
        uint32_t got = 0;
        if (!reader.readAt(offset, into, chunk, &got)) return kResultHostIo;
        offset += got;
        if (offset > kMaxImageFileBytes || offset < got) return kResultBadImage;
        kept->insert(kept->end(), into, into + got);
        if (got < chunk) return kResultOk;
        if (!larger) {
            larger.reset(new (std::nothrow) uint8_t[kTailChunk]);
            if (larger) {
                into = larger.get();
                chunk = kTailChunk;
            }
        }
    }
}

// The clusters, `offset` bytes into the file, read into their buffer: the file's stretches of
// data only, since its holes are the zeros the buffer starts with. An image with free space (as
// mkfs.fat and this program's saves leave it) then costs what its data costs. Returns the index of
// the first cluster not read whole, or the cluster count.
int readClusters(ImageReader& reader, VolumeImage& im, uint32_t offset) {
    uint32_t length = static_cast<uint32_t>(im.clusterCount) * im.clusterBytes;
    uint32_t done = 0;  // bytes of the clusters read or known to be a hole
    for (int stretches = 0; done < length; ++stretches) {
        uint32_t from = done, to = length;
        uint64_t start = 0, end = 0;
        if (stretches < kMaxDataStretches && reader.file().nextData(offset + done, &start, &end)) {
            // Past the data: a hole up to the end of the file, and nothing after it.
            if (start == end) {
                uint64_t inFile = end > offset ? end - offset : 0;
                done = inFile < length ? static_cast<uint32_t>(inFile) : length;
                break;
            }
            from = start - offset < length ? static_cast<uint32_t>(start - offset) : length;
            to = end - offset < length ? static_cast<uint32_t>(end - offset) : length;
        }
        uint32_t got = 0;
        if (to > from) {
            hostPrepareForWrite(im.clusterStore + from, to - from);
            reader.readAt(offset + from, im.clusterStore + from, to - from, &got);
        }
        done = from + got;
        if (got < to - from) break;
    }
    return done == length ? im.clusterCount : static_cast<int>(done / im.clusterBytes);
}

// Zero runs of the clusters that span at least kHoleBytes are passed over rather than written:
// the new file gets holes there, as mkfs.fat leaves them, so a mostly empty image costs little
// to save. Runs are made of whole blocks of kHoleBlock bytes of the file, the unit file systems
// leave unallocated.
const uint32_t kHoleBlock = 4096;
const uint32_t kHoleBytes = 32 * 1024;

bool isZero(const uint8_t* p, uint32_t n) {
    return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0);
}

// Writes `length` bytes of clusters that start `fileOffset` bytes into the file. False with
// `*failedAt` (bytes from `bytes`) where a failed write stopped or a hole could not be made.
bool writeClusters(HostFile& file, const uint8_t* bytes, uint32_t length, uint32_t fileOffset,
                   uint32_t* failedAt) {
    const uint32_t kNone = 0xFFFFFFFFu;
    uint32_t written = 0;  // bytes written or passed over
    uint32_t zeroStart = kNone;
    auto flush = [&](uint32_t dataEnd, uint32_t next) {
        uint32_t n = 0;
        if (!file.write(bytes + written, dataEnd - written, &n)) {
            *failedAt = written + n;
            return false;
        }
        if (next > dataEnd && !file.skip(next - dataEnd)) {
            *failedAt = dataEnd;
            return false;
        }
        written = next;
        return true;
    };
    // Pages the program never touched (holes the load passed over, say) are zeros unread.
    UntouchedPages untouched(bytes, length);
    for (uint32_t at = 0; at < length;) {
        uint32_t end = ((fileOffset + at) / kHoleBlock + 1) * kHoleBlock - fileOffset;
        if (end > length) end = length;
        if (untouched.untouched(bytes + at, end - at) || isZero(bytes + at, end - at)) {
            if (zeroStart == kNone) zeroStart = at;
        } else {
            if (zeroStart != kNone && at - zeroStart >= kHoleBytes && !flush(zeroStart, at))
                return false;
            zeroStart = kNone;
        }
        at = end;
    }
    if (zeroStart == kNone || length - zeroStart < kHoleBytes) return flush(length, length);
    if (!flush(zeroStart, length)) return false;
    if (file.endHere()) return true;
    *failedAt = zeroStart;
    return false;
}

// Consecutive areas gathered for one write call, with the offset of each in the bytes.
struct StagedAreas {
    std::vector<uint8_t> bytes;
    std::vector<std::pair<uint32_t, VolumeArea>> areas;

    void add(const VolumeArea& area, const uint8_t* from) {
        areas.emplace_back(static_cast<uint32_t>(bytes.size()), area);
        if (from != nullptr) bytes.insert(bytes.end(), from, from + area.length);
        else bytes.resize(bytes.size() + area.length, 0);
    }
    // Writes and empties the gathered bytes; false after queueing the failure of the area the
    // write stopped in.
    bool write(VolumeImage& im, HostFile& file) {
        uint32_t written = 0;
        bool ok = bytes.empty() ||
                  file.write(bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
        if (!ok) {
            size_t i = areas.size() - 1;
            while (i > 0 && areas[i].first > written) --i;
            queueSaveFailure(im, areas[i].second);
        }
        bytes.clear();
        areas.clear();
        return ok;
    }
};

}  // namespace

int VolumeImage::loadImageFile(const char* path) {
    HostFile file;
    if (!file.openForReading(path)) {
        queueMessage("Could not open image file!");
        return kResultBadImage;
    }
    // The image stays as it is when it cannot be kept for a load that fails.
    if (!saveBackup()) {
        queueMessage("Not enough memory to keep the current image!");
        return kResultHostIo;
    }
    reset();

    ImageReader reader(file);
    int result = kResultOk;
    uint32_t got = 0;
    if (!reader.readAt(0, bootSector, bs::kSize, &got)) {
        queueMessage("Could not read bootsector!");
        result = kResultHostIo;
    }
    VolumeLayout layout;
    if (result == kResultOk && (got < bs::kSize || !readVolumeLayout(bootSector, &layout))) {
        queueMessage("Invalid bootsector found!");
        result = kResultBadImage;
    }
    // An image the machine cannot hold must not load as a shorter one.
    if (result == kResultOk && !computeGeometry()) {
        queueMessage("Not enough memory for the image!");
        result = kResultBadImage;
    }

    // The areas after the boot sector, in disk order. FAT copies after the second are read past:
    // every copy is written from the first.
    size_t keptAt = 0;
    std::vector<uint8_t> spareFat;
    for (int i = 1; result == kResultOk && i < layout.areaCount; ++i) {
        const VolumeArea& area = layout.areas[i];
        uint8_t* into = nullptr;
        switch (area.kind) {
        case kAreaFat:
            if (area.copy < 2) {
                into = area.copy == 0 ? fat1 : fat2;
            } else {
                spareFat.resize(area.length);
                into = spareFat.data();
            }
            break;
        case kAreaRoot: into = rootDir; break;
        case kAreaReserved:
        case kAreaRootSlack:
            into = keptBytes.data() + keptAt;
            keptAt += area.length;
            break;
        case kAreaClusters: {
            int missing = readClusters(reader, *this, area.offset);
            if (missing < clusterCount) {
                queueMessage("Could not read all clusters (%i/%i)!", missing,
                             static_cast<int>(clusterCount));
                result = kResultBadImage;
            }
            continue;
        }
        default: continue;  // the tail: whatever the file holds, below
        }
        if (!readAll(reader, area.offset, into, area.length)) {
            queueLoadFailure(*this, area);
            result = kResultHostIo;
        }
    }
    // The file's bytes after the last whole cluster are kept as they are, however many there are.
    if (result == kResultOk) {
        keptBytes.resize(keptAt);
        uint32_t dataEnd = 0;
        for (int i = 0; i < layout.areaCount; ++i)
            if (layout.areas[i].kind != kAreaTail)
                dataEnd = layout.areas[i].offset + layout.areas[i].length;
        result = readTail(reader, dataEnd, &keptBytes);
        if (result == kResultHostIo) queueMessage("Could not read image file!");
        if (result == kResultBadImage) queueMessage("Image file is too large!");
    }
    file.close();

    if (result == kResultOk) {
        decodeFat();
    } else {
        reset();
        restoreBackup();
    }
    freeBackupClusters();
    return result;
}

// The image goes to a new file beside the target first; only a complete file replaces the
// target, so a failure half-way never destroys the user's only copy of the image. The areas
// before the clusters go out in one write, the clusters straight from their buffer, the areas
// after them in one more.
int VolumeImage::saveImageFile(const char* path) {
    VolumeLayout layout;
    HostReplacement out;
    if (!imageLayout(&layout) || !out.begin(path)) {
        queueMessage("Could not create image file!");
        return kResultHostIo;
    }
    encodeFat();
    bool ok = true;
    size_t keptAt = 0;
    StagedAreas staged;
    for (int i = 0; ok && i < layout.areaCount; ++i) {
        const VolumeArea& area = layout.areas[i];
        switch (area.kind) {
        case kAreaBootSector: staged.add(area, bootSector); break;
        case kAreaFat: staged.add(area, area.copy == 1 ? fat2 : fat1); break;
        case kAreaRoot: staged.add(area, rootDir); break;
        case kAreaClusters: {
            ok = staged.write(*this, out.file());
            uint32_t failedAt = 0;
            uint32_t length = static_cast<uint32_t>(clusterCount) * clusterBytes;
            if (ok && !writeClusters(out.file(), clusterStore, length, area.offset, &failedAt)) {
                queueMessage("Could not write cluster (%i/%i)!",
                             static_cast<int>(failedAt / clusterBytes),
                             static_cast<int>(clusterCount));
                return kResultClusterIo;  // `out` removes the new file
            }
            break;
        }
        default:
            // Kept bytes; an image made in memory has zeros there.
            staged.add(area, keptAt + area.length <= keptBytes.size() ? keptBytes.data() + keptAt
                                                                      : nullptr);
            keptAt += area.length;
            break;
        }
    }
    if (!ok || !staged.write(*this, out.file())) return kResultHostIo;
    int committed = out.commit();
    // Data still in the host's buffers when closing fails never reached the disk.
    if (committed == kReplaceWriteFailed) queueMessage("Could not write image file!");
    if (committed == kReplaceRenameFailed) queueMessage("Could not create image file!");
    return committed == kReplaceDone ? kResultOk : kResultHostIo;
}
