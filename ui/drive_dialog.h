// The floppy drive dialog: lists the removable drives that report a floppy media type (internal
// and USB drives, with a disk or without), asks for a disk when the chosen drive has none, offers
// to write without formatting when the disk already has the image's geometry, runs the read or
// the write of the image on a worker thread and shows its steps until the transfer ends the
// dialog. The record is the editor's; the dialog writes its state into it and knows the
// editor only as the image it transfers. The dialog is the transfer's sink: steps come as
// WM_TRANSFER_PROGRESS, the end as WM_TRANSFER_ENDED.
#ifndef TOLVEN_UI_DRIVE_DIALOG_H
#define TOLVEN_UI_DRIVE_DIALOG_H

#include <windows.h>

#include <cstdint>

#include "floppy/transfer_sink.h"
#include "floppy/write_floppy.h"
#include "image/volume_image.h"

class VolumeImage;

// Sent by the transfer for each step (synchronously: the worker waits until the dialog has taken
// the text and percentage); wParam and lParam 0.
#define WM_TRANSFER_PROGRESS (WM_USER + 10)
// Posted by the transfer's closing step, the result in wParam: the dialog ends itself on its own
// thread.
#define WM_TRANSFER_ENDED (WM_USER + 11)

enum DriveDirection : uint32_t { kReadFromFloppy = 0, kWriteToFloppy = 1 };

// Texts of the drive list's entries: "(A:) " and the kind of drive.
const int kDriveEntryTextSize = 100;

class DriveDialog {
public:
    DriveDialog();
    ~DriveDialog();

    void init(HINSTANCE moduleInstance, VolumeImage* editor);
    // Runs the dialog modally over `parent`; returns true once it has ended, whatever happened.
    // The transfer's result is then in transferResult (200, as cancelled, when none ran).
    bool show(HWND parent, uint32_t transferDirection);
    // True when the last transfer failed, so its queued messages are to be shown.
    bool transferFailed() const;
    // Appends every removable drive that reports a floppy media type to the drive list; returns
    // how many were added. Drives are opened for their queries only: no disk, no rights needed.
    int discoverDrives();

    VolumeImage* owner;  // the editor's image
    HINSTANCE instance;
    HWND window;
    HWND driveList;
    uint32_t direction;
    int32_t chosenIndex;
    FloppyWriteMode writeMode;  // chosen with the start of a write
    int32_t transferResult;
    TransferSink sink;  // the dialog's window, for the transfer on the worker thread
};

// The worker: reads the chosen entry and runs the transfer, which ends the dialog through its
// sink. `parameter` is the DriveDialog.
DWORD WINAPI transferThread(void* parameter);

#endif
