#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/extract.h"
#include "directory/image_path.h"
#include "directory/undelete.h"
#include "platform/host_text.h"

namespace {

struct DeletedTarget {
    uint16_t folder;
    std::string parentPath;  // as the image spells it, "" for the root
    DeletedEntry entry;
};

// PATH as `ls --deleted` prints it: live folders down to a deleted entry, named by its long name
// or its 8.3 name with "?" for the lost character. The first deleted entry of the name is taken.
int findDeleted(VolumeImage& image, const char* path, DeletedTarget* out) {
    char last[1024];
    int result = resolveImageParent(image, path, &out->folder, last, sizeof last);
    if (result != kImagePathFound) return result;
    std::string parent(path);
    while (!parent.empty() && (parent.back() == '/' || parent.back() == '\\')) parent.pop_back();
    parent.resize(parent.size() - std::strlen(last));
    ImagePathEntry spelled;
    resolveImagePath(image, parent.c_str(), &spelled, &out->parentPath);
    uint16_t wide[kLongNameUnits + 1];
    if (hostTextToUtf16(last, wide, kLongNameUnits + 1) <= 0) return kImagePathBadName;
    if (out->folder == kNoContent) return kImagePathNotFound;
    for (const DeletedEntry& d : listDeleted(image, out->folder)) {
        if (!deletedNameMatches(d, wide)) continue;
        out->entry = d;
        return kImagePathFound;
    }
    return kImagePathNotFound;
}

const char* lineText(UndeleteLine::Kind kind) {
    switch (kind) {
    case UndeleteLine::kRecovered: return "recovered";
    case UndeleteLine::kGivenUnderscore: return "recovered (first character unknown, given _)";
    case UndeleteLine::kPartial: return "partial (clusters taken, only what could be read)";
    case UndeleteLine::kLeftOverwritten: return "left deleted (clusters taken)";
    case UndeleteLine::kLeftNameTaken: return "left deleted (name taken)";
    }
    return "";
}

// Copies the recovered entry at the location out of the (scratch) image into `folder`.
int copyOut(VolumeImage& image, uint16_t parent, int32_t cluster, int32_t index,
            const char* folder, ExtractJob* job) {
    int result = kResultNoEntry;
    forEachEntry(image, parent, [&](const WalkedEntry& e) {
        if (e.entryCluster != cluster || e.entryIndex != index) return false;
        result = image.extractEntry(e.entry, e.longName, folder, job);
        return true;
    });
    return result;
}

}  // namespace

int runUndelete(int argc, char** argv) {
    static const char kUsage[] = "undelete IMAGE PATH... [--first-char C] [--to DIR]";
    const char* imagePath = nullptr;
    const char* to = nullptr;
    uint8_t firstByte = 0;
    std::vector<const char*> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--first-char") == 0 && i + 1 < argc) {
            ++i;
            firstByte = std::strlen(argv[i]) == 1 ? firstByteFromChar(argv[i][0]) : 0;
            if (firstByte == 0) {
                std::fprintf(stderr, "An 8.3 name cannot begin with \"%s\"!\n",
                             escapeControls(argv[i]).c_str());
                return kExitUsage;
            }
        } else if (std::strcmp(argv[i], "--to") == 0 && i + 1 < argc) {
            to = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return usageError(kUsage);
        } else if (imagePath == nullptr) {
            imagePath = argv[i];
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (imagePath == nullptr || paths.empty()) return usageError(kUsage);
    // Copying out names a file by something the host can hold where its first character is lost.
    if (to != nullptr && firstByte == 0) firstByte = '_';

    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, imagePath)) return kExitFailure;
    // Every path must name a deleted entry before anything is recovered.
    int status = kExitOk;
    for (const char* path : paths) {
        DeletedTarget t;
        int result = findDeleted(*image, path, &t);
        if (result != kImagePathFound) status = reportImagePathError(path, result);
    }
    if (status != kExitOk) return status;

    std::vector<UndeleteLine> lines;
    ExtractJob job;
    for (const char* path : paths) {
        // Found again: an earlier path may have recovered this one with its folder.
        DeletedTarget t;
        if (findDeleted(*image, path, &t) != kImagePathFound) continue;
        int32_t cluster = -1, index = -1;
        int result = undeleteEntry(*image, t.folder, t.entry, firstByte, to != nullptr,
                                   t.parentPath, &lines, &cluster, &index);
        if (result == kResultOk && to != nullptr)
            result = copyOut(*image, t.folder, cluster, index, to, &job);
        if (result != kResultOk) return reportFailure(*image, result, to);
    }
    // Copying out leaves the image alone: the recovery happened in memory only.
    if (to == nullptr) {
        status = saveImage(*image, imagePath);
        if (status != kExitOk) return status;
    }
    for (const UndeleteLine& line : lines)
        std::printf("%s %s\n", lineText(line.kind), escapeControls(line.path).c_str());
    for (const std::string& renamed : job.renamed)
        std::printf("%s\n", escapeControls(renamed).c_str());
    return kExitOk;
}
