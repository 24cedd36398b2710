#include "cli/cli_common.h"

#include <cstdio>
#include <cstring>

#include "image/error_report.h"

int usageError(const char* usage) {
    std::fprintf(stderr, "usage: tolven-cli %s\n", usage);
    return kExitUsage;
}

bool wantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

int printUsage(const char* usage, const char* summary) {
    std::printf("usage: tolven-cli %s\n%s\n", usage, summary);
    return kExitOk;
}

int reportFailure(VolumeImage& image, int result) {
    char report[kErrorReportCapacity];
    if (buildErrorReport(image, report)) std::fprintf(stderr, "%s\n", report);
    std::fprintf(stderr, "error %i\n", result);
    return kExitFailure;
}

bool loadImage(VolumeImage& image, const char* path) {
    int result = image.loadImageFile(path);
    if (result == kResultOk) return true;
    reportFailure(image, result);
    return false;
}

int saveImage(VolumeImage& image, const char* path) {
    int result = image.saveImageFile(path);
    return result == kResultOk ? kExitOk : reportFailure(image, result);
}
