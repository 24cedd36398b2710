#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "image/boot_sector.h"
#include "platform/host_lock.h"
#include "test_support.h"
#include "tests/support/faulty_host.h"

using testing_support::newImage;
using testing_support::readFile;
using testing_support::takeMessages;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

typedef std::vector<std::string> Messages;

// A 720KB image with recognisable contents, saved to `path`; returns its bytes.
std::vector<uint8_t> savedImage(const std::string& path) {
    auto image = newImage(0, "SAVED");
    image->fatTable[2] = 0x003;
    image->fatTable[3] = 0xFFF;
    for (int i = 0; i < image->clusterCount; ++i) image->clusters[i][0] = static_cast<uint8_t>(i);
    EXPECT_EQ(0, image->saveImageFile(path.c_str()));
    return readFile(path);
}

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        image = newImage(2, "PREVIOUS");
        image->fatTable[5] = 0xFF7;
        image->clusters[3][7] = 0x77;
        image->encodeFat();
        before = snapshot(*image);
    }
    // The failed load left the previous image and exactly one message.
    void expectFailure(const std::string& path, int code, const std::string& message) {
        EXPECT_EQ(code, image->loadImageFile(path.c_str()));
        EXPECT_EQ(Messages{message}, takeMessages(*image));
        EXPECT_EQ(before, snapshot(*image));
        EXPECT_EQ(nullptr, image->backup);  // no backup outlives the load
    }
    TempDir dir;
    std::unique_ptr<VolumeImage> image;
    std::vector<uint8_t> before;
};

TEST_F(ImageFileTest, SavedNewImageIsTotalSectorsLongWithEqualFats) {
    std::string path = dir.file("new.img");
    auto fresh = newImage();
    ASSERT_EQ(0, fresh->saveImageFile(path.c_str()));
    auto bytes = readFile(path);
    ASSERT_EQ(1474560u, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data() + 512, bytes.data() + 512 + 9 * 512, 9 * 512));
    EXPECT_EQ(0, std::memcmp(fresh->bootSector, bytes.data(), 512));
    EXPECT_FALSE(std::filesystem::exists(path + ".tolven-partial"));
}

TEST_F(ImageFileTest, LoadThenSaveGivesTheSameBytes) {
    std::string first = dir.file("a.img"), second = dir.file("b.img");
    auto original = savedImage(first);
    ASSERT_EQ(737280u, original.size());
    ASSERT_EQ(0, image->loadImageFile(first.c_str()));
    EXPECT_EQ(713, image->getClusterCount());
    EXPECT_EQ(0x003, image->fatTable[2]);
    EXPECT_EQ(0xFFF, image->fatTable[3]);
    EXPECT_EQ(2, image->countUsedClusters());
    EXPECT_EQ(nullptr, image->backup);  // the backup dropped after the load
    ASSERT_EQ(0, image->saveImageFile(second.c_str()));
    EXPECT_EQ(original, readFile(second));
}

// The writer leaves zero runs out (holes) and writes the rest straight from the buffers; a plain
// writer puts every area down whole, in disk order. The files must agree byte for byte, data
// between long zero runs, at the clusters' ends and in a kept tail included, and load back whole.
TEST_F(ImageFileTest, SavedBytesEqualEveryAreaWrittenWholeAndLoadBack) {
    auto im = newImage(5);  // 2.88 MB: 2863 clusters of 1024 bytes
    // Cluster 703 starts a 4 KB block of the file, 1403 ends inside one.
    for (int c : {0, 703, 1403, 2862}) std::memset(im->clusters[c], 0xA5, 1024);
    im->keptBytes.assign(3000, 0x3C);  // bytes behind the volume
    std::string path = dir.file("sparse.img");
    ASSERT_EQ(0, im->saveImageFile(path.c_str()));

    VolumeLayout layout;
    ASSERT_TRUE(im->imageLayout(&layout));
    std::vector<uint8_t> plain;
    size_t kept = 0;
    for (int i = 0; i < layout.areaCount; ++i) {
        const VolumeArea& a = layout.areas[i];
        const uint8_t* from = a.kind == kAreaBootSector ? im->bootSector
                              : a.kind == kAreaFat      ? (a.copy == 1 ? im->fat2 : im->fat1)
                              : a.kind == kAreaRoot     ? im->rootDir
                              : a.kind == kAreaClusters ? im->clusters.data()
                                                        : im->keptBytes.data() + kept;
        if (isKeptArea(a.kind)) kept += a.length;
        plain.insert(plain.end(), from, from + a.length);
    }
    EXPECT_EQ(plain, readFile(path));
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    EXPECT_EQ(snapshot(*im), snapshot(*image));
    EXPECT_EQ(im->keptBytes, image->keptBytes);
}

TEST_F(ImageFileTest, SaveReplacesExistingFile) {
    std::string path = dir.file("over.img");
    writeFile(path, std::vector<uint8_t>(3000000, 0xEE));
    auto fresh = newImage(6);
    ASSERT_EQ(0, fresh->saveImageFile(path.c_str()));
    EXPECT_EQ(163840u, readFile(path).size());
}

// An image that holds nothing (as a command starts with) is loaded without a backup and reset by
// a failed load; one byte anywhere, or kept bytes, make it an image a failed load puts back.
TEST_F(ImageFileTest, FailedLoadPutsBackBlankAndNearlyBlankImages) {
    std::string path = dir.file("cut.img");
    auto bytes = savedImage(path);
    bytes.resize(4000);  // the second FAT cut short
    writeFile(path, bytes);
    std::vector<std::function<void(VolumeImage&)>> pokes = {
        [](VolumeImage&) {}, [](VolumeImage& im) { im.fatTable[0] = 1; },
        [](VolumeImage& im) { im.rootDir[kRootDirBytes - 1] = 1; },
        [](VolumeImage& im) { im.dataSectors = 1; },
        [](VolumeImage& im) { im.keptBytes.assign(1, 0); }};
    for (size_t i = 0; i < pokes.size(); ++i) {
        std::unique_ptr<VolumeImage> im(new VolumeImage);
        pokes[i](*im);
        auto was = snapshot(*im);
        EXPECT_EQ(100, im->loadImageFile(path.c_str())) << i;
        EXPECT_EQ(was, snapshot(*im)) << i;
        EXPECT_EQ(i == 4 ? 1u : 0u, im->keptBytes.size()) << i;
    }
}

TEST_F(ImageFileTest, MissingFile) {
    expectFailure(dir.file("absent.img"), 110, "Could not open image file!");
}

TEST_F(ImageFileTest, EmptyFile) {
    std::string path = dir.file("empty.img");
    writeFile(path, {});
    expectFailure(path, 110, "Invalid bootsector found!");
}

TEST_F(ImageFileTest, InvalidBootSectorsAreRefusedOnce) {
    std::string good = dir.file("good.img");
    auto bytes = savedImage(good);
    struct Damage {
        const char* what;
        int offset;
        uint16_t value;
        bool word;
    };
    const Damage damages[] = {
        {"signature", 510, 0, true},
        {"sectors per cluster 0", bs::kSectorsPerCluster, 0, false},
        {"11 sectors per FAT", bs::kSectorsPerFat, 11, true},
        {"241 root entries", bs::kRootEntries, 241, true},
        {"0 bytes per sector", bs::kBytesPerSector, 0, true},
        {"total below system area", bs::kTotalSectors, 3, true},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        auto copy = bytes;
        if (d.word) writeLe16(copy.data() + d.offset, d.value);
        else copy[d.offset] = static_cast<uint8_t>(d.value);
        std::string path = dir.file("bad.img");
        writeFile(path, copy);
        expectFailure(path, 110, "Invalid bootsector found!");
    }
}

TEST_F(ImageFileTest, ShortBootSector) {
    std::string path = dir.file("short.img");
    auto bytes = savedImage(path);
    bytes.resize(511);
    writeFile(path, bytes);
    expectFailure(path, 110, "Invalid bootsector found!");
}

TEST_F(ImageFileTest, EachTruncatedPartNamesItsStep) {
    std::string path = dir.file("cut.img");
    auto bytes = savedImage(path);  // 720KB: FAT 3 sectors, root 7 sectors, 713 x 1024
    const size_t fat = 3 * 512, root = 112 * 32;
    struct Cut {
        size_t length;
        int code;
        const char* message;
    };
    const Cut cuts[] = {
        {512, 100, "Could not load first FAT!"},
        {512 + fat - 1, 100, "Could not load first FAT!"},
        {512 + fat + 10, 100, "Could not load second FAT!"},
        {512 + 2 * fat + root - 1, 100, "Could not load root directory!"},
        {512 + 2 * fat + root, 110, "Could not read all clusters (0/713)!"},
        {512 + 2 * fat + root + 100 * 1024 + 5, 110, "Could not read all clusters (100/713)!"},
        {bytes.size() - 1, 110, "Could not read all clusters (712/713)!"},
    };
    for (const Cut& c : cuts) {
        SCOPED_TRACE(c.message);
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(c.length));
        writeFile(path, part);
        expectFailure(path, c.code, c.message);
    }
}

TEST_F(ImageFileTest, LongerFileLoadsAndTailIsWrittenBack) {
    std::string path = dir.file("long.img"), out = dir.file("out.img");
    auto bytes = savedImage(path);
    auto longer = bytes;
    longer.resize(bytes.size() + 4096, 0xCC);
    writeFile(path, longer);
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    ASSERT_EQ(0, image->saveImageFile(out.c_str()));
    EXPECT_EQ(longer, readFile(out));
}

TEST_F(ImageFileTest, OneFatImageHasNoSecondCopy) {
    auto one = newImage(2);
    one->bootSector[bs::kNumberOfFats] = 1;
    std::string path = dir.file("onefat.img");
    // The geometry was derived for two FATs; derive it again as a loader would.
    one->freeClusters();
    one->computeGeometry();
    ASSERT_EQ(0, one->saveImageFile(path.c_str()));
    auto bytes = readFile(path);
    ASSERT_EQ(2880u * 512, bytes.size());  // the data region grows by the FAT it lost
    EXPECT_EQ(0, std::memcmp("NO NAME    ", bytes.data() + 512 + 9 * 512, 11));  // root follows
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    EXPECT_EQ(2856, image->getClusterCount());
}

TEST_F(ImageFileTest, LargeClustersAreHeld) {
    auto big = newImage(2);
    big->bootSector[bs::kSectorsPerCluster] = 4;  // 2048-byte clusters
    big->freeClusters();
    big->computeGeometry();
    ASSERT_EQ(711, big->getClusterCount());
    big->clusters[710][2047] = 0x5A;
    std::string path = dir.file("big.img");
    ASSERT_EQ(0, big->saveImageFile(path.c_str()));
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    EXPECT_EQ(2048, image->clusterBytes);
    EXPECT_EQ(64, image->entriesPerCluster);
    EXPECT_EQ(0x5A, image->clusters[710][2047]);
}

TEST_F(ImageFileTest, FailedCreateLeavesNoFile) {
    std::string path = dir.file("missing-folder/x.img");
    EXPECT_EQ(100, image->saveImageFile(path.c_str()));
    EXPECT_EQ(Messages{"Could not create image file!"}, takeMessages(*image));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ImageFileTest, FailedReplaceKeepsWhatWasThere) {
    // A folder in the target's place cannot be replaced by a file: the save fails, the folder
    // and its contents stay, and no partial file is left behind.
    std::string path = dir.file("taken");
    std::filesystem::create_directory(path);
    writeFile(dir.file("taken/keep.txt"), {1, 2, 3});
    EXPECT_EQ(100, image->saveImageFile(path.c_str()));
    EXPECT_EQ(Messages{"Could not create image file!"}, takeMessages(*image));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), readFile(dir.file("taken/keep.txt")));
    EXPECT_FALSE(std::filesystem::exists(path + ".tolven-partial"));
    EXPECT_EQ(before, snapshot(*image));  // only fat1/fat2 are refreshed, and they agree
}

}  // namespace

// The save's rules on the target (more in the tool tests): read-only refused untouched, and a
// failed write leaves no partial file.
class SaveTargetTest : public ImageFileTest {
protected:
    void SetUp() override {
        ImageFileTest::SetUp();
        path = dir.file("t.img");
        original = savedImage(path);
    }
    bool onlyTheImage() {
        auto files = std::filesystem::directory_iterator(dir.path());
        return std::distance(files, std::filesystem::directory_iterator()) == 1;
    }
    std::string path;
    std::vector<uint8_t> original;
};

TEST_F(SaveTargetTest, ReadOnlyTargetIsRefusedAndUntouched) {
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(100, image->saveImageFile(path.c_str()));
    EXPECT_EQ(Messages{"Could not create image file!"}, takeMessages(*image));
    EXPECT_EQ(original, readFile(path));
    EXPECT_TRUE((fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none);
    EXPECT_TRUE(onlyTheImage());
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
}

// A save that fails on the way leaves the target and the folder as they were. A failed write
// names the cluster it stopped in; zero clusters are left as a hole, so in an empty image the
// failure is the file's extension over them, named by their first cluster.
TEST_F(SaveTargetTest, FailedSaveLeavesTargetAndNoPartialFile) {
    struct Fault {
        const char* name;
        bool filled;
        void (*set)(FaultyHost&);
        int result;
        const char* message;
    };
    const Fault faults[] = {
        {"disk full inside cluster 100", true,
         [](FaultyHost& h) { h.failWritesAfter(512 + 2 * 3 * 512 + 112 * 32 + 100 * 1024 + 5); },
         120, "Could not write cluster (100/713)!"},
        {"extension over the empty clusters", false, [](FaultyHost& h) { h.fileEndFails = true; },
         120, "Could not write cluster (0/713)!"},
        {"flush", true, [](FaultyHost& h) { h.flushFails = true; }, 100,
         "Could not write image file!"},
        {"replace", true, [](FaultyHost& h) { h.replaceFails = true; }, 100,
         "Could not create image file!"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        auto loaded = newImage(0);
        if (fault.filled) std::memset(loaded->clusters.data(), 0x5A, 713 * 1024);
        FaultyHost host;
        fault.set(host);
        EXPECT_EQ(fault.result, loaded->saveImageFile(path.c_str()));
        EXPECT_EQ(Messages{fault.message}, takeMessages(*loaded));
        EXPECT_EQ(original, readFile(path));
        EXPECT_TRUE(onlyTheImage());
    }
}

// Before saving over the file it came from, the image checks the file is still the one it read:
// a change that keeps the length and the time is caught by the bytes; a file that is gone, or
// the image's own save, is no change.
TEST_F(SaveTargetTest, ChangedFileIsRefusedUntilTheImageSavesItself) {
    // Holes, and a tail of odd length: the stamp the load takes from its own reads agrees with
    // a reading of the file.
    std::filesystem::resize_file(path, original.size() + 200003);
    original.resize(original.size() + 200003);
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    EXPECT_EQ(0, image->checkImageFileUnchanged(path.c_str()));
    auto time = std::filesystem::last_write_time(path);
    std::vector<uint8_t> changed = original;
    changed[600000] ^= 1;
    writeFile(path, changed);
    std::filesystem::last_write_time(path, time);
    EXPECT_EQ(710, image->checkImageFileUnchanged(path.c_str()));
    EXPECT_EQ(
        Messages{"Image \"" + path + "\" was changed by another program since it was opened."},
        takeMessages(*image));
    ASSERT_EQ(0, image->saveImageFile(path.c_str()));
    EXPECT_EQ(0, image->checkImageFileUnchanged(path.c_str()));
    std::filesystem::remove(path);
    EXPECT_EQ(0, image->checkImageFileUnchanged(path.c_str()));
}

// A folder that refuses the replacement leaves the target as it was (730); a save in place then
// writes exactly what a replacing save writes, cutting a longer file to the image's length.
TEST_F(SaveTargetTest, RefusedReplacementThenInPlaceSave) {
    auto saved = newImage(0, "INPLACE");
    std::memset(saved->clusters[9], 0x3C, 1024);
    {
        FaultyHost host;
        host.replaceRefused = true;
        EXPECT_EQ(730, saved->saveImageFile(path.c_str()));
        EXPECT_EQ(Messages{"Could not replace image file!"}, takeMessages(*saved));
    }
    EXPECT_EQ(original, readFile(path));
    EXPECT_TRUE(onlyTheImage());
    std::vector<uint8_t> longer = original;
    longer.resize(original.size() + 5000, 0xEE);
    writeFile(path, longer);
    ASSERT_EQ(0, saved->saveImageFile(path.c_str(), kSaveInPlace));
    std::string fresh = dir.file("fresh.img");
    ASSERT_EQ(0, saved->saveImageFile(fresh.c_str()));
    EXPECT_EQ(readFile(fresh), readFile(path));
}

// Exports go through the replacement; the loaded image file, by any of its names, is refused.
TEST_F(SaveTargetTest, BootFileExportNeverOverwritesTheImage) {
    ASSERT_EQ(0, image->loadImageFile(path.c_str()));
    std::string link = dir.file("link.img");
    std::filesystem::create_hard_link(path, link);
    for (const std::string& target : {path, link}) {
        EXPECT_EQ(720, image->exportBootSector(target.c_str()));
        EXPECT_EQ(720, image->exportBootCode(target.c_str()));
        EXPECT_EQ((Messages{"The bootsector file is the image file itself!",
                            "The bootcode file is the image file itself!"}),
                  takeMessages(*image));
    }
    EXPECT_EQ(original, readFile(path));
    std::string sector = dir.file("s.bin");
    ASSERT_EQ(0, image->exportBootSector(sector.c_str()));
    EXPECT_EQ(std::vector<uint8_t>(original.begin(), original.begin() + 512), readFile(sector));
}

// One holder at a time; a second one is told who holds it, and gets it once it is let go.
TEST_F(SaveTargetTest, ImageLockHasOneHolder) {
    HostLock first, second;
    ASSERT_EQ(kHostLocked, first.lock(path.c_str(), 0));
    EXPECT_EQ(kHostLockBusy, second.lock(path.c_str(), 0));
    EXPECT_EQ(700, image->lockImageFile(second, path.c_str(), 0));
    EXPECT_EQ(Messages{"Image file \"" + path + "\" is in use by another program!"},
              takeMessages(*image));
    first.unlock();
    EXPECT_EQ(0, image->lockImageFile(second, path.c_str(), 0));
    EXPECT_TRUE(second.held());
    EXPECT_EQ(0, image->lockImageFile(first, dir.file("none.img").c_str(), 0));
}

#ifndef _WIN32
// A saver who may not give the file to its owner keeps at least its group (and with it the
// group's access); root could give it to the owner, so the refusal is the faulty host's.
TEST_F(SaveTargetTest, GroupIsKeptWhenTheOwnerCannotBe) {
    ASSERT_EQ(0, chown(path.c_str(), 4321, 4322)) << "giving a file away needs root";
    FaultyHost host;
    host.ownerChangeRefused = true;
    ASSERT_EQ(0, image->saveImageFile(path.c_str()));
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(geteuid(), st.st_uid);
    EXPECT_EQ(4322u, st.st_gid);
}
#endif
