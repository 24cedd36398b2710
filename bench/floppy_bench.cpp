// How long the floppy transfers take on the simulated drive's timing model of an internal drive
// under Windows' floppy driver (tests/support/simulated_floppy.h, FloppyTiming): each transfer
// runs against it, every phase set against the floor of one turn per track it touches, for disks
// laid out in the ways a write may find or leave them, and the reads again under other assumed
// call and command times. Run by scripts/bench-floppy.sh.
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

// Time from the publication of `from` to the first later one of `to`.
int64_t between(const std::vector<Mark>& marks, const std::string& from, const char* to) {
    int64_t start = -1;
    for (const Mark& m : marks) {
        if (start < 0 && m.text == from) start = m.at;
        if (start >= 0 && m.text == to) return m.at - start;
    }
    return 0;
}

struct Medium {
    int diskType;
    uint32_t mediaType;
    int64_t rotation;
    const char* name;
    uint32_t oldSkew;  // the program's skew before: each cylinder this much later, heads alike
};

// Where sector 1 of cylinder k, head h lies: (k x cylinder + h x head) sectors after the index;
// both 0: in order.
struct Layout {
    uint32_t cylinder;
    uint32_t head;
};

// Lays the whole disk out with `layout`, as a format before the one measured would have.
void layOut(SimulatedFloppy& drive, const MediaGeometry& m, Layout layout) {
    drive.insertUnformattedDisk(m);
    drive.disableTiming();
    FloppyDevice device;
    device.open("A:");
    uint32_t spt = m.sectorsPerTrack;
    FormatRequest request;
    request.mediaType = m.mediaType;
    request.sectorsPerTrack = spt;
    for (uint32_t k = 0; k < m.cylinders; ++k) {
        for (uint32_t h = 0; h < m.tracksPerCylinder; ++h) {
            request.startCylinder = request.endCylinder = k;
            request.startHead = request.endHead = h;
            uint32_t first = (k * layout.cylinder + h * layout.head) % spt;
            for (uint32_t slot = 0; slot < spt; ++slot)
                request.sectorNumbers[slot] = static_cast<uint16_t>((slot + spt - first) % spt + 1);
            device.formatTracks(request);
        }
    }
}

struct Phases {
    int64_t format, write, verify, whole, read;
    bool ok;
};

// One write (with or without its format) and a read of the disk it left, on `drive` as it is.
Phases run(SimulatedFloppy& drive, VolumeImage& image, const FloppyTiming& timing, bool format) {
    Phases p = {0, 0, 0, 0, 0, true};
    drive.enableTiming(timing);
    Recorder w{&image, &drive, {}};
    TransferSink writeSink = {onStep, onEnd, &w};
    image.setNotifyTarget(&writeSink, 1);
    p.ok = image.writeToFloppy("A:", format ? kFormatThenWrite : kWriteWithoutFormat) == 0;
    image.setNotifyTarget(nullptr, 0);
    p.whole = drive.elapsedNanoseconds();
    if (format) p.format = between(w.marks, w.marks[3].text, "Writing bootsector");
    p.write = between(w.marks, "Writing bootsector", "Dismounting floppy");
    p.verify = p.whole -
               between(w.marks, "Creating floppy access handle", "Closing floppy access handle");
    std::unique_ptr<VolumeImage> copy(new VolumeImage);
    copy->setNotifyTarget(nullptr, 1);
    drive.enableTiming(timing);
    p.ok = copy->readFromFloppy("A:") == 0 && p.ok;
    p.read = drive.elapsedNanoseconds();
    return p;
}

double seconds(int64_t ns) { return static_cast<double>(ns) / 1e9; }

void cell(int64_t ns) {
    if (ns == 0) std::printf(" none |");
    else std::printf(" %.1f s |", seconds(ns));
}

void bench(const Medium& medium) {
    MediaGeometry m = SimulatedFloppy::standardMedia(medium.mediaType);
    FloppyTiming timing;
    timing.rotation = medium.rotation;
    int64_t floor = static_cast<int64_t>(m.cylinders * m.tracksPerCylinder) * timing.rotation;
    uint32_t stagger = win32_answer::driverTrackStagger(medium.mediaType);
    Layout old = {medium.oldSkew, 0};

    std::unique_ptr<VolumeImage> image(new VolumeImage);
    image->createImage(nullptr, medium.diskType, "BENCH", "TOLVEN");
    for (int i = 0; i < image->clusterCount; ++i)
        std::memset(image->clusters[i], i & 0xFF, image->clusterBytes);

    SimulatedFloppy drive("A:");
    drive.install();
    if (medium.mediaType == kMediaF5_1Pt2_512) {
        MediaGeometry list[2] = {m, SimulatedFloppy::standardMedia(kMediaF5_360_512)};
        drive.setMediaList(list, 2);
    }

    std::printf("\n%s, the driver's stagger %u sectors, floor %.1f s a pass:\n\n", medium.name,
                stagger, seconds(floor));
    std::printf("| variant | format | write | verify | whole write | read | whole / floor |\n");
    std::printf("| --- | --- | --- | --- | --- | --- | --- |\n");
    struct Variant {
        const char* title;
        bool cylinderCalls;
        bool format;
        bool formattedBefore;  // the disk the format finds, or the one written without formatting
        Layout layout;
    };
    const Variant variants[] = {
        {"one call per area and cluster, the program's format of a used disk",
         false,
         true,
         true,
         {0, 0}},
        {"cylinder calls, the program's format of a used disk", true, true, true, {0, 0}},
        {"cylinder calls, the program's format of a new disk", true, true, false, {0, 0}},
        {"cylinder calls, no format, disk laid out in order", true, false, true, {0, 0}},
        {"cylinder calls, no format, disk with the previous skew", true, false, true, old},
    };
    for (const Variant& v : variants) {
        drive.setReadAhead(v.cylinderCalls);
        if (v.formattedBefore) layOut(drive, m, v.layout);
        else drive.insertUnformattedDisk(m);
        Phases p = run(drive, *image, timing, v.format);
        std::printf("| %s%s |", v.title, p.ok ? "" : " (FAILED)");
        cell(p.format);
        cell(p.write);
        cell(p.verify);
        cell(p.whole);
        cell(p.read);
        std::printf(" %.2f |\n",
                    static_cast<double>(p.whole) / static_cast<double>((v.format ? 3 : 2) * floor));
    }

    std::printf(
        "\nReads of the whole disk against the assumed times from one call to the next\n"
        "and from one controller command to the next (floor %.1f s):\n\n",
        seconds(floor));
    std::printf("| disk laid out | 0.5 ms, 0.2 ms | 2 ms, 0.5 ms | 4 ms, 2 ms |\n");
    std::printf("| --- | --- | --- | --- |\n");
    struct Row {
        const char* title;
        Layout layout;
        bool program;
    };
    const Row rows[] = {{"by the program's format", {0, 0}, true},
                        {"in order", {0, 0}, false},
                        {"with the previous skew", old, false}};
    const int64_t calls[3][2] = {{500000, 200000}, {2000000, 500000}, {4000000, 2000000}};
    drive.setReadAhead(true);
    for (const Row& r : rows) {
        std::printf("| %s |", r.title);
        for (const int64_t* c : calls) {
            FloppyTiming t = timing;
            t.callOverhead = c[0];
            t.commandOverhead = c[1];
            layOut(drive, m, r.layout);
            Phases p = run(drive, *image, t, r.program);
            std::printf(" %.1f s%s |", seconds(p.read), p.ok ? "" : " FAILED");
        }
        std::printf("\n");
    }
    image->setNotifyTarget(nullptr, 0);
}

}  // namespace

int main() {
    FloppyTiming t;
    std::printf(
        "Timing model: an internal drive under Windows' floppy driver, %.0f rpm (360 for 1.2 MB),\n"
        "a %.0f ms step, %.0f ms to settle after every seek, %.1f ms from one call to the next "
        "and\n"
        "%.1f ms from one controller command to the next (assumed), sectors with their format's\n"
        "gaps, each call's tracks staggered as the driver does, each format track after a seek,\n"
        "the settle time and an ID read, from the index. A used disk was laid out in order.\n",
        60e9 / static_cast<double>(t.rotation), static_cast<double>(t.step) / 1e6,
        static_cast<double>(t.settle) / 1e6, static_cast<double>(t.callOverhead) / 1e6,
        static_cast<double>(t.commandOverhead) / 1e6);
    const Medium media[] = {
        {2, kMediaF3_1Pt44_512, 200000000, "3.5-inch 1.44 MB (80 x 2 x 18)", 3},
        {0, kMediaF3_720_512, 200000000, "3.5-inch 720 KB (80 x 2 x 9)", 2},
        {10, kMediaF5_1Pt2_512, 166666667, "5.25-inch 1.2 MB (80 x 2 x 15)", 3},
    };
    for (const Medium& m : media) bench(m);
    return 0;
}
