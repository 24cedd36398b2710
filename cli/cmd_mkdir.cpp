#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/image_path.h"
#include "platform/clock.h"

int runMkdir(int argc, char** argv) {
    static const char usage[] = "mkdir IMAGE PATH";
    if (argc != 3) return usageError(usage);
    const char* imagePath = argv[1];
    const char* path = argv[2];
    auto image = std::make_unique<VolumeImage>();
    int status = kExitFailure;
    if (loadImage(*image, imagePath)) {
        uint16_t parent = 0;
        char name[1024];
        int resolved = resolveImageParent(*image, path, &parent, name, sizeof name);
        if (resolved == kImagePathFound && parent == kNoContent) resolved = kImagePathNotFound;
        if (resolved != kImagePathFound) {
            status = reportImagePathError(path, resolved);
        } else {
            uint16_t date = 0, time = 0, created = 0;
            currentLocalFatDateTime(&date, &time);
            int result = image->createFolder(parent, name, date, time, &created);
            status = result == kResultOk ? saveImage(*image, imagePath)
                                         : reportFailure(*image, result);
        }
    }
    return status;
}
