#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "floppy/floppy_device.h"
#include "tests/support/simulated_floppy.h"

namespace {

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + i / 512);
    return bytes;
}

// The boot sector of a 1.44 MB disk.
void putBootGeometry(std::vector<uint8_t>& disk) {
    disk[0x0B] = 0x00, disk[0x0C] = 0x02;  // 512 bytes per sector
    disk[0x18] = 18, disk[0x19] = 0;
    disk[0x1A] = 2, disk[0x1B] = 0;
    disk[0x1FE] = 0x55, disk[0x1FF] = 0xAA;
}

// A device opened on a drive holding a 1.44 MB disk of patterned bytes with a boot sector.
struct FloppyDeviceOnDisk : ::testing::Test {
    void SetUp() override {
        putBootGeometry(disk);
        ASSERT_TRUE(drive.install());
        drive.insertDisk(SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512), disk.data(),
                         disk.size());
        ASSERT_TRUE(device.open("A:"));
    }
    std::vector<uint8_t> disk = pattern(1474560);
    SimulatedFloppy drive{"A:"};
    FloppyDevice device;
};

TEST(SimulatedFloppy, OnlyInstalledDrivesAreReachedAndListed) {
    SimulatedFloppy a("A:");
    SimulatedFloppy b("b:");
    FloppyDevice device;
    EXPECT_FALSE(SimulatedFloppy::anyInstalled());
    ASSERT_TRUE(a.install());
    ASSERT_TRUE(b.install());
    b.setDriveType(3);  // a fixed disk: discovery skips it
    char roots[64];
    std::memset(roots, 'x', sizeof roots);
    EXPECT_EQ(8u, floppyLogicalDriveStrings(roots, sizeof roots));
    EXPECT_EQ(0, std::memcmp("A:\\\0B:\\\0\0", roots, 9));
    EXPECT_EQ(9u, floppyLogicalDriveStrings(roots, 4));  // too small: the size needed
    EXPECT_EQ(kDriveRemovable, floppyDriveType("A:\\"));
    EXPECT_EQ(3u, floppyDriveType("B:\\"));
    EXPECT_EQ(1u, floppyDriveType("C:\\"));
    EXPECT_TRUE(device.open("a:"));
    EXPECT_TRUE(a.isOpen());
    device.close();
    EXPECT_FALSE(device.open("C:"));  // real drives are out of reach while a simulation runs
    b.uninstall();
    a.uninstall();
    EXPECT_FALSE(SimulatedFloppy::anyInstalled());
}

TEST(SimulatedFloppy, MediaQueryFillsWhatFitsAndReportsMoreData) {
    SimulatedFloppy drive("A:");
    drive.install();
    FloppyDevice device;
    ASSERT_TRUE(device.open("A:"));
    MediaGeometry one[1];
    bool more = false;
    EXPECT_FALSE(device.queryMediaTypes(one, 1, &more));
    EXPECT_TRUE(more);
    EXPECT_EQ(kMediaF3_1Pt44_512, one[0].mediaType);
    EXPECT_EQ(80u, one[0].cylinders);
    MediaGeometry list[kMaxMediaRecords];
    std::memset(list, 0, sizeof list);
    EXPECT_TRUE(device.queryMediaTypes(list, kMaxMediaRecords, &more));
    EXPECT_FALSE(more);
    EXPECT_EQ(kMediaF3_720_512, list[1].mediaType);
    EXPECT_EQ(9u, list[1].sectorsPerTrack);
    EXPECT_EQ(0u, list[2].mediaType);
    EXPECT_EQ(0u, list[2].bytesPerSector);
    drive.setMediaQueriesAnswered(false, true);  // the storage class's query is the fallback
    EXPECT_TRUE(device.queryMediaTypes(list, kMaxMediaRecords, &more));
    EXPECT_EQ("storage media types 20", drive.log().back());
}

TEST(SimulatedFloppy, FormatIsPerCylinderAndKeepsPosition) {
    SimulatedFloppy drive("A:");
    drive.install();
    drive.insertUnformattedDisk(SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512));
    FloppyDevice device;
    ASSERT_TRUE(device.open("A:"));
    std::vector<uint8_t> sector(512, 0x42);
    uint32_t n = 0;
    EXPECT_FALSE(device.write(sector.data(), 512, &n));  // unformatted
    FormatRequest request = {kMediaF3_1Pt44_512, 0, 0, 0, 1, 0, {}};
    ASSERT_EQ(kFormatDone, device.formatTracks(request));
    EXPECT_TRUE(drive.cylinderFormatted(0));
    EXPECT_FALSE(drive.cylinderFormatted(1));
    EXPECT_EQ(0xF6, drive.diskBytes()[0]);
    EXPECT_TRUE(device.write(sector.data(), 512, &n));
    EXPECT_EQ(512u, n);
    EXPECT_EQ(512u, drive.position());
    request.startCylinder = request.endCylinder = 1;
    ASSERT_EQ(kFormatDone, device.formatTracks(request));
    EXPECT_EQ(512u, drive.position());
    request.mediaType = kMediaF3_2Pt88_512;  // not in a 1.44 MB drive's list
    EXPECT_EQ(kFormatFailed, device.formatTracks(request));
    std::vector<uint8_t> odd(100);
    EXPECT_FALSE(device.write(odd.data(), 100, &n));  // raw volumes move whole sectors
}

TEST_F(FloppyDeviceOnDisk, ReadStopsShortAtEndOfMedium) {
    std::vector<uint8_t> all(1474560 + 1024);
    uint32_t got = 0;
    ASSERT_TRUE(device.read(all.data(), static_cast<uint32_t>(all.size()), &got));
    EXPECT_EQ(1474560u, got);
    EXPECT_EQ(0, std::memcmp(all.data(), disk.data(), disk.size()));
    ASSERT_TRUE(device.read(all.data(), 512, &got));
    EXPECT_EQ(0u, got);
}

// The read-ahead hands out the very bytes and counts the plain reads give, whatever the sizes
// of the calls and wherever the medium is bad.
TEST(FloppyDevice, ReadAheadGivesSameBytesAndCountsAsPlainReads) {
    std::vector<uint8_t> disk = pattern(1474560);
    const uint32_t sizes[] = {512, 4608, 4608, 7168, 512, 1024, 18432, 512, 36864, 2048};
    struct Fault {
        uint64_t offset;
        bool shortRead;
    };
    const Fault faults[] = {{0xFFFFFFFF, false},
                            {40 * 512, false},
                            {40 * 512, true},
                            {36 * 512 * 3 + 5, false},
                            {1474560 - 512, true}};
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.offset);
        std::vector<uint8_t> outputs[2];
        std::vector<int> results[2];
        for (int ahead = 0; ahead < 2; ++ahead) {
            SimulatedFloppy drive("A:");
            drive.setReadAhead(ahead == 1);
            drive.install();
            drive.insertDisk(SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512), disk.data(),
                             disk.size());
            drive.failReadAt(f.offset, f.shortRead);
            FloppyDevice device;
            ASSERT_TRUE(device.open("A:"));
            device.setGeometry(512, 18, 2);
            for (int round = 0; round < 40; ++round) {
                uint32_t size = sizes[round % 10];
                std::vector<uint8_t> buffer(size, 0);
                uint32_t got = 0;
                bool ok = device.read(buffer.data(), size, &got);
                results[ahead].push_back(ok ? static_cast<int>(got) : -1);
                if (!ok) break;  // a transfer gives up after a failed read
                outputs[ahead].insert(outputs[ahead].end(), buffer.begin(), buffer.begin() + got);
            }
        }
        EXPECT_EQ(results[0], results[1]);
        EXPECT_TRUE(outputs[0] == outputs[1]);
    }
}

// Only a floppy's geometry, told by the transfer, sets the read-ahead unit: a boot sector read at
// offset 0 teaches the device nothing. A write after a read ahead lands where the caller stands.
TEST_F(FloppyDeviceOnDisk, ReadAheadFollowsTheGeometryTheTransferTells) {
    std::vector<uint8_t> buffer(512);
    uint32_t n = 0;
    ASSERT_TRUE(device.read(buffer.data(), 512, &n));
    EXPECT_EQ(512u, drive.position());
    device.setGeometry(512, 37, 2);  // no floppy has 37 sectors a track
    ASSERT_TRUE(device.read(buffer.data(), 512, &n));
    EXPECT_EQ(1024u, drive.position());
    device.setGeometry(512, 18, 2);
    ASSERT_TRUE(device.read(buffer.data(), 512, &n));
    EXPECT_EQ(18432u, drive.position());  // the rest of cylinder 0
    EXPECT_EQ(0, std::memcmp(buffer.data(), disk.data() + 1024, 512));
    std::vector<uint8_t> sector(512, 0xEE);
    ASSERT_TRUE(device.write(sector.data(), 512, &n));
    EXPECT_EQ(0xEE, drive.diskBytes()[1536]);
    EXPECT_EQ(disk[2048], drive.diskBytes()[2048]);
    ASSERT_TRUE(device.read(buffer.data(), 512, &n));
    EXPECT_EQ(0, std::memcmp(buffer.data(), disk.data() + 2048, 512));
}

// Windows' answers as the raw volumes read them: a DISK_GEOMETRY record byte for byte, and the
// error numbers of denied access, an empty drive, a full media list and failed formats.
TEST(Win32Answers, RecordsAndErrorsReadAsWindowsGivesThem) {
    const uint8_t bytes[24] = {0x50, 0, 0, 0, 1, 0,  0, 0, 2, 0, 0,
                               0,    2, 0, 0, 0, 18, 0, 0, 0, 0, 2};
    MediaGeometry r;
    win32_answer::decodeGeometries(bytes, 1, &r);
    EXPECT_EQ(0x100000050ull, r.cylinders);
    EXPECT_EQ(kMediaF3_1Pt44_512, r.mediaType);
    EXPECT_EQ(18u, r.sectorsPerTrack);
    EXPECT_EQ(512u, r.bytesPerSector);
    EXPECT_EQ(kOpenDenied, win32_answer::openError(5));
    EXPECT_EQ(kOpenNoDisk, win32_answer::openError(1112));
    bool more = false;
    EXPECT_FALSE(win32_answer::mediaQueryAnswered(false, 234, &more) || !more);
    EXPECT_EQ(kDiskAbsent, win32_answer::diskPresence(false, 21, 0));
    for (uint32_t refusal : {1u, 50u, 87u}) {
        EXPECT_EQ(kFormatOrderRefused, win32_answer::formatFailure(refusal, true));
        EXPECT_EQ(kFormatRefused, win32_answer::formatFailure(refusal, false));
    }
    EXPECT_EQ(kFormatWriteProtected, win32_answer::formatFailure(19, true));
    EXPECT_EQ(kFormatFailed, win32_answer::formatFailure(21, false));  // no disk
    EXPECT_EQ(kFormatFailed, win32_answer::formatFailure(27, true));   // sector not found
}

// Read-ahead must not change what fails: a read of part sectors (a root of 100 entries) fails as
// on a raw volume, and the caller keeps its place; after a failed read ahead the cylinder's
// other sectors are read plainly, not each retried through the bad sector, and the next cylinder
// is read ahead again.
TEST_F(FloppyDeviceOnDisk, ReadAheadKeepsFailuresAndRetriesNoCylinder) {
    drive.failReadAt(2 * 36 * 512 - 1, false);  // the last sector of cylinder 1
    device.setGeometry(512, 18, 2);
    std::vector<uint8_t> buffer(36 * 512);
    uint32_t got = 0;
    ASSERT_TRUE(device.read(buffer.data(), 512, &got));
    EXPECT_FALSE(device.read(buffer.data(), 3200, &got));
    ASSERT_TRUE(device.read(buffer.data(), 35 * 512, &got));
    EXPECT_EQ(0, std::memcmp(buffer.data(), disk.data() + 512, 35 * 512));
    for (int s = 0; s < 35; ++s) ASSERT_TRUE(device.read(buffer.data(), 512, &got)) << s;
    EXPECT_FALSE(device.read(buffer.data(), 512, &got));
    int failed = 0;
    for (const std::string& line : drive.log()) failed += line.find("FAILED") != std::string::npos;
    EXPECT_EQ(3, failed);  // the part sectors, the read ahead, the bad sector's own read
    drive.clearFaults();
    for (int s = 0; s < 2; ++s) ASSERT_TRUE(device.read(buffer.data(), 512, &got));
    EXPECT_EQ(3u * 36 * 512, drive.position());
}

// The timing model of an internal drive under Windows' floppy driver. One call over a disk laid
// out in order: each track a turn and the driver's stagger (3 sectors), the last a turn only.
// Calls of a sector each, 2 ms apart: on 1.44 MB the next sector's ID has begun behind the 1.6 ms
// gap and comes a turn later; on 720 KB the 2.6 ms gap still holds it. A format of a used track:
// the settle time, an ID, the rest of the turn to the index and a turn; of a track never
// formatted, the ID read gives up at the second index pulse first.
TEST(SimulatedFloppy, TimingModelFollowsTheWindowsFloppyDriver) {
    SimulatedFloppy drive("A:");
    drive.install();
    FloppyTiming timing;
    timing.skew = false;
    const int64_t turn = timing.rotation;
    const int64_t staggers = 159 * 3 * turn / 18;
    MediaGeometry hd = SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512);
    drive.insertDisk(hd, nullptr, 0);
    drive.enableTiming(timing);
    FloppyDevice device;
    ASSERT_TRUE(device.open("A:"));
    std::vector<uint8_t> all(1474560);
    uint32_t got = 0;
    ASSERT_TRUE(device.read(all.data(), static_cast<uint32_t>(all.size()), &got));
    int64_t off = drive.elapsedNanoseconds() - (160 * turn + staggers);
    EXPECT_LT(off < 0 ? -off : off, 80 * turn / 18);  // half a sector a track

    for (uint32_t type : {kMediaF3_1Pt44_512, kMediaF3_720_512}) {
        MediaGeometry m = SimulatedFloppy::standardMedia(type);
        drive.insertDisk(m, nullptr, 0);
        drive.enableTiming(timing);
        for (uint32_t s = 0; s < m.sectorsPerTrack; ++s)
            ASSERT_TRUE(device.read(all.data(), 512, &got));
        int64_t each = drive.elapsedNanoseconds() / m.sectorsPerTrack;
        EXPECT_EQ(type == kMediaF3_1Pt44_512, each > turn / 2);
    }

    for (bool used : {true, false}) {
        if (used) drive.insertDisk(hd, nullptr, 0);
        else drive.insertUnformattedDisk(hd);
        drive.enableTiming(timing);
        FormatRequest request = {kMediaF3_1Pt44_512, 0, 0, 0, 0, 0, {}};
        ASSERT_EQ(kFormatDone, device.formatTracks(request));
        EXPECT_EQ(used ? 2 * turn : 4 * turn, drive.elapsedNanoseconds());
    }
}

}  // namespace
