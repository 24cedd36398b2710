// The floppy drive dialog: lists the removable drives that report a floppy media type, runs the
// read or the write of the image on a worker thread and shows its steps until the transfer ends
// the dialog. The record is the editor's; the dialog writes its state into it.
#ifndef TOLVEN_FLOPPY_DIALOG_DRIVE_DIALOG_H
#define TOLVEN_FLOPPY_DIALOG_DRIVE_DIALOG_H

#include <windows.h>

#include <cstdint>

class ImageEditor;

enum DriveDirection : uint32_t { kReadFromFloppy = 0, kWriteToFloppy = 1 };

// Texts of the drive list's entries: "(A:) " and the kind of drive.
const int kDriveEntryTextSize = 100;

class DriveDialog {
public:
    DriveDialog();
    ~DriveDialog();

    void init(HINSTANCE moduleInstance, ImageEditor* editor);
    // Runs the dialog modally over `parent`; returns true once it has ended, whatever happened.
    bool show(HWND parent, uint32_t transferDirection);
    // Appends every removable drive that answers the media type query with a floppy type to the
    // drive list; returns how many were added.
    int discoverDrives();

    ImageEditor* owner;
    HINSTANCE instance;
    HWND window;
    HWND driveList;
    uint32_t direction;
    int32_t chosenIndex;
};

// The worker: reads the chosen entry, runs the transfer (which ends the dialog) and shows the
// error report when it failed. `parameter` is the DriveDialog.
DWORD WINAPI transferThread(void* parameter);

#endif
