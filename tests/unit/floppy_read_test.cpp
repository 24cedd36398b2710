#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "floppy/floppy_device.h"
#include "floppy_test_support.h"

using namespace floppytest;

namespace {

// The publications of a complete read, as the drive dialog sees them.
std::vector<Step> completeRead(int total, int perFat, int fats, int rootEntries, int perCluster,
                               int clusters, int dataSectors) {
    std::vector<Step> s = {{"Creating floppy access handle", 0},
                           {"Buffering current image", 0},
                           {"Locking floppy drive", 0},
                           {"Reading bootsector", 0}};
    int done = 1;
    auto pct = [&](int d) { return d * 100 / total; };
    s.push_back({"Allocating image memory", pct(done)});
    s.push_back({"Reading first FAT", pct(done)});
    done += perFat;
    if (fats > 1) {
        s.push_back({"Reading second FAT", pct(done)});
        done += perFat;
    }
    s.push_back({"Reading root directory", pct(done)});
    done += rootEntries * 32 / 512;
    s.push_back({"Reading data sectors", pct(done)});
    for (int i = 0; i < clusters; ++i) {
        done += perCluster;
        s.push_back({"Reading data sectors (" + std::to_string(i * perCluster) + "/" +
                         std::to_string(dataSectors) + ")",
                     pct(done)});
    }
    s.push_back({"Unlocking floppy drive", pct(done)});
    s.push_back({"", pct(done)});
    return s;
}

class FloppyRead : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(drive.install());
        makeImage(*image, kType720, "PREVIOUS");
        before = snapshot(*image);
        makeImage(*source, kType1440, "ONDISK");
        insert(*source, kType1440);
    }
    void insert(VolumeImage& volume, int diskType) {
        std::vector<uint8_t> disk = rawDisk(volume);
        drive.insertDisk(mediaFor(diskType), disk.data(), disk.size());
    }

    // Runs a read with a recorder in place of the dialog.
    int read(TransferRecorder& recorder) {
        int result = image->readFromFloppy("A:");
        expectTransferEnded(recorder, *image, drive, result);
        EXPECT_EQ(0, recorder.stepsAfterEnd);
        EXPECT_FALSE(drive.isLocked());
        return result;
    }

    void expectPreviousImage() {
        EXPECT_TRUE(snapshot(*image) == before) << "the previous image was not restored";
    }

    SimulatedFloppy drive{"A:"};
    std::unique_ptr<VolumeImage> image{new VolumeImage};
    std::unique_ptr<VolumeImage> source{new VolumeImage};
    std::vector<uint8_t> before;
};

TEST_F(FloppyRead, Full1440And720VolumesPublishEveryStepToTheLastSector) {
    TransferRecorder recorder(*image);
    ASSERT_EQ(kResultOk, read(recorder));
    EXPECT_EQ(completeRead(2880, 9, 2, 224, 1, 2847, 2847), recorder.steps);
    EXPECT_EQ(2880, image->sectorsDone);
    EXPECT_EQ(2880, image->sectorsTotal);
    EXPECT_TRUE(snapshot(*image) == snapshot(*source));
    EXPECT_TRUE(messages(*image).empty());
    for (void* w : recorder.targets) EXPECT_EQ(&recorder, w);
    ASSERT_GE(drive.log().size(), 4u);
    EXPECT_EQ("open A:", drive.log().front());
    EXPECT_EQ("allow extended access", drive.log()[1]);
    EXPECT_EQ("lock", drive.log()[2]);
    EXPECT_EQ("read 512 @0", drive.log()[3]);
    EXPECT_EQ("unlock", drive.log()[drive.log().size() - 2]);
    EXPECT_EQ("close", drive.log().back());
    EXPECT_EQ(0, drive.callCount(FloppyCall::Write));
    EXPECT_EQ(0, drive.callCount(FloppyCall::Format));

    std::unique_ptr<VolumeImage> disk(new VolumeImage);
    makeImage(*disk, kType720, "SMALL");
    insert(*disk, kType720);
    TransferRecorder small(*image);
    ASSERT_EQ(kResultOk, read(small));
    EXPECT_EQ(completeRead(1440, 3, 2, 112, 2, 713, 1426), small.steps);
    EXPECT_EQ(1440, image->sectorsDone);
    EXPECT_EQ(1440, image->sectorsTotal);
    EXPECT_TRUE(snapshot(*image) == snapshot(*disk));
}

TEST_F(FloppyRead, OneFatVolumeSkipsSecondFatAndLeavesItZero) {
    std::unique_ptr<VolumeImage> disk(new VolumeImage);
    makeImage(*disk, kType1440, "ONEFAT");
    uint8_t boot[512];
    disk->copyBootSector(boot);
    boot[0x10] = 1;
    disk->reset();
    std::memcpy(disk->bootSector, boot, 512);
    disk->computeGeometry();
    disk->fat1[0] = 0xF0, disk->fat1[1] = 0xFF, disk->fat1[2] = 0xFF;
    for (int i = 0; i < disk->clusterCount; ++i) std::memset(disk->clusters[i], i & 0xFF, 512);
    disk->fatTable[2] = 0xFFF;
    insert(*disk, kType1440);
    // rawDisk copies fat1 over fat2; a one-FAT volume has no place for it.
    std::memset(disk->fat2, 0, sizeof disk->fat2);

    TransferRecorder recorder(*image);
    ASSERT_EQ(kResultOk, read(recorder));
    EXPECT_EQ(completeRead(2880, 9, 1, 224, 1, 2856, 2856), recorder.steps);
    EXPECT_EQ(2880, image->sectorsDone);
    for (uint8_t b : image->fat2) ASSERT_EQ(0, b);
    EXPECT_TRUE(snapshot(*image) == snapshot(*disk));
}

// One row of the failure table: the fault, the message, the result.
struct ReadFailure {
    const char* name;
    std::function<void(SimulatedFloppy&, const VolumeImage&)> fault;
    const char* message;
    int result;
};

TEST_F(FloppyRead, EveryFailureRowQueuesOneMessageAndRestoresPreviousImage) {
    const ReadFailure rows[] = {
        {"lock", [](SimulatedFloppy& d, const VolumeImage&) { d.failCall(FloppyCall::Lock, 0); },
         kLockFailed, kResultHostIo},
        {"boot sector read", [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(0, false); },
         "Could not read bootsector!", kResultHostIo},
        {"boot sector short", [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(0, true); },
         "Invalid bootsector found!", kResultBadImage},
        {"first FAT", [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(512 * 5, false); },
         "Could not read first FAT!", kResultHostIo},
        {"first FAT short",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(512 * 9, true); },
         "Could not read first FAT!", kResultHostIo},
        {"second FAT",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(512 * 10, false); },
         "Could not read second FAT!", kResultHostIo},
        {"second FAT short",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(512 * 18, true); },
         "Could not read second FAT!", kResultHostIo},
        {"root directory",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(512 * 19, false); },
         "Could not read root directory!", kResultHostIo},
        {"root directory short",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failReadAt(512 * 32, true); },
         "Could not read root directory!", kResultHostIo},
        {"cluster 0",
         [](SimulatedFloppy& d, const VolumeImage& s) { d.failReadAt(clusterOffset(s, 0), false); },
         "Could not read cluster (0/2847)!", kResultClusterIo},
        {"cluster 1000 short",
         [](SimulatedFloppy& d, const VolumeImage& s) {
             d.failReadAt(clusterOffset(s, 1000), true);
         },
         "Could not read cluster (1000/2847)!", kResultClusterIo},
        {"last cluster",
         [](SimulatedFloppy& d, const VolumeImage& s) {
             d.failReadAt(clusterOffset(s, 2846), false);
         },
         "Could not read cluster (2846/2847)!", kResultClusterIo},
    };
    for (bool readAhead : {true, false}) {
        for (const ReadFailure& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (readAhead ? " (read-ahead)" : " (plain)"));
            drive.setReadAhead(readAhead);
            drive.clearFaults();
            row.fault(drive, *source);
            TransferRecorder recorder(*image);
            EXPECT_EQ(row.result, read(recorder));
            EXPECT_EQ(std::vector<std::string>{row.message}, messages(*image));
            expectPreviousImage();
            ASSERT_GE(recorder.steps.size(), 3u);
            size_t n = recorder.steps.size();
            EXPECT_EQ("Unlocking floppy drive", recorder.steps[n - 3].text);
            EXPECT_EQ("Restoring original image", recorder.steps[n - 2].text);
            EXPECT_EQ("", recorder.steps[n - 1].text);
        }
    }
}

// A drive that does not open, for either transfer: the message says why (held by another
// program, no disk), the dialog ends after its first step, nothing more is asked of the drive
// (no verify pass after a write) and the image stays as it was. The parameter: true for a read.
class FloppyNotOpened : public FloppyRead, public ::testing::WithParamInterface<bool> {
protected:
    int transfer(TransferRecorder& recorder) {
        if (GetParam()) return read(recorder);
        int result = image->writeToFloppy("A:");
        expectTransferEnded(recorder, *image, drive, result);
        return result;
    }
};

TEST_P(FloppyNotOpened, SaysWhyEndsTheDialogAndLeavesTheImage) {
    drive.failCall(FloppyCall::Open, 1);
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultHostIo, transfer(recorder));
    EXPECT_EQ(
        std::vector<std::string>{"Could not access floppy drive! Drive may be locked by another "
                                 "application!"},
        messages(*image));
    std::vector<Step> expected = {{"Creating floppy access handle", 0}, {"", 0}};
    EXPECT_EQ(expected, recorder.steps);
    EXPECT_EQ(std::vector<std::string>{"open A: FAILED"}, drive.log());
    expectPreviousImage();
    drive.clearFaults();
    drive.ejectDisk();  // an empty drive says so
    TransferRecorder again(*image);
    EXPECT_EQ(kResultHostIo, transfer(again));
    EXPECT_EQ(std::vector<std::string>{"No disk in floppy drive! Insert a disk and try again!"},
              messages(*image));
}

INSTANTIATE_TEST_SUITE_P(ReadAndWrite, FloppyNotOpened, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return std::string(param.param ? "Read" : "Write");
                         });

// Another program holding the volume open (an Explorer window on the drive) makes the lock fail
// until it lets go: tried 20 times half a second apart, then the read gives up and says what to
// do, still unlocking and publishing the first FAT's step. Cancel ends the waiting.
TEST_F(FloppyRead, LockIsTriedAgainWhileAnotherProgramHoldsTheVolume) {
    drive.holdVolumeOpen(3000);
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultOk, read(recorder));
    EXPECT_EQ(7, drive.callCount(FloppyCall::Lock));
    EXPECT_EQ("pause 500", drive.log()[3]);
    drive.holdVolumeOpen(SimulatedFloppy::kHeldForever);
    TransferRecorder held(*image);
    EXPECT_EQ(kResultHostIo, read(held));
    EXPECT_EQ(std::vector<std::string>{kLockFailed}, messages(*image));
    EXPECT_EQ("Reading first FAT", held.steps[3].text);
    EXPECT_EQ(7 + 20, drive.callCount(FloppyCall::Lock));
    EXPECT_EQ(6 + 19, drive.callCount(FloppyCall::Pause));
    EXPECT_EQ("lock FAILED", drive.log().end()[-3]);  // then unlock and close
    drive.cancelDuringCall(FloppyCall::Pause, 6 + 19 + 2, &image->keepRunning);
    TransferRecorder cancelled(*image);
    EXPECT_EQ(kResultCancelled, read(cancelled));
    EXPECT_EQ(7 + 20 + 3, drive.callCount(FloppyCall::Lock));  // one more try, then no wait
    EXPECT_EQ(6 + 19 + 2, drive.callCount(FloppyCall::Pause));
}

// Boot sectors a damaged or hostile floppy may carry; each must be refused before the geometry
// is derived from it.
TEST_F(FloppyRead, DamagedBootSectorsAreRefusedWith110LimitsAccepted) {
    struct Damage {
        const char* name;
        int offset;
        int size;
        uint32_t value;
    };
    const Damage damages[] = {
        {"ElevenSectorsPerFat", 0x16, 2, 11},
        {"RootEntries241", 0x11, 2, 241},
        {"ZeroSectorsPerCluster", 0x0D, 1, 0},
        {"MissingSignature", 0x1FE, 2, 0x0000},
        {"ZeroBytesPerSector", 0x0B, 2, 0},
        {"TotalBelowSystemArea", 0x13, 2, 20},
        {"MoreClustersThanFatTable", 0x13, 2, 0xFFFF},
        {"HugeClusters", 0x0D, 1, 128},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        std::vector<uint8_t> disk = rawDisk(*source);
        if (d.size == 1) disk[d.offset] = static_cast<uint8_t>(d.value);
        else writeLe16(disk.data() + d.offset, static_cast<uint16_t>(d.value));
        drive.insertDisk(mediaFor(kType1440), disk.data(), disk.size());
        TransferRecorder recorder(*image);
        EXPECT_EQ(kResultBadImage, read(recorder));
        EXPECT_EQ(std::vector<std::string>{"Invalid bootsector found!"}, messages(*image));
        expectPreviousImage();
        for (const Step& s : recorder.steps) EXPECT_NE("Allocating image memory", s.text);
    }
    // The limits themselves are accepted: 10 sectors a FAT and 240 root entries.
    std::unique_ptr<VolumeImage> disk(new VolumeImage);
    makeImage(*disk, kType1440, "BIGFAT");
    writeLe16(disk->bootSector + 0x16, 10);
    writeLe16(disk->bootSector + 0x11, 240);
    disk->freeClusters();
    disk->computeGeometry();
    ASSERT_EQ(2880 - 1 - 20 - 15, disk->clusterCount);
    for (int i = 0; i < disk->clusterCount; ++i) std::memset(disk->clusters[i], 0x5A ^ i, 512);
    insert(*disk, kType1440);
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultOk, read(recorder));
    EXPECT_TRUE(snapshot(*image) == snapshot(*disk));
}

// Each check point of a read, reached by pressing Cancel while the step before it is shown.
TEST_F(FloppyRead, CancelAtEveryCheckPointRestoresPreviousImageWithoutMessage) {
    struct Cancel {
        const char* shownStep;
        const char* lastDataStep;  // the last cluster step published, or null for none
    };
    const Cancel cancels[] = {
        {"Creating floppy access handle", nullptr},
        {"Buffering current image", nullptr},
        {"Locking floppy drive", nullptr},
        {"Reading bootsector", nullptr},
        {"Allocating image memory", nullptr},
        {"Reading first FAT", nullptr},
        {"Reading second FAT", nullptr},
        {"Reading root directory", nullptr},
        {"Reading data sectors", "Reading data sectors (0/2847)"},
        {"Reading data sectors (100/2847)", "Reading data sectors (100/2847)"},
        {"Reading data sectors (2846/2847)", "Reading data sectors (2846/2847)"},
    };
    for (const Cancel& c : cancels) {
        SCOPED_TRACE(c.shownStep);
        TransferRecorder recorder(*image);
        recorder.cancelAt(c.shownStep);
        EXPECT_EQ(kResultCancelled, read(recorder));
        EXPECT_TRUE(messages(*image).empty());
        expectPreviousImage();
        size_t n = recorder.steps.size();
        ASSERT_GE(n, 4u);
        EXPECT_EQ("Unlocking floppy drive", recorder.steps[n - 3].text);
        EXPECT_EQ("Restoring original image", recorder.steps[n - 2].text);
        EXPECT_EQ("", recorder.steps[n - 1].text);
        const std::string last = recorder.steps[n - 4].text;
        if (c.lastDataStep != nullptr)
            EXPECT_EQ(c.lastDataStep, last);  // the check point ended the loop
        else EXPECT_EQ(std::string::npos, last.find("Reading data sectors ("));
    }
    // Cancel during a failing call gives 200 and keeps the failure's message.
    drive.setReadAhead(false);
    drive.failReadAt(512 * 3, false);  // inside the first FAT
    drive.cancelDuringCall(FloppyCall::Read, drive.callCount(FloppyCall::Read) + 2,
                           &image->keepRunning);  // that same read
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultCancelled, read(recorder));
    EXPECT_EQ(std::vector<std::string>{"Could not read first FAT!"}, messages(*image));
    expectPreviousImage();
}

TEST_F(FloppyRead, ReadAheadChangesNeitherStepsNorResultsNorBytes) {
    struct Case {
        const char* name;
        std::function<void(SimulatedFloppy&)> fault;
    };
    const Case cases[] = {
        {"clean", [](SimulatedFloppy&) {}},
        {"bad cluster 40",
         [&](SimulatedFloppy& d) { d.failReadAt(clusterOffset(*source, 40), false); }},
        {"short at cluster 40",
         [&](SimulatedFloppy& d) { d.failReadAt(clusterOffset(*source, 40), true); }},
        {"bad sector behind root",
         [&](SimulatedFloppy& d) { d.failReadAt(clusterOffset(*source, 2), false); }},
        {"bad FAT2 end", [](SimulatedFloppy& d) { d.failReadAt(512 * 18, false); }},
        {"wrong byte",
         [&](SimulatedFloppy& d) { d.corruptByteOnRead(clusterOffset(*source, 7) + 3, 0x10); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int results[2];
        std::vector<Step> steps[2];
        std::vector<std::string> texts[2];
        std::vector<uint8_t> images[2];
        int calls[2];
        for (int ahead = 0; ahead < 2; ++ahead) {
            drive.setReadAhead(ahead == 1);
            drive.clearFaults();
            c.fault(drive);
            int before = drive.callCount(FloppyCall::Read);
            TransferRecorder recorder(*image);
            results[ahead] = read(recorder);
            calls[ahead] = drive.callCount(FloppyCall::Read) - before;
            steps[ahead] = recorder.steps;
            texts[ahead] = messages(*image);
            images[ahead] = snapshot(*image);
            // Back to the previous image for the next run.
            makeImage(*image, kType720, "PREVIOUS");
        }
        EXPECT_EQ(results[0], results[1]);
        EXPECT_EQ(steps[0], steps[1]);
        EXPECT_EQ(texts[0], texts[1]);
        EXPECT_TRUE(images[0] == images[1]);
        if (std::string(c.name) == "clean") {
            EXPECT_EQ(1 + 1 + 1 + 1 + 2847, calls[0]);
            EXPECT_LE(calls[1], 82);  // the boot sector, then about one read per cylinder
        }
    }
}

// The previous image cannot be kept: the read stops before reading anything, and the image
// stays as it was.
TEST_F(FloppyRead, BackupThatCannotBeMadeOrUnknownDriveStopsBeforeAnythingIsRead) {
    makeImage(*image, kType1440, "PREVIOUS");
    before = snapshot(*image);
    TransferRecorder recorder(*image);
    FaultyHost host;
    host.failAllocation(1);
    EXPECT_EQ(kResultHostIo, read(recorder));
    EXPECT_EQ(std::vector<std::string>{"Not enough memory to keep the current image!"},
              messages(*image));
    EXPECT_EQ(0, drive.callCount(FloppyCall::Read));
    expectPreviousImage();
    // Neither is a drive name no drive has.
    int opens = drive.callCount(FloppyCall::Open);
    TransferRecorder unknown(*image);
    EXPECT_EQ(kResultHostIo, image->readFromFloppy("B:"));
    EXPECT_EQ(opens, drive.callCount(FloppyCall::Open));
    EXPECT_EQ(1, unknown.dialogEnds);
    expectPreviousImage();
}

}  // namespace
