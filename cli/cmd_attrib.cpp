#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/image_path.h"

namespace {

const char kUsage[] = "attrib IMAGE PATH [+r|-r|+h|-h|+s|-s|+a|-a]...";

struct Flag {
    char letter;
    uint8_t bit;
};
const Flag kFlags[] = {{'r', de::kAttrReadOnly},
                       {'h', de::kAttrHidden},
                       {'s', de::kAttrSystem},
                       {'a', de::kAttrArchive}};

// Adds one "+x" or "-x" to the masks; a later flag for the same bit wins. False when unknown.
bool readFlag(const char* text, uint8_t* setBits, uint8_t* clearBits) {
    if ((text[0] != '+' && text[0] != '-') || text[1] == '\0' || text[2] != '\0') return false;
    char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[1])));
    for (const Flag& f : kFlags) {
        if (f.letter != letter) continue;
        uint8_t* on = text[0] == '+' ? setBits : clearBits;
        uint8_t* off = text[0] == '+' ? clearBits : setBits;
        *on = static_cast<uint8_t>(*on | f.bit);
        *off = static_cast<uint8_t>(*off & ~f.bit);
        return true;
    }
    return false;
}

// As `ls` shows them: "d" for folders, then r, a, h, s or "-".
void printAttributes(const ImagePathEntry& e, const std::string& spelled) {
    char letters[5];
    attributeLetters(e.entry[de::kAttributes], letters);
    std::printf("%c%s %s\n", isFolderEntry(e.entry) ? 'd' : '-', letters,
                escapeControls(spelled).c_str());
}

}  // namespace

int runAttrib(int argc, char** argv) {
    if (argc < 3) return usageError(kUsage);
    uint8_t setBits = 0, clearBits = 0;
    for (int i = 3; i < argc; ++i)
        if (!readFlag(argv[i], &setBits, &clearBits)) return usageError(kUsage);
    const char* imagePath = argv[1];
    auto image = std::make_unique<VolumeImage>();
    int status = kExitFailure;
    if (loadImage(*image, imagePath)) {
        ImagePathEntry e;
        std::string spelled;
        int resolved = resolveImagePath(*image, argv[2], &e, &spelled);
        if (resolved != kImagePathFound) {
            status = reportImagePathError(argv[2], resolved);
        } else if (e.isRoot) {
            std::fprintf(stderr, "The root folder has no attributes!\n");
        } else if (argc == 3) {
            printAttributes(e, spelled);
            status = kExitOk;
        } else {
            int result = image->setAttributes(e.entryCluster, e.entryIndex, setBits, clearBits);
            status = result == kResultOk ? saveImage(*image, imagePath)
                                         : reportFailure(*image, result);
        }
    }
    return status;
}
