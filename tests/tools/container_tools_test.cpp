// Images in containers against zip, unzip, gzip, fsck.fat and mtools: an edit saved into a
// container unpacks to exactly the raw image the same edit gives; Teledisk files come from the
// tests' own writer; hostile files are refused.
#include <gtest/gtest.h>

#include <functional>

#include "image/lzhuf_model.h"
#include "tool_support.h"

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;

namespace {

// A 1.44 MB image by mkfs.fat holding a file and a folder by mtools.
std::string makeRaw(TempDir& dir, const std::string& name) {
    std::string image = dir.file(name), data = dir.file("data.txt"), i = " -i " + quote(image);
    writeFile(data, std::vector<uint8_t>(3000, 'x'));
    EXPECT_EQ(0, run(tool_support::mkfsFat() + " -C " + quote(image) + " 1440 && mcopy" + i +
                     " " + quote(data) + " ::README.TXT && mmd" + i + " ::DOCS")
                     .status);
    return image;
}

std::string add(const std::string& image, const std::string& extra = "") {
    auto r = run(cli() + " add " + quote(image) + " /etc/hostname -d /DOCS" + extra);
    EXPECT_EQ(0, r.status) << r.output;
    return r.output;
}

// Teledisk files as the tests' writer makes them: `flags(sector)` gives each sector's flags.
struct BitWriter {
    std::vector<uint8_t> out;
    size_t bits = 0;
    void put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i, ++bits) {
            if (bits % 8 == 0) out.push_back(0);
            if ((value >> i) & 1) out.back() = static_cast<uint8_t>(out.back() | 0x80 >> bits % 8);
        }
    }
};

std::vector<uint8_t> lzhufEncode(const std::vector<uint8_t>& in) {
    using namespace lzhuf;
    BitWriter w;
    Tree tree;
    PositionCode code;
    auto symbol = [&](int c) {
        std::vector<int> path;
        for (int k = tree.parent[c + kTable]; k != kRoot; k = tree.parent[k]) path.push_back(k & 1);
        for (size_t i = path.size(); i-- > 0;) w.put(static_cast<uint32_t>(path[i]), 1);
        tree.update(c);
    };
    for (size_t i = 0; i < in.size();) {
        size_t best = 0, distance = 0;
        for (size_t d = 1; d <= 4000 && d <= i && best < kLookahead; ++d) {
            size_t n = 0;
            while (n < kLookahead && i + n < in.size() && in[i + n - d] == in[i + n]) ++n;
            if (n > best) best = n, distance = d;
        }
        if (best <= kThreshold) {
            symbol(in[i++]);
            continue;
        }
        symbol(static_cast<int>(best) + 255 - kThreshold);
        uint32_t pos = static_cast<uint32_t>(distance - 1), slot = 0;
        while (code.upper[slot] != pos >> 6) ++slot;
        w.put(slot >> (8 - code.bits[slot]), code.bits[slot]);
        w.put(pos & 0x3F, 6);
        i += best;
    }
    return w.out;
}

std::vector<uint8_t> teledisk(const std::vector<uint8_t>& raw, bool compressed,
                              std::function<uint8_t(uint32_t)> flags) {
    std::vector<uint8_t> f = {uint8_t(compressed ? 't' : 'T'), uint8_t(compressed ? 'd' : 'D'),
                              0, 0, 21, 2, 4, 0x80, 0, 2};
    uint16_t crc = 0;
    for (uint8_t b : f) {
        crc = static_cast<uint16_t>(crc ^ b << 8);
        for (int k = 0; k < 8; ++k) crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ 0xA097 : crc << 1);
    }
    f.push_back(static_cast<uint8_t>(crc));
    f.push_back(static_cast<uint8_t>(crc >> 8));
    std::vector<uint8_t> body = {0, 0, 4, 0, 26, 12, 8, 7, 6, 5, 'n', 'o', 't', 'e'};
    for (uint32_t track = 0; track < raw.size() / 512 / 18; ++track) {
        body.insert(body.end(), {18, uint8_t(track / 2), uint8_t(track % 2), 0});
        for (uint32_t s = 0; s < 18; ++s) {
            uint32_t sector = track * 18 + s;
            const uint8_t* data = &raw[sector * 512];
            body.insert(body.end(), {uint8_t(track / 2), uint8_t(track % 2), uint8_t(s + 1), 2,
                                     flags(sector), 0});
            if (flags(sector) & 0x30) continue;
            std::vector<uint8_t> block;  // the three encodings in turn
            if (std::equal(data + 2, data + 512, data)) {
                block = {1, 0, 1, data[0], data[1]};
            } else if (sector % 2 == 0) {
                block = {0};
                block.insert(block.end(), data, data + 512);
            } else {
                block = {2};
                for (int at = 0; at < 512; at += 16) {
                    if (std::equal(data + at + 2, data + at + 16, data + at))
                        block.insert(block.end(), {1, 8, data[at], data[at + 1]});
                    else block.insert(block.end(), {0, 16}), block.insert(block.end(), data + at, data + at + 16);
                }
            }
            body.push_back(static_cast<uint8_t>(block.size()));
            body.push_back(static_cast<uint8_t>(block.size() >> 8));
            body.insert(body.end(), block.begin(), block.end());
        }
    }
    body.push_back(0xFF);
    if (compressed) body = lzhufEncode(body);
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

}  // namespace

TEST(Containers, ZipAndGzipEditsUnpackToTheRawEdit) {
    TempDir dir;
    std::string raw = makeRaw(dir, "disk.img"), d = quote(dir.file(""));
    ASSERT_EQ(0, run("cd " + d + " && zip -q -9 disk.imz disk.img && gzip -9 -k disk.img").status);
    for (std::string image : {raw, dir.file("disk.imz"), dir.file("disk.img.gz")}) add(image);
    ASSERT_EQ(0, run("cd " + d + " && unzip -p disk.imz > z.img && gzip -dc disk.img.gz > g.img").status);
    EXPECT_EQ(readFile(raw), readFile(dir.file("z.img")));
    EXPECT_EQ(readFile(raw), readFile(dir.file("g.img")));
    EXPECT_EQ("disk.img\n", run("unzip -Z1 " + quote(dir.file("disk.imz"))).output);
    EXPECT_TRUE(tool_support::fsckClean(raw));
    EXPECT_NE(std::string::npos, run("mdir -i " + quote(raw) + " ::/DOCS").output.find("hostname"));

    // An archive of two images names them and takes the one chosen; the other stays as it was.
    std::string other = makeRaw(dir, "other.img");
    ASSERT_EQ(0, run("cd " + d + " && zip -q two.zip disk.img other.img").status);
    auto r = run(cli() + " ls " + quote(dir.file("two.zip")));
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.output.find("--member NAME:\n  disk.img\n  other.img"));
    add(dir.file("two.zip"), " --member other.img");
    add(other);
    ASSERT_EQ(0, run("cd " + d + " && unzip -q -o two.zip -d out").status);
    EXPECT_EQ(readFile(raw), readFile(dir.file("out/disk.img")));
    EXPECT_EQ(readFile(other), readFile(dir.file("out/other.img")));
}

TEST(Containers, ImageDiskRoundTripKeepsEveryByteTelediskOpensReadOnly) {
    TempDir dir;
    std::string raw = makeRaw(dir, "disk.img"), imd = dir.file("disk.imd");
    auto image = std::make_unique<VolumeImage>();
    ASSERT_EQ(0, image->loadImageFile(raw.c_str()));
    ASSERT_EQ(0, image->saveImageFile(imd.c_str(), kContainerImageDisk));
    EXPECT_LT(readFile(imd).size(), 100000u);  // fill sectors take a byte each
    add(imd);
    add(raw);
    ASSERT_EQ(0, image->loadImageFile(imd.c_str()));
    EXPECT_EQ(kContainerImageDisk, image->container.kind);
    ASSERT_EQ(0, image->saveImageFile(dir.file("back.img").c_str(), kContainerRaw));
    EXPECT_EQ(readFile(raw), readFile(dir.file("back.img")));
    // The command line makes one too, by its name or by --container.
    ASSERT_EQ(0, run(cli() + " new " + quote(dir.file("n.img")) + " --type 720 --container imd").status);
    EXPECT_EQ(kContainerImageDisk, detectContainer(readFile(dir.file("n.img")).data(), 4));

    // Teledisk files, plain and compressed, open to the same bytes and are not written back.
    std::string td0 = dir.file("disk.td0");
    for (bool compressed : {false, true}) {
        writeFile(td0, teledisk(readFile(raw), compressed, [](uint32_t) { return uint8_t(0); }));
        ASSERT_EQ(0, image->loadImageFile(td0.c_str())) << testing_support::takeMessages(*image)[0];
        ASSERT_EQ(0, image->saveImageFile(dir.file("back.img").c_str(), kContainerRaw));
        EXPECT_EQ(readFile(raw), readFile(dir.file("back.img")));
    }
    auto r = run(cli() + " add " + quote(td0) + " /etc/hostname");
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.output.find("Teledisk images are not written"));
}

TEST(Containers, SectorsARawImageCannotHoldOpenReadOnlyOrAreRefused) {
    TempDir dir;
    std::vector<uint8_t> raw = readFile(makeRaw(dir, "disk.img"));
    std::string td0 = dir.file("disk.td0");
    auto image = std::make_unique<VolumeImage>();
    // Sector 40 (track 2, a data cluster's) with a deleted-data mark and a data error.
    writeFile(td0, teledisk(raw, false, [](uint32_t s) { return uint8_t(s == 40 ? 0x06 : 0); }));
    ASSERT_EQ(0, image->loadImageFile(td0.c_str()));
    EXPECT_TRUE(image->container.readOnly);
    EXPECT_NE(std::string::npos, image->container.readOnlyReason.find("Track 2 (cylinder 1, head 0)"));
    EXPECT_EQ(kFatBad, image->mapClass(40 - 33 + 2));
    EXPECT_EQ(kFatFree, image->mapClass(40 - 33 + 3));
    EXPECT_EQ(kResultReadOnly, image->saveImageFile(dir.file("x.img").c_str(), kContainerRaw));
    EXPECT_EQ(image->container.readOnlyReason, testing_support::takeMessages(*image)[0]);
    auto r = run(cli() + " map " + quote(td0));
    EXPECT_EQ('B', r.output[r.output.find('\n') + 1 + 7]) << r.output;
    // A FAT sector without data: nothing to show.
    writeFile(td0, teledisk(raw, true, [](uint32_t s) { return uint8_t(s == 1 ? 0x20 : 0); }));
    EXPECT_EQ(kResultBadImage, image->loadImageFile(td0.c_str()));
    std::string message = testing_support::takeMessages(*image)[0];
    EXPECT_NE(std::string::npos, message.find("FAT or root")) << message;
}

TEST(Containers, HostileFilesAreRefusedWithAMessage) {
    TempDir dir;
    std::string raw = makeRaw(dir, "disk.img"), d = quote(dir.file(""));
    auto image = std::make_unique<VolumeImage>();
    ASSERT_EQ(0, image->loadImageFile(raw.c_str()));
    ASSERT_EQ(0, image->saveImageFile(dir.file("disk.imd").c_str(), kContainerImageDisk));
    writeFile(dir.file("big.bin"), std::vector<uint8_t>(5u << 20, 0));
    ASSERT_EQ(0, run("cd " + d + " && zip -q -9 bomb.zip big.bin && gzip -k big.bin && "
                     "zip -q -9 disk.imz disk.img").status);
    std::vector<uint8_t> zip = readFile(dir.file("disk.imz")), imd = readFile(dir.file("disk.imd"));
    std::vector<uint8_t> gz = readFile(dir.file("big.bin.gz")), lying = zip, cut(zip.begin(), zip.begin() + zip.size() / 2);
    const char kCentral[] = {'P', 'K', 1, 2};
    size_t central = std::search(zip.begin(), zip.end(), kCentral, kCentral + 4) - zip.begin();
    lying[central + 24] = 0;
    lying[central + 25] = 0x10;
    size_t track = std::find(imd.begin(), imd.end(), 0x1A) - imd.begin() + 1;
    std::vector<uint8_t> badTrack = imd, cutImd(imd.begin(), imd.begin() + imd.size() / 3);
    badTrack[track + 2] = 7;  // head 7
    std::vector<uint8_t> td0 = teledisk(readFile(raw), false, [](uint32_t) { return uint8_t(0); });
    td0[4] ^= 1;  // the header no longer matches its check
    const std::pair<std::vector<uint8_t>, const char*> cases[] = {
        {readFile(dir.file("bomb.zip")), "past the largest floppy"},
        {gz, "past the largest floppy"},
        {lying, "damaged"},
        {cut, "damaged"},
        {std::vector<uint8_t>(gz.begin(), gz.begin() + 3000), "cut short"},
        {badTrack, "damaged"},
        {cutImd, "cut short"},
        {td0, "header is damaged"}};
    for (const auto& c : cases) {
        writeFile(dir.file("hostile"), c.first);
        EXPECT_EQ(kResultBadImage, image->loadImageFile(dir.file("hostile").c_str()));
        std::vector<std::string> messages = testing_support::takeMessages(*image);
        ASSERT_FALSE(messages.empty());
        EXPECT_NE(std::string::npos, messages[0].find(c.second)) << messages[0];
        EXPECT_EQ(kContainerImageDisk, image->container.kind);  // the image before stays
    }
}
