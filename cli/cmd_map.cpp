#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/cluster_owners.h"
#include "directory/disk_survey.h"

namespace {

const int kCellsPerLine = 64;

// With --owners: a letter per owning entry in the order their chains first appear, and signs
// for the rest; entries past the letters share '+'.
const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

void printOwnerMap(VolumeImage& image) {
    ClusterOwners owners;
    clusterOwners(image, &owners);
    std::vector<int> letterOf(owners.entries.size(), -1);
    std::vector<int32_t> legend;
    int count = image.getClusterCount();
    for (int i = 0; i < count; ++i) {
        size_t c = static_cast<size_t>(i) + 2;
        char cell = '.';
        switch (owners.use[c]) {
        case kClusterFree: cell = '.'; break;
        case kClusterReserved: cell = '-'; break;
        case kClusterBad: cell = '!'; break;
        case kClusterLost: cell = '?'; break;
        case kClusterShared: cell = '*'; break;
        case kClusterOwned: {
            int& letter = letterOf[static_cast<size_t>(owners.firstOwner[c])];
            if (letter < 0) {
                letter = static_cast<int>(legend.size());
                legend.push_back(owners.firstOwner[c]);
            }
            cell = letter < static_cast<int>(sizeof kLetters - 1) ? kLetters[letter] : '+';
            break;
        }
        }
        std::putchar(cell);
        if (i % kCellsPerLine == kCellsPerLine - 1 || i == count - 1) std::putchar('\n');
    }
    for (size_t k = 0; k < legend.size() && k < sizeof kLetters - 1; ++k)
        std::printf("%c %s\n", kLetters[k],
                    escapeControls(ownerPath(image, owners, legend[k])).c_str());
    if (legend.size() >= sizeof kLetters) std::printf("+ the other files and folders\n");
    std::printf(". free  - reserved  ! bad  ? lost  * shared\n");
}

}  // namespace

int runMap(int argc, char** argv) {
    static const char kUsage[] = "map IMAGE [--owners]";
    bool withOwners = argc == 3 && std::strcmp(argv[2], "--owners") == 0;
    if (argc != 2 && !withOwners) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    if (withOwners) {
        printOwnerMap(*image);
        return kExitOk;
    }
    static const char kCell[] = {'.', '#', 'R', 'B'};  // in FatClass order
    int count = image->getClusterCount();
    for (int i = 0; i < count; ++i) {
        std::putchar(kCell[image->mapClass(static_cast<uint32_t>(i) + 2)]);
        if (i % kCellsPerLine == kCellsPerLine - 1 || i == count - 1) std::putchar('\n');
    }
    std::printf("used: %i reserved: %i bad: %i free: %i\n", image->countUsedClusters(),
                image->countReservedClusters(), image->countBadClusters(),
                image->countFreeClusters());
    return kExitOk;
}
