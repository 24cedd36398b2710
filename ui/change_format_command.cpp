// Image > Change format...: the tree of the shown image, as it is in memory, copied to a new
// image of the chosen disk type, which then replaces it as a new untitled image.
#include <windows.h>

#include <cstring>
#include <memory>

#include "directory/convert_image.h"
#include "image/disk_types.h"
#include "ui/change_format_dialog.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

void ImageEditor::changeFormatCommand() {
    int current = diskTypeOfLayout(totalSectors(), sectorsPerCluster(), rootEntryCount(),
                                   sectorsPerFat());
    int diskType = chooseNewDiskType(mainWindow, instance, current);
    if (diskType < 0) return;
    auto converted = std::make_unique<VolumeImage>();
    ConvertOutcome outcome;
    // A refusal leaves the shown image as it was, with the reason in the error box.
    if (convertImage(*this, instance, diskType, *converted, &outcome) != kResultOk) {
        showErrorReport();
        return;
    }
    clear();  // the boot code's note is shown below, not as an error
    int answer = askSaveChanges();
    if (answer != IDYES && answer != IDNO) return;
    static_cast<VolumeState&>(*this) = std::move(static_cast<VolumeState&>(*converted));
    walkCursor = WalkCursor();
    currentDirCluster = 0;
    forgetShownFolder();
    modified = 1;
    unsavedEdits = 1;
    hasPath = 0;
    std::memset(imageName, 0, kPathSize);
    std::strcpy(imageName, kUntitledName);
    std::memset(imagePath, 0, kPathSize);
    rebuildViews();
    if (outcome.standardBootCode)
        messageBoxUtf8(mainWindow,
                       "The boot code of the image does not fit the new boot sector; the new "
                       "image has the standard boot code.",
                       "Change format", MB_ICONINFORMATION | MB_OK);
}
