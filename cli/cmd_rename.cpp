#include <cstdio>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/image_path.h"

int runRename(int argc, char** argv) {
    static const char kUsage[] = "rename IMAGE PATH NEWNAME";
    if (argc != 4) return usageError(kUsage);
    const char* imagePath = argv[1];
    auto image = std::make_unique<VolumeImage>();
    int status = kExitFailure;
    if (loadImage(*image, imagePath)) {
        ImagePathEntry e;
        int resolved = resolveImagePath(*image, argv[2], &e);
        if (resolved != kImagePathFound) {
            status = reportImagePathError(argv[2], resolved);
        } else if (e.isRoot) {
            std::fprintf(stderr, "The root folder cannot be renamed!\n");
        } else {
            int result = image->renameEntry(e.parentCluster, e.entryCluster, e.entryIndex,
                                            e.longNameCluster, e.longNameIndex, argv[3]);
            status = result == kResultOk ? saveImage(*image, imagePath)
                                         : reportFailure(*image, result);
        }
    }
    return status;
}
