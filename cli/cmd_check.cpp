// check: finds damage in images, and mends it with --repair (directory/disk_check.h). Archives of
// thousands go through one process and one image object, each image locked only while it is read
// or written.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/disk_check.h"
#include "platform/host_lock.h"

namespace {

// 0 clean or mended, 1 findings remain or the image could not be read or written.
int checkOne(VolumeImage& image, const char* path, bool repair, bool many) {
    std::string prefix = many ? escapeControls(path) + ": " : std::string();
    HostLock lock;
    image.reset();
    int result = image.lockImageFile(lock, path, lockWaitMs());
    if (result == kResultOk) result = image.loadImageFile(path, globalOptions().member);
    if (result != kResultOk) {
        reportFailure(image, result, path);
        std::printf("%s: not checked\n", escapeControls(path).c_str());
        return kExitFailure;
    }
    DiskCheck check;
    std::vector<std::string> notes;
    int repaired = kResultOk;
    if (repair) repaired = repairImage(image, &check, &notes);
    else checkImage(image, &check);
    for (const DiskFinding& f : check.findings)
        std::printf("%s%s\n", prefix.c_str(), escapeControls(findingLine(f)).c_str());
    for (const std::string& note : notes)
        std::printf("%s%s\n", prefix.c_str(), escapeControls(note).c_str());
    size_t count = check.findings.size();
    const char* plural = count == 1 ? "" : "s";
    if (count == 0) {
        std::printf("%s: clean\n", escapeControls(path).c_str());
        return kExitOk;
    }
    if (!repair) {
        std::printf("%s: %zu finding%s\n", escapeControls(path).c_str(), count, plural);
        return kExitFailure;
    }
    if (repaired == kResultOk) repaired = image.checkImageFileUnchanged(path);
    if (repaired == kResultOk) repaired = image.saveImageFile(path);
    if (repaired != kResultOk) {
        reportFailure(image, repaired, path);
        std::printf("%s: %zu finding%s, not repaired\n", escapeControls(path).c_str(), count,
                    plural);
        return kExitFailure;
    }
    std::printf("%s: %zu finding%s, repaired: clean now\n", escapeControls(path).c_str(), count,
                plural);
    return kExitOk;
}

}  // namespace

int runCheck(int argc, char** argv) {
    static const char kUsage[] = "check IMAGE... [--repair]";
    bool repair = false;
    std::vector<const char*> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repair") == 0) repair = true;
        else if (argv[i][0] == '-' && argv[i][1] != '\0') return usageError(kUsage);
        else paths.push_back(argv[i]);
    }
    if (paths.empty()) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    int status = kExitOk;
    for (const char* path : paths)
        if (checkOne(*image, path, repair, paths.size() > 1) != kExitOk) status = kExitFailure;
    return status;
}
