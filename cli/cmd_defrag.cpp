#include <cstdio>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/defragment.h"

int runDefrag(int argc, char** argv) {
    static const char kUsage[] = "defrag IMAGE";
    if (argc != 2) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    DefragmentOutcome done;
    int result = defragmentImage(*image, &done);
    if (result != kResultOk) return reportFailure(*image, result);
    // An image already in order is not written again.
    if (done.clustersMoved == 0) {
        std::printf("defragmented: nothing to move\n");
        return kExitOk;
    }
    int status = saveImage(*image, argv[1]);
    if (status == kExitOk)
        std::printf("defragmented: %d files and %d folders moved, %d clusters moved\n",
                    done.filesMoved, done.foldersMoved, done.clustersMoved);
    return status;
}

int runWipe(int argc, char** argv) {
    static const char kUsage[] = "wipe IMAGE";
    if (argc != 2) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    WipeOutcome done;
    int result = wipeFreeSpace(*image, &done);
    if (result != kResultOk) return reportFailure(*image, result);
    int status = kExitOk;
    if (done.clustersZeroed + done.filesTrimmed + done.entriesCleared > 0)
        status = saveImage(*image, argv[1]);
    if (status == kExitOk)
        std::printf(
            "wiped: %d free clusters zeroed, slack of %d files zeroed, %d deleted "
            "entries cleared\n",
            done.clustersZeroed, done.filesTrimmed, done.entriesCleared);
    return status;
}
