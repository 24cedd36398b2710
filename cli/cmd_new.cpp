#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "image/disk_types.h"
#include "image/volume_label.h"
#include "platform/host_file.h"

static const char kUsage[] = "new IMAGE --type N [--label L] [--oem O] [--from DIR] [--force]";

int runNew(int argc, char** argv) {
    const char* path = nullptr;
    const char* type = nullptr;
    const char* label = "NO NAME";
    const char* oem = "TOLVEN";
    const char* from = nullptr;
    bool force = false;
    for (int i = 1; i < argc; ++i) {
        bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--type") == 0 && hasValue) type = argv[++i];
        else if (std::strcmp(argv[i], "--label") == 0 && hasValue) label = argv[++i];
        else if (std::strcmp(argv[i], "--oem") == 0 && hasValue) oem = argv[++i];
        else if (std::strcmp(argv[i], "--from") == 0 && hasValue) from = argv[++i];
        else if (std::strcmp(argv[i], "--force") == 0) force = true;
        else if (argv[i][0] != '-' && path == nullptr) path = argv[i];
        else return usageError(kUsage);
    }
    if (path == nullptr || type == nullptr) return usageError(kUsage);
    int diskType = parseDiskType(type);
    if (diskType < 0) {
        std::fprintf(stderr, "tolven-cli: unknown disk type '%s'\n", type);
        return usageError(kUsage);
    }
    // The window's label rule; like the window the tool takes at most 11 label and 8 OEM
    // characters, and refuses rather than cut.
    LabelCheck labelCheck = readVolumeLabel(label, nullptr);
    if (labelCheck == kLabelInvalid) {
        std::fprintf(stderr, "Invalid character in volume label!\n");
        return usageError(kUsage);
    }
    if (labelCheck == kLabelTooLong || std::strlen(oem) > 8) {
        std::fprintf(stderr, "tolven-cli: the label has at most 11 characters, the OEM ID 8\n");
        return usageError(kUsage);
    }
    if (!force && hostFileExists(path)) {
        std::fprintf(stderr, "tolven-cli: %s exists (use --force to replace it)\n", path);
        return kExitFailure;
    }
    auto image = std::make_unique<VolumeImage>();
    int result = image->createImage(programModule(), diskType, label, oem);
    // With --from the image is written only when the whole tree went in.
    if (result == kResultOk && from != nullptr)
        result = image->insertFolderContents(0, from, nullptr);
    return result == kResultOk ? saveImage(*image, path) : reportFailure(*image, result);
}
