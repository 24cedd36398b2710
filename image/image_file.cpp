// Raw image files: the volume's areas (image/volume_layout.h) read and written in disk order,
// each from or into the bytes the image binds it to (VolumeState::areaBytes), through the
// image's source and sink (image/image_stream.h).
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "image/boot_sector.h"
#include "image/image_stream.h"
#include "image/volume_image.h"
#include "platform/host_error.h"
#include "platform/host_file.h"
#include "platform/host_lock.h"
#include "platform/host_memory.h"

namespace {

bool isZero(const uint8_t* p, size_t n) {
    return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0);
}

static_assert(std::is_trivially_copyable<FixedVolumeState>::value,
              "the fixed state is looked at as plain bytes");

// True when the image holds what the constructor and reset leave: nothing.
bool isBlank(const VolumeImage& im) {
    const FixedVolumeState& fixed = im;
    return im.keptBytes.empty() && im.clusters.count() == 0 &&
           isZero(reinterpret_cast<const uint8_t*>(&fixed), sizeof fixed);
}

// A long tail is read in chunks of this size.
const uint32_t kTailChunk = 64 * 1024;
// Stretches of data looked for in the clusters before the rest is read whole: a file of many
// small holes must not cost a call per hole.
const int kMaxDataStretches = 64;

// Image files name a failed FAT copy or root directory by its name, and the other areas as they
// always have: the reserved sectors as the boot sector, the tail as the file.
bool isNamedInMessages(const VolumeArea& area) {
    return area.kind == kAreaFat || area.kind == kAreaRoot || area.kind == kAreaRootSlack;
}

void queueLoadFailure(VolumeImage& im, const VolumeArea& area) {
    if (isNamedInMessages(area)) im.queueMessage("Could not load %s!", areaName(area));
    else im.queueMessage("Could not read bootsector!");
}

void queueSaveFailure(VolumeImage& im, const VolumeArea& area) {
    if (isNamedInMessages(area)) im.queueMessage("Could not write %s!", areaName(area));
    else if (area.kind == kAreaTail) im.queueMessage("Could not write image file!");
    else im.queueMessage("Could not write bootsector!");
}

// Everything in the file from `offset` on, appended to `kept`. 0; 100 a failed read; 110 the
// file grows past kMaxImageFileBytes.
int readTail(ImageSource& source, uint32_t offset, std::vector<uint8_t>* kept) {
    // Most files end with the volume: a small first read says so.
    uint8_t first[4096];
    uint8_t* into = first;
    uint32_t chunk = sizeof first;
    std::unique_ptr<uint8_t[]> larger;
    for (;;) {
        uint32_t got = 0;
        if (!source.readAt(offset, into, chunk, &got)) return kResultHostIo;
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
int readClusters(ImageSource& source, VolumeImage& im, uint32_t offset) {
    uint8_t* store = im.clusters.data();
    uint32_t length = static_cast<uint32_t>(im.clusterCount) * im.clusterBytes;
    uint32_t done = 0;  // bytes of the clusters read or known to be a hole
    for (int stretches = 0; done < length; ++stretches) {
        uint32_t from = done, to = length;
        uint64_t start = 0, end = 0;
        if (stretches < kMaxDataStretches && source.nextData(offset + done, &start, &end)) {
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
            hostPrepareForWrite(store + from, to - from);
            source.readAt(offset + from, store + from, to - from, &got);
        }
        done = from + got;
        if (got < to - from) break;
    }
    return done == length ? im.clusterCount : static_cast<int>(done / im.clusterBytes);
}

// The boot sector, the layout it declares and the memory for it. 0; 100 the boot sector not
// read; 110 too short or refused, or no memory for the clusters.
int readBootSector(VolumeImage& im, ImageSource& source, VolumeLayout* layout) {
    uint32_t got = 0;
    if (!source.readAt(0, im.bootSector, bs::kSize, &got)) {
        im.queueMessage("Could not read bootsector!");
        return kResultHostIo;
    }
    if (got < bs::kSize || !readVolumeLayout(im.bootSector, layout)) {
        im.queueMessage("Invalid bootsector found!");
        return kResultBadImage;
    }
    // An image the machine cannot hold must not load as a shorter one.
    if (!im.computeGeometry()) {
        im.queueMessage("Not enough memory for the image!");
        return kResultBadImage;
    }
    return kResultOk;
}

// One area after the boot sector into the bytes bound to it; a FAT copy the image does not keep
// into scratch, the tail after the pass (readTail). 0, 100 or 110 as loadImageFile.
int readArea(VolumeImage& im, ImageSource& source, const VolumeArea& area) {
    if (area.kind == kAreaTail) return kResultOk;
    if (area.kind == kAreaClusters) {
        int missing = readClusters(source, im, area.offset);
        if (missing == im.clusterCount) return kResultOk;
        im.queueMessage("Could not read all clusters (%i/%i)!", missing,
                        static_cast<int>(im.clusterCount));
        return kResultBadImage;
    }
    std::vector<uint8_t> spare(isSpareFat(area) ? area.length : 0);
    if (source.readAll(area.offset, isSpareFat(area) ? spare.data() : im.areaBytes(area),
                       area.length))
        return kResultOk;
    queueLoadFailure(im, area);
    return kResultHostIo;
}

// The pass of a load: every area of the declared layout in disk order, then whatever the file
// holds after the last whole cluster, kept as it is however long it is.
int readImageAreas(VolumeImage& im, ImageSource& source) {
    VolumeLayout layout;
    int result = readBootSector(im, source, &layout);
    for (int i = 1; result == kResultOk && i < layout.areaCount; ++i)
        result = readArea(im, source, layout.areas[i]);
    if (result != kResultOk) return result;
    const VolumeArea& last = layout.areas[layout.areaCount - 1];
    bool tail = last.kind == kAreaTail;
    im.keptBytes.resize(tail ? last.keptAt : layout.keptBytes);
    result = readTail(source, tail ? last.offset : last.offset + last.length, &im.keptBytes);
    if (result == kResultHostIo) im.queueMessage("Could not read image file!");
    if (result == kResultBadImage) im.queueMessage("Image file is too large!");
    return result;
}

// Zero runs of the clusters that span at least kHoleBytes are passed over rather than written:
// the new file gets holes there, as mkfs.fat leaves them, so a mostly empty image costs little
// to save. Runs are made of whole blocks of kHoleBlock bytes of the file, the unit file systems
// leave unallocated.
const uint32_t kHoleBlock = 4096;
const uint32_t kHoleBytes = 32 * 1024;

// Writes `length` bytes of clusters that start `fileOffset` bytes into the file. False with
// `*failedAt` (bytes from `bytes`) where a failed write stopped or a hole could not be made.
bool writeClusters(ImageSink& sink, const uint8_t* bytes, uint32_t length, uint32_t fileOffset,
                   uint32_t* failedAt) {
    const uint32_t kNone = 0xFFFFFFFFu;
    uint32_t written = 0;  // bytes written or passed over
    uint32_t zeroStart = kNone;
    auto flush = [&](uint32_t dataEnd, uint32_t next) {
        uint32_t n = 0;
        if (!sink.write(bytes + written, dataEnd - written, &n)) {
            *failedAt = written + n;
            return false;
        }
        if (next > dataEnd && !sink.skip(next - dataEnd)) {
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
    if (sink.endHere()) return true;
    *failedAt = zeroStart;
    return false;
}

// Consecutive areas gathered for one write call, with the offset of each in the bytes.
struct StagedAreas {
    std::vector<uint8_t> bytes;
    std::vector<std::pair<uint32_t, VolumeArea>> areas;

    // Bytes the image does not hold go out as zeros.
    void add(const VolumeArea& area, const uint8_t* from) {
        areas.emplace_back(static_cast<uint32_t>(bytes.size()), area);
        if (from != nullptr) bytes.insert(bytes.end(), from, from + area.length);
        else bytes.resize(bytes.size() + area.length, 0);
    }
    // Writes and empties the gathered bytes; false after queueing the failure of the area the
    // write stopped in.
    bool write(VolumeImage& im, ImageSink& sink) {
        uint32_t written = 0;
        bool ok = bytes.empty() ||
                  sink.write(bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
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

// The pass of a save: the areas before the clusters go out in one write, the clusters straight
// from their buffer, the areas after them in one more. 0; 100 a part not written; 120 a cluster
// not written (the message names it).
int writeImageAreas(VolumeImage& im, const VolumeLayout& layout, ImageSink& sink) {
    im.encodeFat();
    StagedAreas staged;
    for (int i = 0; i < layout.areaCount; ++i) {
        const VolumeArea& area = layout.areas[i];
        if (area.kind != kAreaClusters) {
            staged.add(area, im.areaBytes(area));
            continue;
        }
        if (!staged.write(im, sink)) return kResultHostIo;
        uint32_t failedAt = 0;
        uint32_t length = static_cast<uint32_t>(im.clusterCount) * im.clusterBytes;
        if (!writeClusters(sink, im.areaBytes(area), length, area.offset, &failedAt)) {
            im.queueMessage("Could not write cluster (%i/%i)!",
                            static_cast<int>(failedAt / im.clusterBytes),
                            static_cast<int>(im.clusterCount));
            return kResultClusterIo;
        }
    }
    return staged.write(im, sink) ? kResultOk : kResultHostIo;
}

// The image goes to a new file beside the target first; only a complete file replaces the
// target, so a failure half-way never destroys the user's only copy of the image.
int writeReplacement(VolumeImage& im, const VolumeLayout& layout, const char* path,
                     ContainerKind kind) {
    HostReplacement out;
    if (!out.begin(path)) {
        im.queueMessage(out.refused() ? "Could not replace image file!"
                                      : "Could not create image file!");
        return out.refused() ? kResultReplaceRefused : kResultHostIo;
    }
    ImageSink sink(out.file(), kind);
    int result = writeImageAreas(im, layout, sink);
    if (result == kResultOk) result = sink.finish(im, path);
    if (result != kResultOk) return result;  // `out` removes the new file
    int committed = out.commit();
    // Data still in the host's buffers when closing fails never reached the disk.
    if (committed == kReplaceWriteFailed) im.queueMessage("Could not write image file!");
    if (committed == kReplaceRenameFailed) im.queueMessage("Could not create image file!");
    if (committed == kReplaceRefused) im.queueMessage("Could not replace image file!");
    if (committed == kReplaceRefused) return kResultReplaceRefused;
    return committed == kReplaceDone ? kResultOk : kResultHostIo;
}

// Over the target's own bytes, zeros written out, then cut to the image's length.
int writeInPlace(VolumeImage& im, const VolumeLayout& layout, const char* path, ContainerKind kind) {
    HostFile file;
    if (!file.openInPlace(path)) {
        im.queueMessage("Could not open image file for writing!");
        return kResultHostIo;
    }
    ImageSink sink(file, kind, true);
    int result = writeImageAreas(im, layout, sink);
    if (result == kResultOk) result = sink.finish(im, path);
    if (result != kResultOk) return result;
    if (!file.endHere() || !file.flush() || !file.close()) {
        im.queueMessage("Could not write image file!");
        return kResultHostIo;
    }
    return kResultOk;
}

}  // namespace

int VolumeImage::loadImageFile(const char* path, const char* member) {
    HostFile file;
    if (!file.openForReading(path)) {
        queueMessage("Could not open image file!");
        return kResultBadImage;
    }
    // A failed load puts the image back: a blank one (as a command starts with) by a reset, any
    // other from its backup. The image stays as it is when it cannot be kept.
    bool blank = isBlank(*this);
    if (!blank && !saveBackup()) {
        queueMessage("Not enough memory to keep the current image!");
        return kResultHostIo;
    }
    if (!blank) reset();
    ImageSource source(file);
    // A raw image is read whole by the pass, so it is stamped from the same reads.
    StampHasher hasher;
    HostFileFacts facts;
    if (file.facts(&facts)) {
        hasher.begin(facts);
        source.stampWith(&hasher);
    }
    int result = source.open(*this, member);
    if (result == kResultOk) result = readImageAreas(*this, source);
    if (result == kResultOk) result = source.settle(*this);
    if (result == kResultChooseMember) members = source.decoded().members;
    FileStamp read;
    if (result == kResultOk) decodeFat();
    if (result == kResultOk)
        loadedFile = hasher.finish(&read) || stampFile(file, &read) ? read : FileStamp();
    else if (blank) reset();
    else restoreBackup();
    dropBackup();
    return result;
}

int VolumeImage::saveImageFile(const char* path, SaveMethod method) {
    return saveImageFile(path, container.kind, method);
}

int VolumeImage::saveImageFile(const char* path, ContainerKind kind, SaveMethod method) {
    if (container.readOnly) {
        queueMessage("%s", container.readOnlyReason.c_str());
        return kResultReadOnly;
    }
    if (!isWritableContainer(kind)) {
        queueMessage("Teledisk images are not written: save as raw, IMZ, gzip or ImageDisk!");
        return kResultBadImage;
    }
    VolumeLayout layout;
    if (!imageLayout(&layout)) {
        queueMessage("Could not create image file!");
        return kResultHostIo;
    }
    int result = method == kSaveInPlace ? writeInPlace(*this, layout, path, kind)
                                        : writeReplacement(*this, layout, path, kind);
    if (result != kResultOk) return result;
    container.kind = kind;
    FileStamp saved;
    if (stampSavedFile) stampPath(path, &saved);
    loadedFile = saved;
    return kResultOk;
}

int VolumeImage::checkImageFileUnchanged(const char* path) {
    HostFileFacts facts;
    // A file that is gone holds nothing of another program's to lose.
    if (!loadedFile.known || !hostFileFacts(path, &facts)) return kResultOk;
    // Another length or time tells a change without reading the file.
    FileStamp now;
    if (facts.size == loadedFile.facts.size && facts.modified == loadedFile.facts.modified &&
        stampPath(path, &now) && sameContent(now, loadedFile))
        return kResultOk;
    queueMessage("Image \"%s\" was changed by another program since it was opened.", path);
    return kResultChangedOnDisk;
}

int VolumeImage::lockImageFile(HostLock& lock, const char* path, int waitMs) {
    HostLockResult locked = lock.lock(path, waitMs);
    if (locked == kHostLockBusy) {
        queueMessage("Image file \"%s\" is in use by another program!", path);
        return kResultImageLocked;
    }
    // No file to lock (a new image), or one the load and save refuse with their own reasons.
    if (locked == kHostLockFailed) hostForgetFailures();
    return kResultOk;
}
