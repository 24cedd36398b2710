// What the window's information tree and `tolven-cli info` tell about a volume: the disk, the boot
// sector's fields and the FAT's counts, read in one place so that the two always agree.
#ifndef TOLVEN_DIRECTORY_VOLUME_FACTS_H
#define TOLVEN_DIRECTORY_VOLUME_FACTS_H

#include <string>
#include <vector>

#include "image/volume_image.h"

// One number of the volume: its name in `tolven-cli info` and its line in the tree (a printf
// format taking the value).
struct VolumeFigure {
    const char* key;     // "heads"
    const char* format;  // "%i heads"
    int value;
};

struct VolumeFacts {
    std::string disk;  // "3.5\" Floppy Disk - 1440KB"
    bool threeAndHalfInch;
    // The boot sector's text fields with their trailing blanks, OEM bytes in UTF-8.
    std::string oemId;
    std::string fileSystem;
    std::string label;
    std::string serial;                     // "1234-ABCD"
    std::vector<VolumeFigure> bootFigures;  // the BIOS Parameter Block, heads to root entries
    std::vector<VolumeFigure> fatFigures;   // used, reserved, bad, free clusters; fragmentation
};

// Walks the tree once (clusterOwners) for the fragmented files.
VolumeFacts readVolumeFacts(VolumeImage& image);

#endif
