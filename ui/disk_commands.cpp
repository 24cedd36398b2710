// The two floppy commands of the Disk menu, both through the drive dialog.
#include <windows.h>

#include <string>

#include "ui/drive_dialog.h"
#include "ui/image_editor.h"

void ImageEditor::loadFromDiskCommand() {
    int answer = askSaveChanges();
    if (answer != IDYES && answer != IDNO) return;
    ContainerKind kind = container.kind;
    std::string member = container.member;
    driveDialog.show(mainWindow, kReadFromFloppy);
    // Only a read that ended well replaced the image: an edit of the image named in the title,
    // undone like any other. The folder at the same cluster number is shown again. Save writes
    // it in the container of the file the window names.
    if (driveDialog.transferResult == kResultOk) {
        recordEdit();
        container.kind = kind;
        container.member = member;
    }
    rebuildViews();
    // The report comes after the dialog has gone and the restored image is shown.
    if (driveDialog.transferFailed()) showErrorReport();
}

void ImageEditor::writeToDiskCommand() {
    // No question first, no change mark, nothing to refresh: the image is only read, but for
    // its FATs encoded for the disk, which are no edit.
    driveDialog.show(mainWindow, kWriteToFloppy);
    journal.absorb(*this);
    if (driveDialog.transferFailed()) showErrorReport();
}
