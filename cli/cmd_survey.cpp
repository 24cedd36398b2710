// owner, chain and dump: reading a volume's clusters and sectors (directory/disk_survey.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/disk_survey.h"
#include "directory/image_path.h"

namespace {

// A whole decimal number from 0 to `max`; false for anything else.
bool readNumber(const char* text, unsigned long max, uint32_t* value) {
    char* end = nullptr;
    if (text == nullptr || *text < '0' || *text > '9') return false;
    unsigned long v = std::strtoul(text, &end, 10);
    if (*end != '\0' || v > max) return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

int runOwner(int argc, char** argv) {
    static const char kUsage[] = "owner IMAGE CLUSTER...";
    if (argc < 3) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    ClusterOwners owners;
    clusterOwners(*image, &owners);
    int status = kExitOk;
    for (int i = 2; i < argc; ++i) {
        uint32_t cluster = 0;
        if (!readNumber(argv[i], 0xFFFF, &cluster) || !image->isDataCluster(cluster)) {
            std::fprintf(stderr, "No data cluster \"%s\": clusters are 2 to %i.\n",
                         escapeControls(argv[i]).c_str(), image->getClusterCount() + 1);
            status = kExitFailure;
            continue;
        }
        std::string owner = clusterOwnerText(*image, owners, static_cast<uint16_t>(cluster));
        std::printf("%u: %s\n", static_cast<unsigned>(cluster), escapeControls(owner).c_str());
    }
    return status;
}

int runChain(int argc, char** argv) {
    static const char kUsage[] = "chain IMAGE PATH";
    if (argc != 3) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    ImagePathEntry entry;
    std::string spelled;
    int found = resolveImagePath(*image, argv[2], &entry, &spelled);
    if (found != kImagePathFound) return reportImagePathError(argv[2], found);
    if (entry.isRoot) {
        std::fprintf(stderr, "The root directory has no chain: it lies before the clusters.\n");
        return kExitFailure;
    }
    std::vector<ClusterRun> runs = chainRuns(*image, entryFirstCluster(entry.entry));
    unsigned clusters = 0;
    for (const ClusterRun& r : runs) clusters += r.last - r.first + 1u;
    std::printf("%s: %s\nclusters: %u fragments: %u\n", escapeControls(spelled).c_str(),
                runs.empty() ? "(none)" : runsText(runs).c_str(), clusters,
                static_cast<unsigned>(runs.size()));
    return kExitOk;
}

int runDump(int argc, char** argv) {
    static const char kUsage[] =
        "dump IMAGE (--sector N | --cluster N | --boot | --fat [COPY] | --root) [--count K] "
        "[--decode]";
    if (argc < 3) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    VolumeLayout layout;
    image->imageLayout(&layout);
    uint32_t sector = 0, count = 1, number = 0, wanted = 0;
    bool where = false, decode = false;
    for (int i = 2; i < argc; ++i) {
        const char* a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (std::strcmp(a, "--count") == 0) {
            ok = readNumber(next, 1u << 20, &wanted) && wanted > 0;
            ++i;
        } else if (std::strcmp(a, "--decode") == 0) {
            decode = true;
        } else if (where) {
            ok = false;  // one place to dump
        } else if (std::strcmp(a, "--sector") == 0) {
            ok = readNumber(next, 1u << 20, &sector);
            ++i;
        } else if (std::strcmp(a, "--cluster") == 0) {
            ok = readNumber(next, 0xFFFF, &number) &&
                 clusterFirstSector(*image, static_cast<uint16_t>(number), &sector);
            count = layout.clusterBytes / layout.bytesPerSector;
            if (!ok && next != nullptr) {
                std::fprintf(stderr, "No data cluster \"%s\": clusters are 2 to %i.\n",
                             escapeControls(next).c_str(), image->getClusterCount() + 1);
                return kExitFailure;
            }
            ++i;
        } else if (std::strcmp(a, "--boot") == 0) {
            sector = 0;
        } else if (std::strcmp(a, "--fat") == 0) {
            number = 1;
            if (next != nullptr && next[0] != '-') {
                ok = readNumber(next, kMaxFatCopies, &number) && number > 0;
                ++i;
            }
            if (ok && !areaFirstSector(*image, kAreaFat, static_cast<int>(number) - 1, &sector)) {
                std::fprintf(stderr, "The image has no FAT copy %u.\n", number);
                return kExitFailure;
            }
            count = layout.fatBytes / layout.bytesPerSector;
        } else if (std::strcmp(a, "--root") == 0) {
            ok = areaFirstSector(*image, kAreaRoot, 0, &sector);
            count = layout.rootSectors;
        } else {
            ok = false;
        }
        if (!ok) return usageError(kUsage);
        if (std::strcmp(a, "--count") != 0 && std::strcmp(a, "--decode") != 0) where = true;
    }
    if (!where) return usageError(kUsage);
    if (wanted > 0) count = wanted;
    if (count == 0) count = 1;  // an area of no whole sector still shows its first
    ClusterOwners owners;
    clusterOwners(*image, &owners);
    std::vector<uint8_t> bytes;
    for (uint32_t s = sector; s < sector + count; ++s) {
        SectorPlace place;
        if (!locateSector(*image, s, &place) || !readVolumeSector(*image, s, &bytes)) {
            std::fprintf(stderr, "Sector %u lies past the end of the volume (%u sectors).\n", s,
                         volumeSectorCount(*image));
            return kExitFailure;
        }
        std::printf("sector %u: %s\n", s,
                    escapeControls(sectorAreaText(*image, owners, place)).c_str());
        for (uint32_t o = 0; o < bytes.size(); o += 16) {
            int n = static_cast<int>(bytes.size() - o < 16 ? bytes.size() - o : 16);
            std::printf("%s\n", hexDumpLine(s * layout.bytesPerSector + o, &bytes[o], n).c_str());
        }
        if (!decode) continue;
        std::vector<std::string> lines;
        if (place.area.kind == kAreaBootSector) lines = bootSectorLines(bytes.data());
        else if (isDirectorySector(owners, place))
            lines = directorySlotLines(bytes.data(), static_cast<uint32_t>(bytes.size()),
                                       place.inArea * layout.bytesPerSector / de::kSize);
        for (const std::string& line : lines) std::printf("%s\n", escapeControls(line).c_str());
    }
    return kExitOk;
}
