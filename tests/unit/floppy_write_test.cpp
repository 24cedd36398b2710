#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "floppy/disk_probe.h"
#include "floppy/floppy_device.h"
#include "floppy/write_floppy.h"
#include "image/disk_types.h"
#include "floppy_test_support.h"
#include "test_support.h"

using namespace floppytest;

namespace {

std::string counted(const char* text, int a, int b) {
    return std::string(text) + " (" + std::to_string(a) + "/" + std::to_string(b) + ")";
}

// The publications of a successful write with its verify pass.
std::vector<Step> completeWrite(int total, int cylinders, int heads, int perTrack, int perFat,
                                int rootEntries, int perCluster, int clusters, int dataSectors) {
    auto pct = [](int d, int t) { return d * 100 / t; };
    std::vector<Step> s = {{"Creating floppy access handle", 0},
                           {"Locking floppy drive", 0},
                           {"Checking floppy type", 0}};
    int formatTotal = cylinders * heads * perTrack;
    for (int k = 0; k < cylinders; ++k)
        s.push_back({counted("Formatting sectors", k * heads * perTrack, formatTotal),
                     pct(k * heads * perTrack, formatTotal)});
    int done = 0;
    s.push_back({"Writing bootsector", 0});
    done += 1;
    s.push_back({"Writing first FAT", pct(done, total)});
    done += perFat;
    s.push_back({"Writing second FAT", pct(done, total)});
    done += perFat;
    s.push_back({"Writing root directory", pct(done, total)});
    done += rootEntries * 32 / 512;
    for (int i = 0; i < clusters; ++i) {
        s.push_back(
            {counted("Writing data sectors", i * perCluster, dataSectors), pct(done, total)});
        done += perCluster;
    }
    s.push_back({"Dismounting floppy", pct(done, total)});
    s.push_back({"Unlocking floppy drive", pct(done, total)});
    s.push_back({"Closing floppy access handle", pct(done, total)});
    done = 0;
    s.push_back({"Verifying bootsector", 0});
    done += 1;
    s.push_back({"Verifying first FAT", pct(done, total)});
    done += perFat;
    s.push_back({"Verifying second FAT", pct(done, total)});
    done += perFat;
    s.push_back({"Verifying root directory", pct(done, total)});
    done += rootEntries / 16;
    s.push_back({"Verifying data sectors", pct(done, total)});
    for (int j = 0; j < clusters; ++j) {
        done += perCluster;
        s.push_back(
            {counted("Verifying data sectors", j * perCluster, dataSectors), pct(done, total)});
    }
    s.push_back({"Unlocking floppy drive", 100});
    s.push_back({"", 100});
    return s;
}

std::vector<std::string> texts(const std::vector<Step>& steps) {
    std::vector<std::string> out;
    for (const Step& s : steps) out.push_back(s.text);
    return out;
}

bool contains(const std::vector<std::string>& list, const std::string& text) {
    for (const std::string& s : list)
        if (s == text) return true;
    return false;
}

class FloppyWrite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(drive.install());
        makeImage(*image, kType1440, "TOWRITE");
        drive.insertUnformattedDisk(mediaFor(kType1440));
    }

    int write(TransferRecorder& recorder) {
        int result = image->writeToFloppy("A:");
        expectTransferEnded(recorder, *image, drive, result);
        EXPECT_EQ(0, recorder.stepsAfterEnd);
        EXPECT_FALSE(drive.isLocked());
        return result;
    }

    // A write that stopped: the drive was released, the dialog ended once, and the verify pass
    // opened the drive again only to stop before its first FAT.
    void expectReleasedThenVerifyStopped(const TransferRecorder& recorder) {
        std::vector<std::string> all = texts(recorder.steps);
        ASSERT_GE(all.size(), 6u);
        std::vector<std::string> expected = {
            "Dismounting floppy",  "Unlocking floppy drive", "Closing floppy access handle",
            "Verifying first FAT", "Unlocking floppy drive", ""};
        EXPECT_EQ(expected, std::vector<std::string>(all.end() - 6, all.end()));
        EXPECT_EQ(1, recorder.dialogEnds);
        EXPECT_EQ(0, image->keepRunning.load());
    }

    // A drive of its own for one row of a table, with an unformatted 1.44 MB disk: its counts,
    // log and faults start anew.
    SimulatedFloppy& freshDrive() {
        drive.uninstall();
        rowDrive.reset();
        rowDrive.reset(new SimulatedFloppy("A:"));
        EXPECT_TRUE(rowDrive->install());
        rowDrive->insertUnformattedDisk(mediaFor(kType1440));
        return *rowDrive;
    }

    SimulatedFloppy drive{"A:"};
    std::unique_ptr<SimulatedFloppy> rowDrive;
    std::unique_ptr<VolumeImage> image{new VolumeImage};
};

TEST_F(FloppyWrite, Full1440And720DisksFormatWriteAndVerify) {
    std::vector<uint8_t> expectedDisk = rawDisk(*image);
    std::vector<uint8_t> before = snapshot(*image);
    TransferRecorder recorder(*image);
    ASSERT_EQ(kResultOk, write(recorder));
    EXPECT_EQ(completeWrite(2880, 80, 2, 18, 9, 224, 1, 2847, 2847), recorder.steps);
    EXPECT_EQ(2880, image->sectorsDone);
    EXPECT_EQ(2880, image->sectorsTotal);
    EXPECT_TRUE(messages(*image).empty());
    EXPECT_TRUE(drive.diskBytes() == expectedDisk);
    EXPECT_TRUE(snapshot(*image) == before);
    for (uint32_t c = 0; c < 80; ++c) EXPECT_TRUE(drive.cylinderFormatted(c));
    EXPECT_EQ(160, drive.callCount(FloppyCall::Format));  // a track a call
    EXPECT_EQ("format cyl 0-0 heads 0-0 type 2", drive.log()[6]);
    EXPECT_EQ(1 + 1 + 1 + 1 + 80, drive.callCount(FloppyCall::Write));  // a cylinder a call
    EXPECT_EQ(2, drive.callCount(FloppyCall::Open));
    EXPECT_EQ(2, drive.callCount(FloppyCall::Dismount));
    EXPECT_EQ("dismount", drive.log()[3]);  // right after the lock

    // A 720 KB image picks the 720 KB record.
    drive.clearLog();
    drive.insertUnformattedDisk(mediaFor(kType1440));
    makeImage(*image, kType720, "SMALL");
    expectedDisk = rawDisk(*image);
    TransferRecorder small(*image);
    ASSERT_EQ(kResultOk, write(small));
    EXPECT_EQ(completeWrite(1440, 80, 2, 9, 3, 112, 2, 713, 1426), small.steps);
    EXPECT_EQ(1440, image->sectorsDone);
    EXPECT_EQ(1440, image->sectorsTotal);
    EXPECT_TRUE(drive.diskBytes() == expectedDisk);
    EXPECT_EQ("format cyl 0-0 heads 0-0 type 5", drive.log()[6]);
}

// The format lays the tracks out for Windows' floppy driver, which starts each call's second
// head its stagger into the track (none on 5.25-inch media): on the timing model the disk the
// write left reads in under 1.2 times the floor of a turn a track (laid out in order: 1.5).
TEST_F(FloppyWrite, FormatLaysTracksOutForTheDriversStagger) {
    for (int type : {kType1440, kType720, kType1200}) {
        SCOPED_TRACE(type);
        MediaGeometry m = mediaFor(type);
        drive.setMediaList(&m, 1);
        drive.insertUnformattedDisk(m);
        makeImage(*image, type, "LAYOUT");
        TransferRecorder recorder(*image);
        ASSERT_EQ(kResultOk, write(recorder));
        FloppyTiming timing;
        timing.rotation = type == kType1200 ? 166666667 : 200000000;
        drive.enableTiming(timing);
        std::unique_ptr<VolumeImage> copy(new VolumeImage);
        copy->setNotifyTarget(nullptr, 1);
        ASSERT_EQ(kResultOk, copy->readFromFloppy("A:"));
        EXPECT_LT(drive.elapsedNanoseconds(), 160 * timing.rotation * 12 / 10);
    }
}

// A drive that will not be told the order (many USB drives) is asked once and formats in its own:
// the disk is still formatted and written whole, and a format failing after that is reported as
// ever.
TEST_F(FloppyWrite, DriveRefusingSectorOrderFormatsInItsOwn) {
    drive.setRefusesFormatOrder(true);
    TransferRecorder recorder(*image);
    ASSERT_EQ(kResultOk, write(recorder));
    EXPECT_TRUE(messages(*image).empty());
    EXPECT_TRUE(drive.diskBytes() == rawDisk(*image));
    EXPECT_EQ(161, drive.callCount(FloppyCall::Format));
    EXPECT_EQ("format cyl 0-0 heads 0-0 type 2 order refused", drive.log()[6]);
    EXPECT_EQ("format cyl 0-0 heads 0-0 type 2 in order", drive.log()[7]);
    EXPECT_EQ("format cyl 0-0 heads 1-1 type 2 in order", drive.log()[8]);
    EXPECT_EQ(1, drive.trackOrder(1, 0)[0]);

    drive.insertUnformattedDisk(mediaFor(kType1440));
    drive.failFormatOfCylinder(5);
    TransferRecorder again(*image);
    EXPECT_EQ(kResultHostIo, write(again));
    EXPECT_EQ(std::vector<std::string>{"Could not format floppy (cyl. 5)!"}, messages(*image));
    // refused, then cylinders 0 to 4 and the first track of 5
    EXPECT_EQ(161 + 1 + 10 + 1, drive.callCount(FloppyCall::Format));
}

TEST_F(FloppyWrite, WrittenFloppyReadsBackIntoFreshImageEqual) {
    image->fat2[100] = 0x77;  // a stale second FAT is replaced by the encoding of the table
    TransferRecorder recorder(*image);
    ASSERT_EQ(kResultOk, write(recorder));
    EXPECT_EQ(0, std::memcmp(image->fat1, image->fat2, sizeof image->fat1));
    std::unique_ptr<VolumeImage> copy(new VolumeImage);
    TransferRecorder readRecorder(*copy);
    ASSERT_EQ(kResultOk, copy->readFromFloppy("A:"));
    EXPECT_TRUE(snapshot(*copy) == snapshot(*image));
}

TEST_F(FloppyWrite, OneFatVolumeWritesRootRightBehindFirstFat) {
    uint8_t boot[512];
    image->copyBootSector(boot);
    boot[0x10] = 1;
    image->reset();
    std::memcpy(image->bootSector, boot, 512);
    image->computeGeometry();
    image->fat1[0] = 0xF0, image->fat1[1] = 0xFF, image->fat1[2] = 0xFF;
    std::memset(image->rootDir, 0xAB, 224 * 32);
    TransferRecorder recorder(*image);
    ASSERT_EQ(kResultOk, write(recorder));
    for (const Step& s : recorder.steps) EXPECT_EQ(std::string::npos, s.text.find("second FAT"));
    EXPECT_EQ(0xAB, drive.diskBytes()[512 * 10]);
    EXPECT_EQ(2880, image->sectorsDone);
}

// 2 reserved sectors, 3 FATs and a sector after the last cluster of 4: the floppy holds every area
// where the image file has it, and reads back into the same file.
TEST_F(FloppyWrite, OddLayoutLandsAsItsImageFileHoldsIt) {
    writeLe16(image->bootSector + bs::kReservedSectors, 2);
    image->bootSector[bs::kNumberOfFats] = 3;
    image->bootSector[bs::kSectorsPerCluster] = 4;
    image->freeClusters();
    ASSERT_TRUE(image->computeGeometry());
    ASSERT_EQ(1024u, image->keptBytes.size());
    for (size_t i = 0; i < 1024; ++i) image->keptBytes[i] = static_cast<uint8_t>(i * 7 + 1);
    testing_support::TempDir dir;
    ASSERT_EQ(kResultOk, image->saveImageFile(dir.file("odd.img").c_str()));
    TransferRecorder recorder(*image);
    ASSERT_EQ(kResultOk, write(recorder));
    EXPECT_TRUE(drive.diskBytes() == testing_support::readFile(dir.file("odd.img")));
    std::unique_ptr<VolumeImage> copy(new VolumeImage);
    TransferRecorder readRecorder(*copy);
    ASSERT_EQ(kResultOk, copy->readFromFloppy("A:"));
    ASSERT_EQ(kResultOk, copy->saveImageFile(dir.file("read.img").c_str()));
    EXPECT_TRUE(testing_support::readFile(dir.file("read.img")) == drive.diskBytes());
}

// A root directory of 100 entries ends inside its last sector, which a raw volume cannot write.
TEST_F(FloppyWrite, LayoutOfPartSectorsIsRefusedBeforeTheDriveIsTouched) {
    writeLe16(image->bootSector + bs::kRootEntries, 100);
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultBadImage, write(recorder));
    EXPECT_EQ(1u, messages(*image).size());
    EXPECT_TRUE(drive.log().empty());
    // So is an image whose container lacked sectors: they would go out as zeros.
    writeLe16(image->bootSector + bs::kRootEntries, 224);
    image->container.readOnly = true;
    TransferRecorder again(*image);
    EXPECT_EQ(kResultReadOnly, write(again));
    EXPECT_TRUE(drive.log().empty());
}

// A USB drive that refuses to format a track stops at cylinder 0 and says what else can be done;
// a disk that already has the image's geometry is then written as it is (and verified), one of
// another geometry is refused untouched.
TEST_F(FloppyWrite, DriveThatCannotFormatWritesAFormattedDiskAsItIs) {
    drive.behaveAsUsbDrive(true);
    drive.insertDisk(mediaFor(kType1440), nullptr, 0);
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultHostIo, image->writeToFloppy("A:"));
    EXPECT_EQ(
        "A drive that cannot format writes a disk already formatted like the image: write "
        "it without formatting.",
        messages(*image).back());
    EXPECT_EQ(kDiskOfImageFormat, checkDiskInDrive("A:", *image));
    TransferRecorder again(*image);
    EXPECT_EQ(kResultOk, image->writeToFloppy("A:", kWriteWithoutFormat));
    EXPECT_TRUE(drive.diskBytes() == rawDisk(*image));
    EXPECT_EQ(1, drive.callCount(FloppyCall::Format));  // the refused one only
    EXPECT_GT(drive.callCount(FloppyCall::Read), 0);    // verified (after the refused format, not)

    drive.insertDisk(mediaFor(kType720), nullptr, 0);
    EXPECT_EQ(kDiskOfOtherFormat, checkDiskInDrive("A:", *image));
    int writes = drive.callCount(FloppyCall::Write);
    TransferRecorder third(*image);
    EXPECT_EQ(kResultNoMediaMatch, image->writeToFloppy("A:", kWriteWithoutFormat));
    EXPECT_EQ(std::vector<std::string>{"The disk in the drive is not formatted like the image!"},
              messages(*image));
    EXPECT_EQ(writes, drive.callCount(FloppyCall::Write));
}

// A USB drive gives its standard 1.44 MB geometry for a disk never formatted, so the disk looks
// fit to be written without formatting; its boot sector, which cannot be read, tells.
TEST_F(FloppyWrite, UnformattedDiskInAUsbDriveIsNotWrittenWithoutFormatting) {
    drive.behaveAsUsbDrive(false);
    EXPECT_EQ(kDiskOfImageFormat, checkDiskInDrive("A:", *image));
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultNoMediaMatch, image->writeToFloppy("A:", kWriteWithoutFormat));
    EXPECT_EQ(std::vector<std::string>{"The disk in the drive is not formatted!"},
              messages(*image));
    EXPECT_EQ(0, drive.callCount(FloppyCall::Write));
}

// The file system mounted the disk's old 720 KB volume when the drive was opened and, dismounted
// or not, clips that handle's transfers to it unless extended access is asked for: the whole
// 1.44 MB image must land and verify.
TEST_F(FloppyWrite, DiskLastFormattedSmallerTakesTheWholeImage) {
    std::unique_ptr<VolumeImage> old(new VolumeImage);
    makeImage(*old, kType720, "OLD");
    std::vector<uint8_t> oldDisk = rawDisk(*old);
    drive.insertDisk(mediaFor(kType720), oldDisk.data(), oldDisk.size());
    drive.setVolumeMounted(true);
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultOk, write(recorder));
    EXPECT_TRUE(messages(*image).empty());
    EXPECT_TRUE(drive.diskBytes() == rawDisk(*image));
}

// A write-protected disk is named as such and left alone, with or without formatting: nothing is
// formatted, written or read back. A drive that does not answer the question says it by failing
// the format.
TEST_F(FloppyWrite, WriteProtectedDiskIsNamedAndLeftAlone) {
    drive.insertDisk(mediaFor(kType1440), nullptr, 0);
    drive.setWriteProtected(true);
    for (int i = 0; i < 3; ++i) {
        drive.setWritableQueryAnswered(i < 2);
        TransferRecorder recorder(*image);
        EXPECT_EQ(kResultHostIo,
                  image->writeToFloppy("A:", i == 1 ? kWriteWithoutFormat : kFormatThenWrite));
        EXPECT_EQ(std::vector<std::string>{"The disk is write-protected."}, messages(*image));
    }
    EXPECT_EQ(1, drive.callCount(FloppyCall::Format));  // by the drive that does not say
    EXPECT_EQ(0, drive.callCount(FloppyCall::Write));
    EXPECT_EQ(3, drive.callCount(FloppyCall::Open));  // nothing read back
}

TEST_F(FloppyWrite, LastMatchingRecordWinsAndDriversOwnTypesAreMatched) {
    MediaGeometry list[4] = {SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512),
                             SimulatedFloppy::standardMedia(kMediaF3_720_512),
                             SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512),
                             SimulatedFloppy::standardMedia(kMediaF3_2Pt88_512)};
    list[2].mediaType = 17;  // same geometry, another type: the one the format must use
    drive.setMediaList(list, 4);
    MediaGeometry plain = list[0];
    drive.insertUnformattedDisk(plain);
    TransferRecorder recorder(*image);
    // The simulated drive formats with the record of the type asked for.
    EXPECT_EQ(kResultOk, write(recorder));
    EXPECT_EQ("format cyl 0-0 heads 0-0 type 17", drive.log()[6]);

    // A driver's own media types for 21 sectors a track: matched by geometry, handed to the format.
    drive.uninstall();
    for (int type : {kType1680, kFirstDmfType, kFirstDmfType + 1, kFirstDmfType + 2}) {
        SimulatedFloppy fresh("A:");
        ASSERT_TRUE(fresh.install());
        fresh.setMediaList21();
        makeImage(*image, type, "DMF");
        TransferRecorder again(*image);
        ASSERT_EQ(kResultOk, image->writeToFloppy("A:")) << type;
        EXPECT_TRUE(fresh.diskBytes() == rawDisk(*image)) << type;
        uint32_t media = type == kFirstDmfType + 2 ? SimulatedFloppy::kMedia21x82
                                                   : SimulatedFloppy::kMedia21x80;
        EXPECT_EQ("format cyl 0-0 heads 0-0 type " + std::to_string(media), fresh.log()[6]);
    }
}

TEST_F(FloppyWrite, GeometryMismatchesYield130AndTouchNothing) {
    struct Case {
        const char* name;
        int diskType;
        std::function<void(SimulatedFloppy&)> media;
        std::vector<std::string> messages;
    };
    const std::string noMatch = "Media type not supported by floppy drive or Windows!";
    MediaGeometry zeros[3];
    std::memset(zeros, 0, sizeof zeros);
    MediaGeometry absurd[3];
    std::memset(absurd, 0, sizeof absurd);
    // 2^32 x 2^16 x 18 sectors wraps to 0 in 32 bits and in a careless 64-bit product of the
    // full 64-bit cylinder count; 0x100000000 + 80 cylinders has 80 as its low 32 bits but a
    // track count that makes the product enormous.
    absurd[0] = SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512);
    absurd[0].tracksPerCylinder = 0x10000;
    absurd[0].cylinders = 0x100000000ull;
    absurd[1] = SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512);
    absurd[1].tracksPerCylinder = 0xFFFFFFFFu;
    absurd[1].cylinders = 0xFFFFFFFFull;
    absurd[2] = SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512);
    absurd[2].cylinders = 0x1234500000000ull + 40;  // low 32 bits: 40 cylinders, half the disk
    const Case cases[] = {
        {"2.88 MB image in a 1.44 MB drive", kType2880, [](SimulatedFloppy&) {}, {noMatch}},
        {"21 sectors per track against 9 and 18", kType1680, [](SimulatedFloppy&) {}, {noMatch}},
        {"records of zeros",
         kType1440,
         [&](SimulatedFloppy& d) { d.setMediaList(zeros, 3); },
         {noMatch}},
        {"absurd records",
         kType1440,
         [&](SimulatedFloppy& d) { d.setMediaList(absurd, 3); },
         {noMatch}},
        {"empty image against records of zeros",
         -1,
         [&](SimulatedFloppy& d) { d.setMediaList(zeros, 3); },
         {noMatch}},
        {"no records", kType1440, [&](SimulatedFloppy& d) { d.setMediaList(zeros, 0); }, {noMatch}},
        {"failed lock and no match",
         kType2880,
         [](SimulatedFloppy& d) { d.failCall(FloppyCall::Lock, 0); },
         {kLockFailed, noMatch}},
        {"failed queries leave the list empty",
         kType1440,
         [](SimulatedFloppy& d) { d.failCall(FloppyCall::QueryMedia, 0); },
         {noMatch}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedFloppy& fresh = freshDrive();
        c.media(fresh);
        if (c.diskType < 0)
            image->reset();  // an empty image: no sectors, and zero records must still not match
        else makeImage(*image, c.diskType, "MISMATCH");
        TransferRecorder recorder(*image);
        EXPECT_EQ(kResultNoMediaMatch, image->writeToFloppy("A:"));
        EXPECT_EQ(c.messages, messages(*image));
        EXPECT_EQ(0, fresh.callCount(FloppyCall::Format));
        EXPECT_EQ(0, fresh.callCount(FloppyCall::Write));
        EXPECT_EQ(0, fresh.callCount(FloppyCall::Read));  // the verify pass compares nothing
        EXPECT_EQ(2, fresh.callCount(FloppyCall::Open));
        EXPECT_EQ(1, recorder.dialogEnds);
    }
}

TEST_F(FloppyWrite, FailedLockOrMediaQueryFailsBeforeTheFormat) {
    drive.holdVolumeOpen(SimulatedFloppy::kHeldForever);
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultHostIo, write(recorder));
    EXPECT_EQ(std::vector<std::string>{kLockFailed}, messages(*image));
    EXPECT_EQ(FloppyDevice::kLockTries, drive.callCount(FloppyCall::Lock));
    EXPECT_EQ(0, drive.callCount(FloppyCall::Format));
    EXPECT_EQ(0, drive.callCount(FloppyCall::Write));
    std::vector<std::string> expected = {"Creating floppy access handle",
                                         "Locking floppy drive",
                                         "Checking floppy type",
                                         "Dismounting floppy",
                                         "Unlocking floppy drive",
                                         "Closing floppy access handle",
                                         "Verifying first FAT",
                                         "Unlocking floppy drive",
                                         ""};
    EXPECT_EQ(expected, texts(recorder.steps));

    // A media list longer than twenty records fails the query without a message.
    drive.holdVolumeOpen(0);
    MediaGeometry list[21];
    for (MediaGeometry& m : list) m = SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512);
    drive.setMediaList(list, 21);
    TransferRecorder longList(*image);
    EXPECT_EQ(kResultHostIo, write(longList));
    EXPECT_TRUE(messages(*image).empty());
    EXPECT_EQ(0, drive.callCount(FloppyCall::Format));
}

struct WriteFailure {
    const char* name;
    std::function<void(SimulatedFloppy&, const VolumeImage&)> fault;
    const char* message;
    int result;
    int writes;  // write calls made, the failing one included
};

TEST_F(FloppyWrite, EveryFailureRowReleasesDriveAndRunsVerifyPass) {
    const WriteFailure rows[] = {
        {"format of cylinder 0, not refused by the drive: no hint",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failFormatOfCylinder(0); },
         "Could not format floppy (cyl. 0)!", kResultHostIo, 0},
        {"format of cylinder 5",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failFormatOfCylinder(5); },
         "Could not format floppy (cyl. 5)!", kResultHostIo, 0},
        {"boot sector", [](SimulatedFloppy& d, const VolumeImage&) { d.failWriteAt(0, false); },
         "Could not write bootsector!", kResultHostIo, 1},
        {"first FAT", [](SimulatedFloppy& d, const VolumeImage&) { d.failWriteAt(512 * 4, false); },
         "Could not write first FAT!", kResultHostIo, 2},
        {"second FAT",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failWriteAt(512 * 18, false); },
         "Could not write second FAT!", kResultHostIo, 3},
        {"root directory",
         [](SimulatedFloppy& d, const VolumeImage&) { d.failWriteAt(512 * 19, false); },
         "Could not write root directory!", kResultHostIo, 4},
        {"cluster 300",
         [](SimulatedFloppy& d, const VolumeImage& s) {
             d.failWriteAt(clusterOffset(s, 300), false);
         },
         "Could not write cluster (300/2847)!", kResultClusterIo, 4 + 9 + 1 + 10},  // 291-300 alone
        // Success with fewer bytes is a failure too: the cluster is named, not the verify.
        {"cluster 50 written short",
         [](SimulatedFloppy& d, const VolumeImage& s) {
             d.failWriteAt(clusterOffset(s, 50), true);
         },
         "Could not write cluster (50/2847)!", kResultClusterIo, 4 + 2 + 1 + 12},  // 39-50 alone
    };
    for (const WriteFailure& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedFloppy& fresh = freshDrive();
        row.fault(fresh, *image);
        TransferRecorder recorder(*image);
        EXPECT_EQ(row.result, image->writeToFloppy("A:"));
        EXPECT_EQ(std::vector<std::string>{row.message}, messages(*image));
        EXPECT_EQ(row.writes, fresh.callCount(FloppyCall::Write));
        EXPECT_EQ(0, fresh.callCount(FloppyCall::Read));  // the verify pass compares nothing
        expectReleasedThenVerifyStopped(recorder);
        std::vector<std::string> log(fresh.log().end() - 6, fresh.log().end());
        std::vector<std::string> release = {
            "dismount", "unlock", "close", "open A:", "allow extended access", "close"};
        EXPECT_EQ(release, log);
        EXPECT_FALSE(fresh.isOpen());
    }
}

TEST_F(FloppyWrite, FormatFailureStopsAtThatCylinder) {
    drive.failFormatOfCylinder(5);
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultHostIo, write(recorder));
    EXPECT_EQ(5 * 2 + 1, drive.callCount(FloppyCall::Format));
    EXPECT_TRUE(drive.cylinderFormatted(4));
    EXPECT_FALSE(drive.cylinderFormatted(5));
    std::vector<std::string> all = texts(recorder.steps);
    EXPECT_TRUE(contains(all, "Formatting sectors (180/2880)"));
    EXPECT_FALSE(contains(all, "Formatting sectors (216/2880)"));
}

TEST_F(FloppyWrite, CancelAtEveryCheckPointWritesNothingAfterIt) {
    struct Cancel {
        const char* shownStep;
        int formats;  // cylinders formatted
        int writes;   // write calls made
    };
    const Cancel cancels[] = {
        {"Creating floppy access handle", 0, 0},
        {"Locking floppy drive", 0, 0},
        {"Checking floppy type", 1, 0},  // the next check point follows cylinder 0
        {"Formatting sectors (0/2880)", 1, 0},
        {"Formatting sectors (108/2880)", 4, 0},
        {"Formatting sectors (2844/2880)", 80, 0},
        {"Writing bootsector", 80, 1},
        {"Writing first FAT", 80, 2},
        {"Writing second FAT", 80, 3},
        {"Writing root directory", 80, 4},
        {"Writing data sectors (0/2847)", 80, 5},
        {"Writing data sectors (2846/2847)", 80, 4 + 80},  // a cylinder a call
    };
    for (const Cancel& c : cancels) {
        SCOPED_TRACE(c.shownStep);
        SimulatedFloppy& fresh = freshDrive();
        TransferRecorder recorder(*image);
        recorder.cancelAt(c.shownStep);
        EXPECT_EQ(kResultCancelled, image->writeToFloppy("A:"));
        EXPECT_TRUE(messages(*image).empty());
        EXPECT_EQ(2 * c.formats, fresh.callCount(FloppyCall::Format));  // a track a call
        EXPECT_EQ(c.writes, fresh.callCount(FloppyCall::Write));
        EXPECT_EQ(0, fresh.callCount(FloppyCall::Read));
        expectReleasedThenVerifyStopped(recorder);
    }
}

// A cluster failing inside cylinder 5 (147-182: first, middle, last; negative: the gathered write
// comes short there) ends the write as one-by-one writes do: same result, message, counters, disk.
TEST_F(FloppyWrite, ClusterFailingInsideAGatheredCylinderIsFoundAsOneByOne) {
    for (int bad : {147, 165, 182, -182}) {
        SCOPED_TRACE(bad);
        int at = bad < 0 ? -bad : bad;
        std::vector<uint8_t> disks[2];
        std::vector<Step> tails[2];
        for (int gathered = 0; gathered < 2; ++gathered) {
            SimulatedFloppy& fresh = freshDrive();
            fresh.setReadAhead(gathered == 1);
            fresh.failWriteAt(clusterOffset(*image, at), bad < 0);
            TransferRecorder recorder(*image);
            EXPECT_EQ(kResultClusterIo, image->writeToFloppy("A:"));
            EXPECT_EQ(std::vector<std::string>{counted("Could not write cluster", at, 2847) + "!"},
                      messages(*image));
            disks[gathered] = fresh.diskBytes();
            tails[gathered].assign(recorder.steps.end() - 6, recorder.steps.end());
            int writes = gathered ? 4 + 5 + 1 + at - 146 : 4 + at + 1;  // cylinders 0-4, 5, alone
            EXPECT_EQ(writes, fresh.callCount(FloppyCall::Write));
        }
        EXPECT_TRUE(disks[0] == disks[1]);
        EXPECT_EQ(tails[0], tails[1]);
    }
    rowDrive.reset();
    drive.install();
    drive.failWriteAt(clusterOffset(*image, 165), false);  // and the drive cannot go back: the
    drive.failCall(FloppyCall::Seek, 1);                   // batch's first cluster fails instead
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultClusterIo, write(recorder));
    EXPECT_EQ(std::vector<std::string>{"Could not write cluster (147/2847)!"}, messages(*image));
}

// Cancel pressed while cylinder 2 (clusters 39-74) is written: nothing of cylinder 3 follows.
TEST_F(FloppyWrite, CancelDuringAGatheredWriteStopsBeforeTheNextCylinder) {
    drive.cancelDuringCall(FloppyCall::Write, 4 + 3, &image->keepRunning);
    TransferRecorder recorder(*image);
    EXPECT_EQ(kResultCancelled, write(recorder));
    EXPECT_EQ(4 + 3, drive.callCount(FloppyCall::Write));
    EXPECT_EQ("Writing data sectors (74/2847)", texts(recorder.steps).end()[-7]);
}

// A drive taking at most 14 sectors a call refuses cylinder 1 whole: the rest goes a cluster a
// call, and the write is whole.
TEST_F(FloppyWrite, DriveRefusingLongWritesIsWrittenOneClusterACall) {
    drive.refuseWritesLongerThan(14 * 512);
    TransferRecorder recorder(*image);
    ASSERT_EQ(kResultOk, write(recorder));
    EXPECT_EQ(completeWrite(2880, 80, 2, 18, 9, 224, 1, 2847, 2847), recorder.steps);
    EXPECT_TRUE(drive.diskBytes() == rawDisk(*image));
    EXPECT_EQ(4 + 1 + 1 + 2844, drive.callCount(FloppyCall::Write));
}

}  // namespace
