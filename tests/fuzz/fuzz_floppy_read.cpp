// The simulated drive serves arbitrary bytes to readFromFloppy, with one fault or a cancel chosen
// by the input. A read either gives an image that fits its buffers and walks to an end, or puts
// the previous image back byte for byte.
//
// Input: byte 0 picks the medium, byte 1 the fault (bit 7 turns the read-ahead off), bytes 2-5
// its offset or call number, byte 6 a mask; the rest is the disk from sector 0.
#include <atomic>
#include <cstring>
#include <vector>

#include "floppy/floppy_device.h"
#include "fuzz_support.h"
#include "tests/support/simulated_floppy.h"
#include "tests/unit/image_snapshot.h"

namespace {
const size_t kHeader = 7;
const uint32_t kMedia[] = {kMediaF5_160_512,   kMediaF5_180_512,  kMediaF5_320_512,
                           kMediaF5_360_512,   kMediaF3_720_512,  kMediaF5_1Pt2_512,
                           kMediaF3_1Pt44_512, kMediaF3_2Pt88_512};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static VolumeImage* image = new VolumeImage;
    static SimulatedFloppy* drive = [] {
        SimulatedFloppy* d = new SimulatedFloppy("A:");
        FUZZ_CHECK(d->install());
        return d;
    }();
    if (size < kHeader) return 0;
    uint32_t param = static_cast<uint32_t>(data[2]) | (static_cast<uint32_t>(data[3]) << 8) |
                     (static_cast<uint32_t>(data[4]) << 16) |
                     (static_cast<uint32_t>(data[5]) << 24);
    MediaGeometry geometry = SimulatedFloppy::standardMedia(
        kMedia[data[0] % (sizeof kMedia / sizeof kMedia[0])]);
    drive->clearFaults();
    drive->clearLog();
    drive->insertDisk(geometry, data + kHeader, size - kHeader);
    uint64_t diskSize = drive->diskBytes().size();
    drive->setReadAhead((data[1] & 0x80) == 0);
    switch (data[1] & 0x07) {
    case 1: drive->failReadAt(diskSize ? param % diskSize : 0, false); break;
    case 2: drive->failReadAt(diskSize ? param % diskSize : 0, true); break;
    case 3: drive->cancelDuringCall(FloppyCall::Read, 1 + param % 64, &image->keepRunning); break;
    case 4: drive->failCall(FloppyCall::Lock, 1); break;
    case 5: drive->corruptByteOnRead(diskSize ? param % diskSize : 0, data[6]); break;
    case 6: drive->failCall(FloppyCall::Read, 1 + param % 64); break;
    default: break;
    }

    // The previous image: a new 160KB one with a file-like pattern in its clusters.
    FUZZ_CHECK(image->createImage(nullptr, 6, "BEFORE", "FUZZ") == kResultOk);
    for (int i = 0; i < image->clusterCount; ++i)
        std::memset(image->clusters[i], i & 0xFF, image->clusterBytes);
    std::vector<uint8_t> before = snapshot(*image);

    image->setNotifyTarget(nullptr, 1);
    int result = image->readFromFloppy("A:");
    image->clear();
    FUZZ_CHECK(image->keepRunning == 0);
    FUZZ_CHECK(!drive->isOpen() && !drive->isLocked());
    if (result != kResultOk) {
        FUZZ_CHECK(result == kResultHostIo || result == kResultBadImage ||
                   result == kResultClusterIo || result == kResultCancelled);
        FUZZ_CHECK(snapshot(*image) == before);
        return 0;
    }
    FUZZ_CHECK(checkBootSector(image->bootSector));
    FUZZ_CHECK(image->clusterCount <= kMaxClusters);
    for (uint32_t c = 2; c < image->clusterCount + 2u; ++c)
        FUZZ_CHECK(image->clusterData(c) != nullptr);
    fuzz_support::checkCounts(*image);
    // Unless the medium was made to lie, the image holds the disk's bytes at the offsets of its
    // layout, whatever the read-ahead did behind the reads.
    if ((data[1] & 0x07) != 5) {
        const std::vector<uint8_t>& disk = drive->diskBytes();
        auto same = [&](uint32_t at, const uint8_t* p, size_t n) {
            return at + n <= disk.size() && std::memcmp(p, disk.data() + at, n) == 0;
        };
        VolumeLayout layout;
        FUZZ_CHECK(readVolumeLayout(image->bootSector, &layout));
        size_t kept = 0;
        for (int a = 0; a < layout.areaCount; ++a) {
            const VolumeArea& v = layout.areas[a];
            const uint8_t* held = nullptr;
            switch (v.kind) {
            case kAreaBootSector: held = image->bootSector; break;
            case kAreaFat:
                held = v.copy == 0 ? image->fat1 : v.copy == 1 ? image->fat2 : nullptr;
                break;
            case kAreaRoot: held = image->rootDir; break;
            case kAreaClusters:
                for (int i = 0; i < image->clusterCount; ++i)
                    FUZZ_CHECK(same(v.offset + static_cast<uint32_t>(i) * image->clusterBytes,
                                    image->clusters[i], image->clusterBytes));
                break;
            default:
                FUZZ_CHECK(kept + v.length <= image->keptBytes.size());
                held = image->keptBytes.data() + kept;
                kept += v.length;
                break;
            }
            if (held != nullptr) FUZZ_CHECK(same(v.offset, held, v.length));
        }
    }
    fuzz_support::walkAll(*image);
    return 0;
}
