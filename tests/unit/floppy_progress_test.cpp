#include <gtest/gtest.h>

#include <climits>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "floppy/transfer_sink.h"
#include "floppy_test_support.h"

using namespace floppytest;

namespace {

TEST(TransferProgress, PercentTruncatesAndNeverDividesByZero) {
    std::unique_ptr<VolumeImage> image(new VolumeImage);
    struct Row {
        int32_t done, total, percent;
    };
    const Row rows[] = {
        {0, 0, 0},
        {1234, 0, 0},
        {1, 2880, 0},
        {1439, 2880, 49},
        {2879, 2880, 99},
        {2880, 2880, 100},
        {3000, 2880, 104},
        {-29, 2880, -1},
        {INT_MAX, 2880, static_cast<int32_t>(static_cast<int64_t>(INT_MAX) * 100 / 2880)}};
    for (const Row& r : rows) {
        image->sectorsDone = r.done;
        image->sectorsTotal = r.total;
        EXPECT_EQ(r.percent, image->progressPercent()) << r.done << "/" << r.total;
    }
}

// The status text is copied with its terminator; a step text longer than its buffer is cut.
TEST(TransferProgress, StatusTextIsCopiedWholeAndCutToItsBuffer) {
    std::unique_ptr<VolumeImage> image(new VolumeImage);
    std::strcpy(image->statusText, "Locking floppy drive");
    char out[kStatusTextSize];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(out, image->copyStatusText(out));
    EXPECT_STREQ("Locking floppy drive", out);
    TransferRecorder recorder(*image);
    std::string longText(300, 'a');
    image->publishStep("%s", longText.c_str());
    ASSERT_EQ(1u, recorder.steps.size());
    EXPECT_EQ(std::string(kStatusTextSize - 1, 'a'), recorder.steps[0].text);
}

TEST(TransferProgress, NotifyTargetFlagStopAndCheckPoint) {
    std::unique_ptr<VolumeImage> image(new VolumeImage);
    TransferSink sink = {nullptr, nullptr, nullptr};
    image->setNotifyTarget(&sink, 1);
    EXPECT_EQ(&sink, image->notifySink);
    EXPECT_EQ(1, image->keepRunning.load());
    image->setNotifyTarget(&sink, 0);
    EXPECT_EQ(0, image->keepRunning.load());
    image->setNotifyTarget(&sink, 1);
    int result = 120;
    EXPECT_FALSE(image->checkPoint(result));  // an earlier error stays while running
    EXPECT_EQ(120, result);
    image->requestStop();
    EXPECT_EQ(&sink, image->notifySink);
    EXPECT_EQ(0, image->keepRunning.load());
    EXPECT_TRUE(image->checkPoint(result));
    EXPECT_EQ(200, result);
}

TEST(TransferProgress, ClosingStepOrUnstartedTransferEndsDialogOnce) {
    std::unique_ptr<VolumeImage> image(new VolumeImage);
    TransferRecorder recorder(*image);
    image->publishStep("Reading data sectors (%i/%i)", 5, 2847);
    image->sectorsDone = 7;
    image->sectorsTotal = 10;
    EXPECT_EQ(120, image->finishTransfer(120));
    std::vector<Step> expected = {{"Reading data sectors (5/2847)", 0}, {"", 70}};
    EXPECT_EQ(expected, recorder.steps);
    EXPECT_EQ(1, recorder.dialogEnds);
    EXPECT_EQ(120, recorder.endResult);
    EXPECT_EQ(0, image->keepRunning.load());
    EXPECT_EQ(&recorder, recorder.targets.back());
    // A transfer that could not start (no worker thread, no drive) ends as a failure with its
    // message: the window must take neither the image as read nor the disk as written.
    TransferRecorder unstarted(*image);
    EXPECT_EQ(kResultHostIo, failUnstartedTransfer(*image));
    EXPECT_EQ(1, unstarted.dialogEnds);
    EXPECT_EQ(kResultHostIo, unstarted.endResult);
    EXPECT_EQ(std::vector<std::string>{"Could not start the floppy transfer!"}, messages(*image));
}

// The drive dialog's hand-over with this thread as the window's: each step waits until this
// thread has taken the text and percentage (as SendMessage waits), and the end comes once.
struct HandOver {
    std::mutex mutex;
    std::condition_variable changed;
    bool stepWaiting = false;
    int ended = -1;
    static void step(void* context) {
        HandOver* h = static_cast<HandOver*>(context);
        std::unique_lock<std::mutex> lock(h->mutex);
        h->stepWaiting = true;
        h->changed.notify_all();
        h->changed.wait(lock, [h] { return !h->stepWaiting; });
    }
    static void end(void* context, int result) {
        HandOver* h = static_cast<HandOver*>(context);
        std::lock_guard<std::mutex> lock(h->mutex);
        h->ended = result;
        h->changed.notify_all();
    }
};

// A read on a worker, cancelled from this thread; then a second one, started as soon as the first
// has reported its end while its worker may still be winding down (run under the sanitizers).
TEST(TransferProgress, WorkerHandsStepsOverAndCancelComesFromTheWindowThread) {
    SimulatedFloppy drive("A:");
    ASSERT_TRUE(drive.install());
    std::unique_ptr<VolumeImage> image(new VolumeImage);
    makeImage(*image, kType1440, "ONDISK");
    std::vector<uint8_t> disk = rawDisk(*image);
    drive.insertDisk(mediaFor(kType1440), disk.data(), disk.size());
    HandOver h;
    TransferSink sink = {HandOver::step, HandOver::end, &h};
    std::vector<std::thread> workers;
    for (int result : {kResultCancelled, kResultOk}) {
        h.ended = -1;
        image->setNotifyTarget(&sink, 1);
        workers.emplace_back([&image] { image->readFromFloppy("A:"); });
        char text[kStatusTextSize];
        int shown = 0, percent = 0;
        std::unique_lock<std::mutex> lock(h.mutex);
        while (h.changed.wait(lock, [&h] { return h.stepWaiting || h.ended >= 0; }),
               h.stepWaiting) {
            image->copyStatusText(text);
            percent = image->progressPercent();
            if (++shown == 100 && result != kResultOk) image->requestStop();
            h.stepWaiting = false;
            h.changed.notify_all();
        }
        EXPECT_EQ(result, h.ended);
        EXPECT_TRUE(result != kResultOk || percent == 100);
    }
    for (std::thread& worker : workers) worker.join();
}

}  // namespace
