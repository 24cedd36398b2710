// How long the floppy transfers would take on a real 300 rpm drive: each transfer runs against the
// simulated drive with its timing model, and every phase is set against the floor of one turn per
// track it touches. Run by scripts/bench-floppy.sh.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "floppy/floppy_device.h"
#include "floppy/transfer_sink.h"
#include "floppy/write_floppy.h"
#include "image/volume_image.h"
#include "tests/support/simulated_floppy.h"

namespace {

struct Mark {
    std::string text;
    int64_t at;  // model time of the publication
};

// Stands in for the drive dialog: notes each step with the drive's model time.
struct Recorder {
    VolumeImage* image;
    SimulatedFloppy* drive;
    std::vector<Mark> marks;
};

void onStep(void* context) {
    Recorder* r = static_cast<Recorder*>(context);
    char text[kStatusTextSize];
    r->marks.push_back(Mark{r->image->copyStatusText(text), r->drive->elapsedNanoseconds()});
}

void onEnd(void*, int) {}

double seconds(int64_t ns) { return static_cast<double>(ns) / 1e9; }

void row(const char* what, int64_t ns, int64_t floor) {
    std::printf("| %-34s | %8.1f s | %6.1f s | %6.2fx |\n", what, seconds(ns), seconds(floor),
                static_cast<double>(ns) / static_cast<double>(floor));
}

// Time from the publication of `from` to the first later one of `to`.
int64_t between(const std::vector<Mark>& marks, const char* from, const char* to) {
    int64_t start = -1;
    for (const Mark& m : marks) {
        if (start < 0 && m.text == from) start = m.at;
        if (start >= 0 && m.text == to) return m.at - start;
    }
    return 0;
}

// How the drive is driven and how its disk is laid out.
struct Variant {
    bool cylinderCalls;  // reads ahead and gathered writes in the device layer
    bool format;         // formatted by the write; else written onto a disk without skew
    bool refusesOrder;   // the drive formats only in order, as many USB drives do
    const char* title;
};

const Variant kVariants[] = {
    {false, true, false, "one call per area and cluster, the program's skewed format"},
    {true, true, false,
     "cylinder calls (reads ahead, writes gathered), the program's skewed format"},
    {true, true, true,
     "cylinder calls, a drive that refuses the sector order: formatted without skew"},
    {true, false, false, "cylinder calls, written without formatting onto a disk without skew"},
};

void bench(int diskType, uint32_t mediaType, const char* name) {
    MediaGeometry media = SimulatedFloppy::standardMedia(mediaType);
    int64_t turn = FloppyTiming().rotation;
    int64_t floor = static_cast<int64_t>(media.cylinders * media.tracksPerCylinder) * turn;

    std::unique_ptr<VolumeImage> image(new VolumeImage);
    image->createImage(nullptr, diskType, "BENCH", "TOLVEN");
    for (int i = 0; i < image->clusterCount; ++i)
        std::memset(image->clusters[i], i & 0xFF, image->clusterBytes);

    for (const Variant& v : kVariants) {
        std::printf("\n%s, %s:\n\n", name, v.title);
        std::printf("| %-34s | %10s | %8s | %7s |\n", "transfer / phase", "model", "floor",
                    "ratio");
        std::printf("|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(12, '-').c_str(),
                    std::string(10, '-').c_str(), std::string(9, '-').c_str());

        SimulatedFloppy drive("A:");
        drive.setReadAhead(v.cylinderCalls);
        drive.install();
        drive.setRefusesFormatOrder(v.refusesOrder);
        if (v.format) drive.insertUnformattedDisk(media);
        else drive.insertDisk(media, nullptr, 0);
        FloppyTiming timing;
        timing.skew = false;  // a disk formatted before, in order
        drive.enableTiming(timing);
        Recorder w{image.get(), &drive, {}};
        TransferSink writeSink = {onStep, onEnd, &w};
        image->setNotifyTarget(&writeSink, 1);
        int result = image->writeToFloppy("A:", v.format ? kFormatThenWrite : kWriteWithoutFormat);
        int64_t total = drive.elapsedNanoseconds();
        int writes = drive.callCount(FloppyCall::Write);
        char firstFormat[64];
        std::snprintf(
            firstFormat, sizeof firstFormat, "Formatting sectors (0/%i)",
            static_cast<int>(media.cylinders * media.tracksPerCylinder * media.sectorsPerTrack));
        if (v.format)
            row("format (one call per cylinder)",
                between(w.marks, firstFormat, "Writing bootsector"), floor);
        row("write", between(w.marks, "Writing bootsector", "Dismounting floppy"), floor);
        int64_t verify = total - between(w.marks, "Creating floppy access handle",
                                         "Closing floppy access handle");
        row("verify", verify, floor);
        row(result == 0 ? "whole write" : "whole write (FAILED)", total,
            (v.format ? 3 : 2) * floor);

        std::unique_ptr<VolumeImage> copy(new VolumeImage);
        drive.enableTiming(timing);
        Recorder r{copy.get(), &drive, {}};
        TransferSink readSink = {onStep, onEnd, &r};
        int readsBefore = drive.callCount(FloppyCall::Read);
        copy->setNotifyTarget(&readSink, 1);
        result = copy->readFromFloppy("A:");
        row(result == 0 ? "read" : "read (FAILED)", drive.elapsedNanoseconds(), floor);
        std::printf("\n  device calls: %i writes in the write, %i reads in the read\n", writes,
                    drive.callCount(FloppyCall::Read) - readsBefore);
        image->setNotifyTarget(nullptr, 0);
        copy->setNotifyTarget(nullptr, 0);
    }
}

}  // namespace

int main() {
    FloppyTiming t;
    std::printf(
        "Timing model: %.0f rpm, step %.0f ms, settle %.0f ms, %.1f ms from one call to the next,\n"
        "each track laid out as its format gave it (the program's format: each cylinder 3 sectors\n"
        "after the one before on 1.44 MB, 2 on 720 KB; a drive that refuses the order, or a disk\n"
        "formatted before: all tracks start at the index), and read back as it was written;\n"
        "floor = one turn per track of the disk.\n",
        60e9 / static_cast<double>(t.rotation), static_cast<double>(t.step) / 1e6,
        static_cast<double>(t.settle) / 1e6, static_cast<double>(t.callOverhead) / 1e6);
    bench(2, kMediaF3_1Pt44_512, "3.5-inch 1.44 MB (80 x 2 x 18)");
    bench(0, kMediaF3_720_512, "3.5-inch 720 KB (80 x 2 x 9)");
    return 0;
}
