// Arbitrary bytes as an image file: the load either fails and leaves the (empty) image as it was,
// or gives an image whose geometry fits the buffers, whose counts cover every cluster, whose
// folders all walk to an end without changing the image, and which saves and loads back unchanged:
// the saved file is the input byte for byte but for the FAT copies after the first, which are
// written from the first.
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "ui/cluster_map_layout.h"

using fuzz_support::checkCounts;

static void checkGeometry(const VolumeImage& image) {
    FUZZ_CHECK(image.clusterCount <= kMaxClusters);
    FUZZ_CHECK(image.clusterBytes >= 32 && image.clusterBytes <= kMaxClusterBytes);
    FUZZ_CHECK(image.entriesPerCluster * 32 == image.clusterBytes);
    for (uint32_t c = 2; c < image.clusterCount + 2u; ++c)
        FUZZ_CHECK(image.clusterData(c) != nullptr);
    FUZZ_CHECK(image.clusterData(image.clusterCount + 2) == nullptr);
}

// What the cluster map draws: one cell per data cluster, coloured by its FAT entry's class, and
// as many cells of each colour as the counts say.
static void drawMap(const VolumeImage& image) {
    int cells = clusterMapCellCount(image.getClusterCount());
    FUZZ_CHECK(cells == image.getClusterCount());
    int green = 0, red = 0, white = 0;
    for (int i = 0; i < cells; ++i) {
        MapRect cell = clusterMapCell(i, 60);
        FUZZ_CHECK(cell.right - cell.left == kCellSize && cell.top >= kCellOrigin);
        uint32_t colour = clusterMapColour(image.fatTable[i + 2]);
        green += colour == 0x00C000u;
        red += colour == 0x0000FFu;
        white += colour == 0xFFFFFFu;
    }
    FUZZ_CHECK(green == image.countUsedClusters());
    FUZZ_CHECK(red == image.countBadClusters());
    FUZZ_CHECK(white == image.countFreeClusters());
}

static bool sameImage(const VolumeImage& a, const VolumeImage& b) {
    if (a.clusterCount != b.clusterCount || a.clusterBytes != b.clusterBytes) return false;
    if (std::memcmp(a.bootSector, b.bootSector, sizeof a.bootSector) != 0) return false;
    if (std::memcmp(a.fatTable, b.fatTable, sizeof a.fatTable) != 0) return false;
    if (std::memcmp(a.rootDir, b.rootDir, sizeof a.rootDir) != 0) return false;
    for (int i = 0; i < a.clusterCount; ++i)
        if (std::memcmp(a.clusters[i], b.clusters[i], a.clusterBytes) != 0) return false;
    return a.keptBytes == b.keptBytes;
}

static std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

static void checkSavedBytes(const VolumeImage& image, const uint8_t* data, size_t size,
                            const std::vector<uint8_t>& saved) {
    FUZZ_CHECK(saved.size() == size);
    VolumeLayout layout;
    FUZZ_CHECK(image.imageLayout(&layout));
    for (int i = 0; i < layout.areaCount; ++i) {
        const VolumeArea& a = layout.areas[i];
        FUZZ_CHECK(a.offset + a.length <= size);
        const uint8_t* expected = data + a.offset;
        if (a.kind == kAreaFat && a.copy > 0)  // every copy is the first one's
            expected = saved.data() + layout.areas[i - a.copy].offset;
        FUZZ_CHECK(std::memcmp(saved.data() + a.offset, expected, a.length) == 0);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static VolumeImage* image = new VolumeImage;
    static VolumeImage* again = new VolumeImage;
    std::string path = fuzz_support::writeInput("load.img", data, size);

    image->reset();
    int result = image->loadImageFile(path.c_str());
    image->clear();
    if (result != kResultOk) {
        // A failed load puts the empty image back.
        FUZZ_CHECK(image->clusterCount == 0);
        return 0;
    }
    checkGeometry(*image);
    checkCounts(*image);
    drawMap(*image);
    std::vector<uint8_t> rootBefore(image->rootDir, image->rootDir + sizeof image->rootDir);
    fuzz_support::walkAll(*image);
    FUZZ_CHECK(std::memcmp(rootBefore.data(), image->rootDir, sizeof image->rootDir) == 0);

    // A container's file is not the volume's bytes (its readers have targets of their own).
    if (image->container.kind != kContainerRaw) {
        image->clear();
        return 0;
    }
    std::string saved = fuzz_support::scratchDir() + "saved.img";
    FUZZ_CHECK(image->saveImageFile(saved.c_str()) == kResultOk);
    checkSavedBytes(*image, data, size, fileBytes(saved));
    again->reset();
    FUZZ_CHECK(again->loadImageFile(saved.c_str()) == kResultOk);
    FUZZ_CHECK(sameImage(*image, *again));
    again->clear();
    image->clear();
    return 0;
}
