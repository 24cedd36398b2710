// Change of format: a new image of another disk type holding the same tree as an open one.
#ifndef TOLVEN_DIRECTORY_CONVERT_IMAGE_H
#define TOLVEN_DIRECTORY_CONVERT_IMAGE_H

#include "image/volume_image.h"
#include "platform/boot_template.h"

struct ConvertOutcome {
    // The source's boot code could not be kept (no signature, or code that starts inside the new
    // boot sector's parameter block): the new image has the template's, and a message says so.
    bool standardBootCode = false;
};

// Makes `target` a new image of disk type `diskType` (image/disk_types.h) holding the tree of
// `source`: every file and folder with its long and 8.3 names (byte 12's case flags included),
// attributes, creation, access and write times, and contents; the root's label entry and the
// label, OEM ID and serial number of the boot sector; the boot code when the new boot sector can
// take it. Files and folders are laid out in contiguous chains in walk order. A file whose chain
// is shorter than its size keeps what its chain holds; a folder met a second time (a cross-linked
// or cyclic tree) becomes an empty folder.
// 0; 500 no boot sector template; 600 the contents need more clusters than the type has, 610 the
// root entries do not fit its root, 650 folders nested deeper than kMaxInsertDepth, each with one
// message; `target` is then to be dropped. Every message (the boot code's too) is queued on
// `source`, the image the user works on; its volume is only read (the walker's cursor is put
// back).
int convertImage(VolumeImage& source, ModuleHandle module, int diskType, VolumeImage& target,
                 ConvertOutcome* outcome = nullptr);

#endif
