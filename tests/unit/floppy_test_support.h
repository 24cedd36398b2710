// Helpers of the floppy transfer tests: a recorder in place of the drive dialog, images with
// content, raw disk bytes of an image and whole-image snapshots.
#ifndef TOLVEN_TESTS_UNIT_FLOPPY_TEST_SUPPORT_H
#define TOLVEN_TESTS_UNIT_FLOPPY_TEST_SUPPORT_H

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "floppy/simulated_floppy.h"
#include "floppy/transfer_notify.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"

namespace floppytest {

const int kType720 = 0;
const int kType1440 = 2;
const int kType1680 = 3;
const int kType2880 = 5;

struct Step {
    std::string text;
    int percent;
    bool operator==(const Step& o) const { return text == o.text && percent == o.percent; }
};

inline std::ostream& operator<<(std::ostream& out, const Step& s) {
    return out << "\"" << s.text << "\" " << s.percent << "%";
}

// Stands in for the drive dialog: records every published step with the percentage the dialog
// would show, counts the ends of the dialog, and presses Cancel when a chosen step is published.
class TransferRecorder {
public:
    explicit TransferRecorder(VolumeImage& image) : image_(image) {
        setTransferNotifyHook(&TransferRecorder::notice, this);
        image_.setNotifyTarget(kWindow, 1);
    }
    ~TransferRecorder() { setTransferNotifyHook(nullptr, nullptr); }

    // Cancel while the dialog shows the publication of `text` (the nth one, from 1).
    void cancelAt(const std::string& text, int nth = 1) {
        cancelText_ = text;
        cancelNth_ = nth;
    }

    std::vector<Step> steps;
    std::vector<void*> windows;  // the window of every notice
    int dialogEnds = 0;
    int stepsAfterEnd = 0;

    static void* const kWindow;

private:
    static void notice(void* context, void* window, TransferNotice what) {
        TransferRecorder* self = static_cast<TransferRecorder*>(context);
        self->windows.push_back(window);
        if (what == kNoticeEndDialog) {
            ++self->dialogEnds;
            return;
        }
        if (self->dialogEnds > 0) ++self->stepsAfterEnd;
        char text[kStatusTextSize];
        self->image_.copyStatusText(text);
        self->steps.push_back(Step{text, self->image_.progressPercent()});
        if (!self->cancelText_.empty() && self->cancelText_ == text && --self->cancelNth_ == 0)
            self->image_.setNotifyTarget(window, 0);
    }

    VolumeImage& image_;
    std::string cancelText_;
    int cancelNth_ = 0;
};

// A new image of `diskType` with a few files whose clusters hold a pattern, and the free clusters
// filled too, so that a misplaced cluster shows.
void makeImage(VolumeImage& image, int diskType, const char* label = "FLOPPYTEST");

// The raw sector dump of an image as a floppy holds it: boot sector, FATs, root directory,
// clusters, zero up to the total sector count. The FATs are encoded from fatTable first.
std::vector<uint8_t> rawDisk(VolumeImage& image);

// Every byte of the volume an image holds: buffers, geometry, FAT table and clusters.
std::vector<uint8_t> snapshot(const VolumeImage& image);

// True when no backup cluster buffer is held.
bool backupClustersFreed(const VolumeImage& image);

// What every finished transfer leaves behind, as gtest expectations: the dialog ended once, the
// transfer flag and the status line are cleared, the backup buffers are given back and the drive
// is closed.
void expectTransferEnded(const TransferRecorder& recorder, const VolumeImage& image,
                         const SimulatedFloppy& drive);

// Popped messages, oldest first.
std::vector<std::string> messages(VolumeImage& image);

// Byte offset of an area on a disk of this image: sector numbers of the stream order.
uint64_t clusterOffset(const VolumeImage& image, int index);

MediaGeometry mediaFor(int diskType);

}  // namespace floppytest

#endif
