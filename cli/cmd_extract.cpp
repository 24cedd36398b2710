#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/cli_common.h"
#include "directory/image_path.h"

namespace {

// The records of one folder, as the window's list holds them: the entry and its list name (the
// long name, else the 8.3 display name). Taken whole before extracting, because extraction walks
// with the image's cursor.
struct ListRecord {
    uint8_t entry[de::kSize];
    uint16_t name[kLongNameUnits];
};

ListRecord listRecord(const WalkedEntry& e) {
    ListRecord r;
    std::memcpy(r.entry, e.entry, sizeof r.entry);
    if (e.longName[0] != 0) std::memcpy(r.name, e.longName, sizeof r.name);
    else shortDisplayName(r.entry, r.name);
    return r;
}

std::vector<ListRecord> readRecords(VolumeImage& image, uint16_t folder) {
    std::vector<ListRecord> records;
    forEachEntry(image, folder, [&](const WalkedEntry& e) { records.push_back(listRecord(e)); });
    return records;
}

}  // namespace

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
    std::vector<ListRecord> records;
    int status = kExitOk;
    if (paths.empty()) records = readRecords(*image, 0);
    for (const char* path : paths) {
        ImagePathEntry e;
        int result = resolveImagePath(*image, path, &e);
        if (result != kImagePathFound) {
            status = reportImagePathError(path, result);
        } else if (e.isRoot) {
            std::vector<ListRecord> all = readRecords(*image, 0);
            records.insert(records.end(), all.begin(), all.end());
        } else {
            records.push_back(listRecord(e));
        }
    }
    if (status == kExitOk) {
        int first = kResultOk;
        for (const ListRecord& r : records) {
            int result = image->extractEntry(r.entry, r.name, target);
            if (first == kResultOk) first = result;
        }
        if (first != kResultOk) status = reportFailure(*image, first);
    }
    return status;
}
