#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli_common.h"
#include "directory/image_path.h"

int runRm(int argc, char** argv) {
    static const char kUsage[] = "rm IMAGE PATH...";
    if (argc < 3) return usageError(kUsage);
    const char* imagePath = argv[1];
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, imagePath)) return kExitFailure;
    // All paths must name entries before anything is deleted: a failed rm leaves the file as it
    // was. The root is no entry and cannot be deleted.
    int status = kExitOk;
    for (int i = 2; i < argc; ++i) {
        ImagePathEntry e;
        int result = resolveImagePath(*image, argv[i], &e);
        if (result != kImagePathFound) {
            status = reportImagePathError(argv[i], result);
        } else if (e.isRoot) {
            std::fprintf(stderr, "The root folder cannot be deleted!\n");
            status = kExitFailure;
        }
    }
    if (status == kExitOk) {
        for (int i = 2; i < argc; ++i) {
            // Resolved again: an earlier path may have taken this one with it (a folder and a
            // file inside it), and then there is nothing left to delete.
            ImagePathEntry e;
            if (resolveImagePath(*image, argv[i], &e) != kImagePathFound || e.isRoot) continue;
            int result = image->deleteTree(e.entry, e.entryCluster, e.entryIndex, e.longNameCluster,
                                           e.longNameIndex);
            // A refused path leaves the file as it was, whatever went before it.
            if (result != kResultOk && result != kResultNoEntry)
                return reportFailure(*image, result);
        }
        status = saveImage(*image, imagePath);
        // What a deletion kept (clusters another entry also uses) is said once it is saved.
        if (status == kExitOk) printNotes(*image);
    }
    return status;
}
