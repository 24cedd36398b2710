#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/extract.h"
#include "directory/image_path.h"

int runExtract(int argc, char** argv) {
    static const char kUsage[] = "extract IMAGE [PATH...] -d DIR";
    const char* imagePath = nullptr;
    const char* target = nullptr;
    std::vector<const char*> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-d") == 0) {
            if (i + 1 >= argc || target != nullptr) return usageError(kUsage);
            target = argv[++i];
        } else if (imagePath == nullptr) {
            imagePath = argv[i];
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (imagePath == nullptr || target == nullptr) return usageError(kUsage);

    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, imagePath)) return kExitFailure;
    // Every named path is resolved before anything is written, so a typing error extracts nothing.
    std::vector<ListedEntry> records;
    int status = kExitOk;
    if (paths.empty()) records = readListedEntries(*image, 0);
    for (const char* path : paths) {
        ImagePathEntry e;
        int result = resolveImagePath(*image, path, &e);
        if (result != kImagePathFound) {
            status = reportImagePathError(path, result);
        } else if (e.isRoot) {
            std::vector<ListedEntry> all = readListedEntries(*image, 0);
            records.insert(records.end(), all.begin(), all.end());
        } else {
            records.push_back(listedEntry(e));
        }
    }
    if (status == kExitOk) {
        // Each failure is reported when it happens, with its own code: a later one does not
        // hide an earlier one's reason.
        for (const ListedEntry& r : records) {
            int result = image->extractEntry(r.entry, r.longName, target);
            if (result != kResultOk) status = reportFailure(*image, result);
        }
    }
    return status;
}
