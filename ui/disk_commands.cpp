// The two floppy commands of the Disk menu, both through the drive dialog.
#include <windows.h>

#include "floppy/dialog/drive_dialog.h"
#include "ui/image_editor.h"

void ImageEditor::loadFromDiskCommand() {
    int answer = askSaveChanges();
    if (answer != IDYES && answer != IDNO) return;
    driveDialog.show(mainWindow, kReadFromFloppy);
    // Whatever happened in the dialog (read, failed, cancelled, never started), the image counts
    // as changed; the folder at the same cluster number is shown again.
    modified = 1;
    rebuildViews();
}

void ImageEditor::writeToDiskCommand() {
    // No question first, no change mark, nothing to refresh: the image is only read.
    driveDialog.show(mainWindow, kWriteToFloppy);
}
