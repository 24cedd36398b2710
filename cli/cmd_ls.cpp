#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/image_path.h"
#include "directory/undelete.h"
#include "image/boot_sector.h"
#include "platform/host_text.h"

namespace {

// Deeper folders than this are not listed: a damaged image could otherwise nest without end, and
// no host path could name them anyway.
const int kMaxListDepth = 255;

struct Lister {
    VolumeImage* image;
    bool recursive;
    bool deleted;                     // lists deleted entries instead
    std::string path;                 // of the folder being listed, "" for the root
    std::vector<bool> listedFolders;  // by first cluster: a cycle or cross-link is listed once
};

void printLine(const uint8_t* entry, const std::string& path, const char* state = "") {
    char letters[5];
    attributeLetters(entry[de::kAttributes], letters);
    uint16_t date = readLe16(entry + de::kDate);
    uint16_t time = readLe16(entry + de::kTime);
    std::printf("%c%s %u %04u-%02u-%02u %02u:%02u:%02u %s%s\n", isFolderEntry(entry) ? 'd' : '-',
                letters, static_cast<unsigned>(readLe32(entry + de::kFileSize)),
                1980u + (date >> 9), (date >> 5) & 15u, date & 31u,
                static_cast<unsigned>(time >> 11), (time >> 5) & 63u, (time & 31u) * 2, state,
                escapeControls(path).c_str());
}

bool tooDeep(const std::string& path, int depth) {
    if (depth < kMaxListDepth) return false;
    std::fprintf(stderr, "Folder \"%s\" nested too deep, not listed!\n",
                 escapeControls(path).c_str());
    return true;
}

void listFolder(Lister& l, uint16_t folder, int depth);

// The deleted entries of a folder; with -r also those inside deleted folders whose own chain is
// still free, and (from a live folder) inside its live folders.
void listDeletedFolder(Lister& l, uint16_t folder, bool deletedFolder, int depth) {
    for (const DeletedEntry& d : listDeleted(*l.image, folder, deletedFolder)) {
        std::string path = l.path + "/" + deletedEntryName(d);
        printLine(d.entry, path, d.recoverable ? "recoverable " : "overwritten ");
        if (!l.recursive || !isFolderEntry(d.entry) || !d.recoverable ||
            l.listedFolders[d.chain[0]] || tooDeep(path, depth))
            continue;
        l.listedFolders[d.chain[0]] = true;
        std::string outer = l.path;
        l.path = path;
        listDeletedFolder(l, d.chain[0], true, depth + 1);
        l.path = outer;
    }
    if (!deletedFolder && l.recursive) listFolder(l, folder, depth);
}

void listFolder(Lister& l, uint16_t folder, int depth) {
    forEachEntry(*l.image, folder, [&](const WalkedEntry& e) {
        if (isDotEntry(e.entry)) return;
        std::string path = l.path + "/" + imageEntryName(e.entry, e.longName);
        if (!l.deleted) printLine(e.entry, path);
        uint16_t content = folderContentCluster(*l.image, e.entry);
        if (!l.recursive || !isFolderEntry(e.entry) || content == kNoContent ||
            l.listedFolders[content])
            return;
        if (tooDeep(path, depth)) return;
        l.listedFolders[content] = true;
        std::string outer = l.path;
        l.path = path;
        if (l.deleted) listDeletedFolder(l, content, false, depth + 1);
        else listFolder(l, content, depth + 1);
        l.path = outer;
    });
}

}  // namespace

int runLs(int argc, char** argv) {
    static const char kUsage[] = "ls IMAGE [PATH] [-r] [--deleted]";
    const char* imagePath = nullptr;
    const char* path = "";
    bool recursive = false, deleted = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-r") == 0) recursive = true;
        else if (std::strcmp(argv[i], "--deleted") == 0) deleted = true;
        else if (argv[i][0] == '-' && argv[i][1] != '\0') return usageError(kUsage);
        else if (positional == 0 && ++positional) imagePath = argv[i];
        else if (positional == 1 && ++positional) path = argv[i];
        else return usageError(kUsage);
    }
    if (imagePath == nullptr) return usageError(kUsage);

    auto image = std::make_unique<VolumeImage>();
    int status = kExitOk;
    if (!loadImage(*image, imagePath)) {
        status = kExitFailure;
    } else {
        ImagePathEntry target;
        std::string spelled;
        int result = resolveImagePath(*image, path, &target, &spelled);
        Lister l{image.get(), recursive, deleted, spelled, std::vector<bool>(kFatTableEntries + 1, false)};
        if (result != kImagePathFound) {
            status = reportImagePathError(path, result);
        } else if (!target.isRoot && !isFolderEntry(target.entry)) {
            if (!deleted) printLine(target.entry, spelled);
        } else if (target.contentCluster != kNoContent) {
            if (target.contentCluster != 0) l.listedFolders[target.contentCluster] = true;
            if (deleted) listDeletedFolder(l, target.contentCluster, false, 0);
            else listFolder(l, target.contentCluster, 0);
        }
    }
    return status;
}
