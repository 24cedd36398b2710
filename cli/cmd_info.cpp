#include <cstdio>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "directory/volume_facts.h"

// The tree's facts as "name: value" lines; texts from the image have their control characters
// escaped.
int runInfo(int argc, char** argv) {
    static const char kUsage[] = "info IMAGE";
    if (argc != 2) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    VolumeFacts facts = readVolumeFacts(*image);
    std::printf("disk: %s\n", facts.disk.c_str());
    std::printf("oem: %s\n", escapeControls(facts.oemId).c_str());
    std::printf("fstype: %s\n", escapeControls(facts.fileSystem).c_str());
    std::printf("serial: %s\n", facts.serial.c_str());
    for (const auto* figures : {&facts.bootFigures, &facts.fatFigures})
        for (const VolumeFigure& f : *figures) std::printf("%s: %i\n", f.key, f.value);
    std::printf("free_bytes: %lu\n", static_cast<unsigned long>(image->freeBytes()));
    std::printf("label: %s\n", escapeControls(facts.label).c_str());
    return kExitOk;
}
