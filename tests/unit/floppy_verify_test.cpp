#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "floppy/floppy_device.h"
#include "floppy_test_support.h"

using namespace floppytest;

namespace {

const char kNotLocked[] =
    "Could not verify floppy! Drive could not be locked! Close every window and program using "
    "drive A: and try again!";

class FloppyVerify : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(drive.install());
        makeImage(*image, kType1440, "VERIFY");
        std::vector<uint8_t> disk = rawDisk(*image);
        drive.insertDisk(mediaFor(kType1440), disk.data(), disk.size());
        before = snapshot(*image);
    }

    int verify(int incoming, TransferRecorder& recorder) {
        int result = image->verifyFloppy("A:", incoming);
        expectTransferEnded(recorder, *image, drive, result);
        EXPECT_TRUE(snapshot(*image) == before) << "the image changed";
        EXPECT_EQ(0, drive.callCount(FloppyCall::Write));
        EXPECT_EQ(0, drive.callCount(FloppyCall::Dismount));
        return result;
    }

    SimulatedFloppy drive{"A:"};
    std::unique_ptr<VolumeImage> image{new VolumeImage};
    std::vector<uint8_t> before;
};

TEST_F(FloppyVerify, MatchingFloppyPassesAndFailedWriteIsNotCompared) {
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultOk, verify(kResultOk, recorder));
    EXPECT_TRUE(messages(*image).empty());
    EXPECT_EQ(2880, image->sectorsDone);
    EXPECT_EQ(2880, image->sectorsTotal);
    EXPECT_EQ("Verifying bootsector", recorder.steps.front().text);
    EXPECT_EQ("Verifying data sectors (2846/2847)", recorder.steps[recorder.steps.size() - 3].text);
    EXPECT_EQ(100, recorder.steps.back().percent);
    // Nothing to compare after a failed write: the drive is opened and closed, and no lock is
    // waited for.
    drive.clearLog();
    TransferRecorder failed(*image);
    EXPECT_EQ(kResultClusterIo, verify(kResultClusterIo, failed));
    std::vector<std::string> steps;
    for (const Step& s : failed.steps) steps.push_back(s.text);
    EXPECT_EQ((std::vector<std::string>{"Verifying first FAT", "Unlocking floppy drive", ""}),
              steps);
    EXPECT_EQ((std::vector<std::string>{"open A:", "allow extended access", "close"}), drive.log());
    EXPECT_TRUE(messages(*image).empty());
}

struct VerifyFailure {
    const char* name;
    std::function<void(SimulatedFloppy&, const VolumeImage&)> fault;
    const char* message;
    const char* lastCompared;  // the last step text before "Unlocking floppy drive"
};

TEST_F(FloppyVerify, EveryFailureRowYields140AndStopsComparing) {
    const VerifyFailure rows[] = {
        {"boot sector differs",
         [](SimulatedFloppy& d, const VolumeImage&) { d.corruptByteOnRead(3, 1); },
         "Verifying bootsector failed!", "Verifying first FAT"},
        {"boot sector unreadable",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(0, false); },
         "Verifying bootsector failed!", "Verifying first FAT"},
        {"boot sector of no bytes",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(0, true); },
         "Verifying bootsector failed!", "Verifying first FAT"},
        {"first FAT differs",
         [](SimulatedFloppy& d, const VolumeImage&) { d.corruptByteOnRead(512 + 7, 4); },
         "Verifying first FAT failed!", "Verifying first FAT"},
        {"first FAT short",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(512 * 8, true); },
         "Verifying first FAT failed!", "Verifying first FAT"},
        {"second FAT differs",
         [](SimulatedFloppy& d, const VolumeImage&) { d.corruptByteOnRead(512 * 18 + 511, 0x80); },
         "Verifying second FAT failed!", "Verifying second FAT"},
        {"second FAT unreadable",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(512 * 12, false); },
         "Verifying second FAT failed!", "Verifying second FAT"},
        {"root directory differs",
         [](SimulatedFloppy& d, const VolumeImage&) { d.corruptByteOnRead(512 * 25, 2); },
         "Verifying root directory failed!", "Verifying root directory"},
        {"root directory short",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(512 * 30, true); },
         "Verifying root directory failed!", "Verifying root directory"},
        {"cluster 7 last byte",
         [](SimulatedFloppy& d, const VolumeImage& s) {
             d.corruptByteOnRead(clusterOffset(s, 5) + 511, 1);
         },
         "Verifying cluster failed (5/2847)!", "Verifying data sectors (5/2847)"},
        {"cluster unreadable",
         [](SimulatedFloppy& d, const VolumeImage& s) {
             d.failReadAt(clusterOffset(s, 2000), false);
         },
         "Verifying cluster failed (2000/2847)!", "Verifying data sectors (2000/2847)"},
        {"cluster short",
         [](SimulatedFloppy& d, const VolumeImage& s) {
             d.failReadAt(clusterOffset(s, 2846), true);
         },
         "Verifying cluster failed (2846/2847)!", "Verifying data sectors (2846/2847)"},
    };
    for (bool readAhead : {true, false}) {
        for (const VerifyFailure& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (readAhead ? " (read-ahead)" : " (plain)"));
            drive.setReadAhead(readAhead);
            drive.clearFaults();
            row.fault(drive, *image);
            TransferRecorder recorder(*image);
            EXPECT_EQ(kResultVerifyFailed, verify(kResultOk, recorder));
            EXPECT_EQ(std::vector<std::string>{row.message}, messages(*image));
            size_t n = recorder.steps.size();
            ASSERT_GE(n, 3u);
            EXPECT_EQ(row.lastCompared, recorder.steps[n - 3].text);
            EXPECT_EQ("Unlocking floppy drive", recorder.steps[n - 2].text);
        }
    }
}

TEST_F(FloppyVerify, DriveNotOpenedOrNoMemoryYields140WhateverCameIn) {
    for (int incoming : {kResultOk, kResultClusterIo, kResultCancelled}) {
        SCOPED_TRACE(incoming);
        drive.clearFaults();
        drive.failCall(FloppyCall::Open, 0);
        TransferRecorder recorder(*image);
        EXPECT_EQ(kResultVerifyFailed, verify(incoming, recorder));
        EXPECT_EQ(std::vector<std::string>{"Could not verify floppy! Drive could not be acessed!"},
                  messages(*image));
        std::vector<Step> expected = {{"", recorder.steps.back().percent}};
        EXPECT_EQ(expected, recorder.steps);
    }
    // No room to read the floppy back: nothing is compared, and the message says why.
    drive.clearFaults();
    TransferRecorder recorder(*image);
    FaultyHost host;
    host.failAllocation(1);
    EXPECT_EQ(kResultVerifyFailed, verify(kResultOk, recorder));
    EXPECT_EQ(
        std::vector<std::string>{"Could not verify floppy! Not enough memory to read it back!"},
        messages(*image));
    EXPECT_EQ(0, drive.callCount(FloppyCall::Read));
}

TEST_F(FloppyVerify, DriveNotLockedAgainYields140Or200WhenCancelled) {
    drive.failCall(FloppyCall::Lock, 0);
    {
        TransferRecorder recorder(*image);
        EXPECT_EQ(kResultVerifyFailed, verify(kResultOk, recorder));
        EXPECT_EQ(std::vector<std::string>{kNotLocked}, messages(*image));
        EXPECT_EQ(0, drive.callCount(FloppyCall::Read));
    }
    {
        TransferRecorder recorder(*image);
        drive.cancelDuringCall(FloppyCall::Lock, 20 + 2, &image->keepRunning);
        EXPECT_EQ(kResultCancelled, verify(kResultOk, recorder));  // no wait after the Cancel
        EXPECT_EQ(std::vector<std::string>{kNotLocked}, messages(*image));
        EXPECT_EQ(20 + 2, drive.callCount(FloppyCall::Lock));
    }
}

TEST_F(FloppyVerify, CancelAtEveryCheckPointYields200) {
    const char* cancels[] = {"Verifying bootsector",   "Verifying first FAT",
                             "Verifying second FAT",   "Verifying root directory",
                             "Verifying data sectors", "Verifying data sectors (1234/2847)"};
    for (const char* step : cancels) {
        SCOPED_TRACE(step);
        TransferRecorder recorder(*image);
        recorder.cancelAt(step);
        EXPECT_EQ(kResultCancelled, verify(kResultOk, recorder));
        EXPECT_TRUE(messages(*image).empty());
        size_t n = recorder.steps.size();
        EXPECT_EQ("Unlocking floppy drive", recorder.steps[n - 2].text);
        std::string last = recorder.steps[n - 3].text;
        if (std::string(step).find('(') != std::string::npos) {
            EXPECT_EQ(step, last);
        }
        EXPECT_EQ(std::string::npos, last.find("(1235/"));
    }
}

}  // namespace
