#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/convert_image.h"
#include "image/disk_types.h"
#include "platform/host_file.h"

static const char kUsage[] = "convert IN OUT [--type N]";

// OUT is written by the safe save, so a refused or failed conversion leaves whatever was there.
// Without --type the image keeps its own disk type (the boot sector laid out anew).
int runConvert(int argc, char** argv) {
    const char* in = nullptr;
    const char* out = nullptr;
    const char* type = nullptr;
    // The container of OUT goes here once images are kept in containers other than raw.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--type") == 0 && i + 1 < argc) type = argv[++i];
        else if (argv[i][0] != '-' && in == nullptr) in = argv[i];
        else if (argv[i][0] != '-' && out == nullptr) out = argv[i];
        else return usageError(kUsage);
    }
    if (in == nullptr || out == nullptr) return usageError(kUsage);
    int diskType = type != nullptr ? parseDiskType(type) : -2;
    if (diskType == -1) {
        std::fprintf(stderr, "tolven-cli: unknown disk type '%s'\n", type);
        return usageError(kUsage);
    }
    if (std::strcmp(in, out) == 0 || hostSameFile(in, out)) {
        std::fprintf(stderr, "tolven-cli: OUT must be another file than IN\n");
        return usageError(kUsage);
    }
    auto source = std::make_unique<VolumeImage>();
    if (!loadImage(*source, in)) return kExitFailure;
    if (diskType == -2)
        diskType = diskTypeOfLayout(source->totalSectors(), source->sectorsPerCluster(),
                                    source->rootEntryCount(), source->sectorsPerFat());
    if (diskType < 0) {
        std::fprintf(stderr, "tolven-cli: %s has no disk type of the list; name one with --type\n",
                     in);
        return usageError(kUsage);
    }
    auto target = std::make_unique<VolumeImage>();
    ConvertOutcome outcome;
    int result = convertImage(*source, programModule(), diskType, *target, &outcome);
    if (result != kResultOk) return reportFailure(*source, result, in);
    int status = saveImage(*target, out);
    if (status == kExitOk && outcome.standardBootCode)
        std::fprintf(stderr,
                     "tolven-cli: the boot code of %s does not fit the new boot sector; "
                     "%s has the standard boot code\n",
                     in, out);
    return status;
}
