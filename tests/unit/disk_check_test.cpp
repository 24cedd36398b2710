// Check and repair on an image built slot by slot: the FAT copy kept is the sound one, and a
// cross-linked file gets its own copy of the shared bytes.
#include <gtest/gtest.h>

#include "directory/disk_check.h"
#include "image_builder.h"
#include "test_support.h"

namespace {

bool has(const DiskCheck& check, DiskFindingKind kind) {
    for (const DiskFinding& f : check.findings)
        if (f.kind == kind) return true;
    return false;
}

}  // namespace

TEST(DiskCheck, KeepsTheSoundFatCopyAndCopiesSharedClusters) {
    auto image = std::make_unique<VolumeImage>();
    VolumeImage& im = *image;
    testimg::build(im);
    testimg::addEntry(im, 0, 0, u"", testimg::shortEntry("A.BIN", 0x20, 2, 1024));
    testimg::addEntry(im, 0, 1, u"", testimg::shortEntry("B.BIN", 0x20, 4, 1536));
    testimg::chain(im, {2, 3});
    testimg::chain(im, {4, 3});  // B runs into A's second cluster: cross-linked
    im.fatTable[3] = 0xFFF;
    std::memset(im.clusterData(3), 'a', 512);
    im.encodeFat();
    im.fat1[3] = 0x00;  // the first copy: cluster 2 linked to 0xF00, out of range
    im.fat1[4] = (im.fat1[4] & 0xF0) | 0x0F;
    im.decodeFat();
    DiskCheck check;
    checkImage(im, &check);
    EXPECT_TRUE(has(check, kFindFatCopies) && has(check, kFindBadLink));

    ASSERT_EQ(kResultOk, repairImage(im));  // the FAT first; then B's chain runs into A's
    EXPECT_EQ(0, std::memcmp(im.fat1, im.fat2, kFatBytes));
    EXPECT_EQ(3, im.fatTable[2]);  // the second copy's link
    uint16_t copy = im.fatTable[4];
    EXPECT_NE(3, copy);
    EXPECT_EQ(0, std::memcmp(im.clusterData(copy), im.clusterData(3), 512));
    checkImage(im, &check);
    EXPECT_TRUE(check.clean()) << findingLine(check.findings[0]);
}
