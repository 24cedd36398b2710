#include <cstring>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"

// Shared by `bootsector` and `bootcode`: ACTION IMAGE FILE, where import changes the image and
// saves it only on success.
static int runBootFile(int argc, char** argv, const char* usage,
                       int (VolumeImage::*exportOp)(const char*),
                       int (VolumeImage::*importOp)(const char*)) {
    if (argc != 4) return usageError(usage);
    bool isImport = std::strcmp(argv[1], "import") == 0;
    if (!isImport && std::strcmp(argv[1], "export") != 0) return usageError(usage);
    const char* imagePath = argv[2];
    const char* filePath = argv[3];
    auto image = std::make_unique<VolumeImage>();
    int status = kExitFailure;
    if (loadImage(*image, imagePath)) {
        int result = ((*image).*(isImport ? importOp : exportOp))(filePath);
        if (result != kResultOk) status = reportFailure(*image, result, filePath);
        else status = isImport ? saveImage(*image, imagePath) : kExitOk;
    }
    return status;
}

int runBootSector(int argc, char** argv) {
    return runBootFile(argc, argv, "bootsector export|import IMAGE FILE",
                       &VolumeImage::exportBootSector, &VolumeImage::importBootSector);
}

int runBootCode(int argc, char** argv) {
    return runBootFile(argc, argv, "bootcode export|import IMAGE FILE",
                       &VolumeImage::exportBootCode, &VolumeImage::importBootCode);
}
