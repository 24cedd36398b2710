#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/oem_text.h"
#include "platform/host_text.h"

// Prints the label of the root's label entry without its trailing blanks (OEM bytes in UTF-8,
// control characters escaped), or an empty line when the volume has none.
static void printLabel(const VolumeImage& image) {
    uint8_t label[11];
    uint16_t units[12] = {};
    if (image.readLabelEntry(label)) {
        int n = 11;
        while (n > 0 && label[n - 1] == ' ') --n;
        for (int i = 0; i < n; ++i) units[i] = oemByteToUnit(label[i]);
    }
    char text[12 * 3 + 1];
    utf16ToUtf8(units, 11, text, sizeof text);
    std::printf("%s\n", escapeControls(text).c_str());
}

int runLabel(int argc, char** argv) {
    static const char kUsage[] = "label IMAGE [LABEL]";
    if (argc != 2 && argc != 3) return usageError(kUsage);
    const char* imagePath = argv[1];
    auto image = std::make_unique<VolumeImage>();
    int status = kExitFailure;
    if (loadImage(*image, imagePath)) {
        if (argc == 2) {
            printLabel(*image);
            status = kExitOk;
        } else {
            int result = image->setVolumeLabel(argv[2]);
            status = result == kResultOk ? saveImage(*image, imagePath)
                                         : reportFailure(*image, result);
        }
    }
    return status;
}
