// Helpers of the floppy transfer tests: a recorder in place of the drive dialog, images with
// content and raw disk bytes of an image.
#ifndef TOLVEN_TESTS_UNIT_FLOPPY_TEST_SUPPORT_H
#define TOLVEN_TESTS_UNIT_FLOPPY_TEST_SUPPORT_H

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "floppy/transfer_sink.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"
#include "image_snapshot.h"
#include "test_support.h"
#include "tests/support/faulty_host.h"
#include "tests/support/simulated_floppy.h"

namespace floppytest {

const int kType720 = 0;
const int kType1440 = 2;
const int kType1680 = 3;
const int kType2880 = 5;
const int kType1200 = 10;

const char kLockFailed[] =
    "Could not lock floppy drive! Close every window and program using drive A: and try again!";

struct Step {
    std::string text;
    int percent;
    bool operator==(const Step& o) const { return text == o.text && percent == o.percent; }
};

inline std::ostream& operator<<(std::ostream& out, const Step& s) {
    return out << "\"" << s.text << "\" " << s.percent << "%";
}

// Stands in for the drive dialog as the image's sink: records every published step with the
// percentage the dialog would show, counts the ends and keeps the result the last one reported,
// and presses Cancel when a chosen step is published.
class TransferRecorder {
public:
    explicit TransferRecorder(VolumeImage& image)
        : image_(image), sink_{&TransferRecorder::step, &TransferRecorder::ended, this} {
        image_.setNotifyTarget(&sink_, 1);
    }
    ~TransferRecorder() { image_.setNotifyTarget(nullptr, image_.keepRunning.load()); }

    // Cancel while the dialog shows the publication of `text` (the nth one, from 1).
    void cancelAt(const std::string& text, int nth = 1) {
        cancelText_ = text;
        cancelNth_ = nth;
    }

    std::vector<Step> steps;
    std::vector<void*> targets;  // the sink context of every notice
    int dialogEnds = 0;
    int endResult = -1;
    int stepsAfterEnd = 0;

private:
    static void step(void* context) {
        TransferRecorder* self = static_cast<TransferRecorder*>(context);
        self->targets.push_back(context);
        if (self->dialogEnds > 0) ++self->stepsAfterEnd;
        char text[kStatusTextSize];
        self->image_.copyStatusText(text);
        self->steps.push_back(Step{text, self->image_.progressPercent()});
        if (!self->cancelText_.empty() && self->cancelText_ == text && --self->cancelNth_ == 0)
            self->image_.requestStop();
    }
    static void ended(void* context, int result) {
        TransferRecorder* self = static_cast<TransferRecorder*>(context);
        self->targets.push_back(context);
        ++self->dialogEnds;
        self->endResult = result;
    }

    VolumeImage& image_;
    TransferSink sink_;
    std::string cancelText_;
    int cancelNth_ = 0;
};

// A new image of `diskType` with a few files whose clusters hold a pattern, and the free clusters
// filled too, so that a misplaced cluster shows.
void makeImage(VolumeImage& image, int diskType, const char* label = "FLOPPYTEST");

// The raw sector dump of an image as a floppy holds it: boot sector, FATs, root directory,
// clusters, zero up to the total sector count. The FATs are encoded from fatTable first.
std::vector<uint8_t> rawDisk(VolumeImage& image);

// What every finished transfer leaves behind, as gtest expectations: the dialog ended once with
// the transfer's `result`, the transfer flag and the status line are cleared, the backup buffers
// are given back and the drive is closed.
void expectTransferEnded(const TransferRecorder& recorder, const VolumeImage& image,
                         const SimulatedFloppy& drive, int result);

// Popped messages, oldest first.
inline std::vector<std::string> messages(VolumeImage& image) {
    return testing_support::takeMessages(image);
}

// Byte offset of an area on a disk of this image: sector numbers of the stream order.
uint64_t clusterOffset(const VolumeImage& image, int index);

MediaGeometry mediaFor(int diskType);

}  // namespace floppytest

#endif
