#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/image_path.h"
#include "directory/name_clash.h"

static const char kAddUsage[] = "add IMAGE HOSTPATH... [-d FOLDER] [--replace|--skip]";

// The folder's content cluster, or false after reporting why FOLDER is not one.
static bool targetFolder(VolumeImage& image, const char* path, uint16_t* cluster) {
    ImagePathEntry found;
    int result = resolveImagePath(image, path, &found);
    if (result == kImagePathFound && !found.isRoot && !isFolderEntry(found.entry))
        result = kImagePathNotFolder;
    if (result == kImagePathFound && found.contentCluster == kNoContent)
        result = kImagePathNotFound;
    if (result != kImagePathFound) {
        reportImagePathError(path, result);
        return false;
    }
    *cluster = found.isRoot ? 0 : found.contentCluster;
    return true;
}

// Every host path goes in on its own: one that is refused does not keep the others out. The
// image is saved when anything went in, and the exit status is 1 when anything was refused.
int runAdd(int argc, char** argv) {
    const char* imagePath = nullptr;
    const char* folderPath = "/";
    std::vector<const char*> hostPaths;
    InsertClash clash;  // a name the folder holds is refused unless told otherwise
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-d") == 0) {
            if (++i == argc) return usageError(kAddUsage);
            folderPath = argv[i];
        } else if (std::strcmp(argv[i], "--replace") == 0 || std::strcmp(argv[i], "--skip") == 0) {
            ClashPolicy policy = argv[i][2] == 'r' ? kClashReplace : kClashSkip;
            if (clash.policy != kClashRefuse && clash.policy != policy)
                return usageError(kAddUsage);
            clash.policy = policy;
        } else if (imagePath == nullptr) {
            imagePath = argv[i];
        } else {
            hostPaths.push_back(argv[i]);
        }
    }
    if (imagePath == nullptr || hostPaths.empty()) return usageError(kAddUsage);

    auto image = std::make_unique<VolumeImage>();
    int status = kExitFailure;
    uint16_t folder = 0;
    if (loadImage(*image, imagePath) && targetFolder(*image, folderPath, &folder)) {
        int inserted = 0;
        int firstFailure = image->insertHostPaths(
            folder, hostPaths.data(), static_cast<int>(hostPaths.size()), &inserted, &clash);
        // The refusals are reported before the save, so a failed save keeps its own code and
        // reason: the last lines on standard error.
        if (firstFailure != kResultOk) reportFailure(*image, firstFailure);
        int saved = inserted > 0 ? saveImage(*image, imagePath) : kExitOk;
        status = firstFailure != kResultOk ? kExitFailure : saved;
    }
    return status;
}
