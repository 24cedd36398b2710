#include <cstdio>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"

int runMap(int argc, char** argv) {
    static const char kUsage[] = "map IMAGE";
    if (argc != 2) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    static const char kCell[] = {'.', '#', 'R', 'B'};  // in FatClass order
    int count = image->getClusterCount();
    for (int i = 0; i < count; ++i) {
        std::putchar(kCell[image->mapClass(static_cast<uint32_t>(i) + 2)]);
        if (i % 64 == 63 || i == count - 1) std::putchar('\n');
    }
    std::printf("used: %i reserved: %i bad: %i free: %i\n", image->countUsedClusters(),
                image->countReservedClusters(), image->countBadClusters(),
                image->countFreeClusters());
    return kExitOk;
}
