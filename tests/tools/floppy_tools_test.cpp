// A floppy written by the transfers and read back, checked by the tools users trust.
#include <gtest/gtest.h>

#include "tests/support/simulated_floppy.h"
#include "tool_support.h"

using namespace tool_support;
using testing_support::TempDir;

namespace {

// mkfs.fat makes the volume and mcopy/mmd fill it; the transfers then carry it to the simulated
// drive and back.
TEST(FloppyTransfers, WrittenFloppyAndItsReadBackPassFsckAndMtools) {
    struct Format {
        const char* type;  // tolven-cli new --type
        MediaGeometry media;
    };
    const Format formats[] = {{"1440KB", SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512)},
                              {"720KB", SimulatedFloppy::standardMedia(kMediaF3_720_512)}};
    for (const Format& f : formats) {
        SCOPED_TRACE(f.type);
        TempDir dir;
        std::string source = dir.file("source.img");
        ASSERT_EQ(0, run(cli() + " new " + quote(source) + " --type " + f.type).status);
        testing_support::writeFile(dir.file("big.bin"), std::vector<uint8_t>(70000, 0x5D));
        testing_support::writeFile(dir.file("small.txt"), std::vector<uint8_t>(300, 'x'));
        ASSERT_EQ(0, run("mmd -i " + quote(source) + " ::/FOLDER").status);
        ASSERT_EQ(0, run("mcopy -i " + quote(source) + " " + quote(dir.file("big.bin")) +
                         " ::/FOLDER/BIG.BIN")
                         .status);
        ASSERT_EQ(0, run("mcopy -i " + quote(source) + " " + quote(dir.file("small.txt")) +
                         " '::/A long name.txt'")
                         .status);

        std::unique_ptr<VolumeImage> image(new VolumeImage);
        ASSERT_EQ(0, image->loadImageFile(source.c_str()));
        SimulatedFloppy drive("A:");
        drive.install();
        drive.insertUnformattedDisk(f.media);
        image->setNotifyTarget(nullptr, 1);
        ASSERT_EQ(0, image->writeToFloppy("A:"));

        std::string raw = dir.file("floppy.img");
        testing_support::writeFile(raw, drive.diskBytes());
        std::string report;
        EXPECT_TRUE(fsckClean(raw, &report)) << report;
        EXPECT_EQ(testing_support::readFile(source), drive.diskBytes());

        std::unique_ptr<VolumeImage> copy(new VolumeImage);
        copy->setNotifyTarget(nullptr, 1);
        ASSERT_EQ(0, copy->readFromFloppy("A:"));
        std::string readBack = dir.file("readback.img");
        ASSERT_EQ(0, copy->saveImageFile(readBack.c_str()));
        EXPECT_TRUE(fsckClean(readBack, &report)) << report;
        CommandResult listing = run("mdir -/ -i " + quote(readBack) + " ::/");
        EXPECT_EQ(0, listing.status) << listing.output;
        EXPECT_NE(std::string::npos, listing.output.find("A long name.txt")) << listing.output;
        EXPECT_NE(std::string::npos, listing.output.find("70000")) << listing.output;
    }
}

}  // namespace
