// The drive dialog (template 117), drive discovery through the floppy device seam, the worker
// thread that runs one transfer, and the dialog's transfer sink. The transfer itself ends the
// dialog (its closing step posts the end); the dialog only starts it, shows its steps and passes
// Cancel on. The editor's command shows the error report once the dialog has gone.
#include "ui/drive_dialog.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "floppy/disk_probe.h"
#include "floppy/floppy_device.h"
#include "image/volume_image.h"
#include "resources/resource_ids.h"
#include "ui/wide_text.h"

namespace {

// Set when the dialog initialises; the progress handler does nothing before.
DriveDialog* g_dialog = nullptr;
VolumeImage* g_owner = nullptr;

enum DriveImage { kImage35 = 0, kImage525 = 1 };

struct DriveKind {
    uint32_t mediaType;
    const char* text;
    int image;
};

const char k525Text[] = "5.25\" Floppy Drive";
const char k35Text[] = "3.5\" Floppy Drive";

// Media types not in the table (F3_20Pt8_512, F5_320_1024, Unknown, anything above 10) leave
// the drive out.
const DriveKind kDriveKinds[] = {
    {kMediaF5_1Pt2_512, k525Text, kImage525}, {kMediaF5_360_512, k525Text, kImage525},
    {kMediaF5_320_512, k525Text, kImage525},  {kMediaF5_180_512, k525Text, kImage525},
    {kMediaF5_160_512, k525Text, kImage525},  {kMediaF3_1Pt44_512, k35Text, kImage35},
    {kMediaF3_2Pt88_512, k35Text, kImage35},  {kMediaF3_720_512, k35Text, kImage35},
};

const DriveKind* kindOf(uint32_t mediaType) {
    for (const DriveKind& kind : kDriveKinds)
        if (kind.mediaType == mediaType) return &kind;
    return nullptr;
}

const int kDriveStringsSize = 500;

// The drive of list entry `index`: "(A:) ..." names drive "A:". False when the entry has no text.
bool entryDriveName(HWND list, int index, char* name) {
    wchar_t text[kDriveEntryTextSize];
    std::memset(text, 0, sizeof text);
    COMBOBOXEXITEMW item;
    std::memset(&item, 0, sizeof item);
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = text;
    item.cchTextMax = kDriveEntryTextSize - 1;
    if (SendMessageW(list, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) <= 0) return false;
    name[0] = static_cast<char>(text[1]);  // a drive letter and its colon: ASCII
    name[1] = static_cast<char>(text[2]);
    name[2] = '\0';
    return true;
}

// A read has no option: its box goes, and the buttons move up into its place.
void dropWriteOption(HWND window) {
    HWND option = GetDlgItem(window, IDC_DRIVE_NO_FORMAT);
    RECT box, start, dialog;
    GetWindowRect(option, &box);
    GetWindowRect(GetDlgItem(window, IDC_DRIVE_START), &start);
    int shift = start.top - box.top;
    ShowWindow(option, SW_HIDE);
    for (int id : {IDC_DRIVE_START, IDC_DRIVE_CANCEL}) {
        HWND button = GetDlgItem(window, id);
        RECT r;
        GetWindowRect(button, &r);
        POINT at = {r.left, r.top - shift};
        ScreenToClient(window, &at);
        SetWindowPos(button, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    GetWindowRect(window, &dialog);
    SetWindowPos(window, nullptr, 0, 0, dialog.right - dialog.left,
                 dialog.bottom - dialog.top - shift, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Writing without formatting is offered only while the chosen drive's disk already has the
// image's geometry (for drives that cannot format); otherwise the box is cleared and disabled.
void offerWriteWithoutFormat(DriveDialog* dialog) {
    if (dialog->direction != kWriteToFloppy) return;
    int index = static_cast<int>(SendMessageW(dialog->driveList, CB_GETCURSEL, 0, 0));
    char name[3];
    bool fits = index >= 0 && entryDriveName(dialog->driveList, index, name) &&
                checkDiskInDrive(name, *dialog->owner) == kDiskOfImageFormat;
    if (!fits) CheckDlgButton(dialog->window, IDC_DRIVE_NO_FORMAT, BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog->window, IDC_DRIVE_NO_FORMAT), fits);
}

// Drives are listed without a disk; the disk is asked for when a transfer is to start. False
// when the user gives up.
bool askForDisk(DriveDialog* dialog) {
    char name[3];
    if (!entryDriveName(dialog->driveList, dialog->chosenIndex, name)) return true;
    while (checkDiskInDrive(name, *dialog->owner) == kNoDiskInDrive) {
        char text[100];
        std::snprintf(text, sizeof text,
                      "Drive %s has no disk! Insert a floppy disk and press Retry.", name);
        if (messageBoxUtf8(dialog->window, text, "Insert disk", MB_RETRYCANCEL | MB_ICONWARNING) !=
            IDRETRY)
            return false;
    }
    return true;
}

// The sink, called on the worker thread. The window is set before the worker starts.
void sendStep(void* context) {
    SendMessageW(static_cast<DriveDialog*>(context)->window, WM_TRANSFER_PROGRESS, 0, 0);
}

// EndDialog belongs to the dialog's own thread: the end is posted, and the dialog ends itself.
void postEnd(void* context, int result) {
    PostMessageW(static_cast<DriveDialog*>(context)->window, WM_TRANSFER_ENDED,
                 static_cast<WPARAM>(result), 0);
}

void initDialog(HWND window, DriveDialog* dialog) {
    g_dialog = dialog;
    g_owner = dialog->owner;
    dialog->window = window;
    dialog->sink = TransferSink{sendStep, postEnd, dialog};
    g_owner->setNotifyTarget(&dialog->sink, 1);

    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 2, 0);
    ImageList_ReplaceIcon(images, -1, LoadIconW(dialog->instance, MAKEINTRESOURCEW(IDI_DRIVE_35)));
    ImageList_ReplaceIcon(images, -1, LoadIconW(dialog->instance, MAKEINTRESOURCEW(IDI_DRIVE_525)));
    dialog->driveList = CreateWindowExW(0, WC_COMBOBOXEXW, L"",
                                        WS_CHILD | WS_VISIBLE | WS_BORDER | CBS_DROPDOWNLIST, 0, 0,
                                        0, 150, window, nullptr, dialog->instance, nullptr);
    SendMessageW(dialog->driveList, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));

    bool reading = dialog->direction == kReadFromFloppy;
    SetWindowTextW(window,
                   reading ? L"Read image from floppy disk" : L"Write image to floppy disk");
    SetWindowTextW(GetDlgItem(window, IDC_DRIVE_START), reading ? L"Read" : L"Write");
    SetFocus(GetDlgItem(window, IDC_DRIVE_START));
    if (reading) dropWriteOption(window);

    if (dialog->discoverDrives() <= 0) {
        MessageBoxW(window, L"No floppy drives found!", L"Error", MB_ICONERROR);
        EndDialog(window, 1);
        return;
    }
    SetWindowPos(dialog->driveList, nullptr, 15, 15, 263, 120, SWP_NOACTIVATE);
    SendMessageW(dialog->driveList, CB_SETCURSEL, 0, 0);
    offerWriteWithoutFormat(dialog);
}

void startTransfer(DriveDialog* dialog) {
    dialog->chosenIndex = static_cast<int32_t>(SendMessageW(dialog->driveList, CB_GETCURSEL, 0, 0));
    if (dialog->chosenIndex == -1 || !askForDisk(dialog)) return;
    offerWriteWithoutFormat(dialog);  // the disk may have changed since the drive was chosen
    dialog->writeMode = IsDlgButtonChecked(dialog->window, IDC_DRIVE_NO_FORMAT) == BST_CHECKED
                            ? kWriteWithoutFormat
                            : kFormatThenWrite;
    EnableWindow(dialog->driveList, FALSE);
    EnableWindow(GetDlgItem(dialog->window, IDC_DRIVE_START), FALSE);
    EnableWindow(GetDlgItem(dialog->window, IDC_DRIVE_NO_FORMAT), FALSE);
    HANDLE thread = CreateThread(nullptr, 0, transferThread, dialog, 0, nullptr);
    if (thread == nullptr) {
        // No worker, so no transfer would ever end the dialog and its controls would stay
        // disabled: the transfer's closing step runs here instead, as a failure.
        failUnstartedTransfer(*dialog->owner);
        return;
    }
    // Nobody waits for the worker: it runs detached.
    CloseHandle(thread);
}

void cancelOrClose(DriveDialog* dialog) {
    // The drive list's enabled state is the one record of whether a transfer has started.
    if (IsWindowEnabled(dialog->driveList)) {
        EndDialog(dialog->window, 1);
        return;
    }
    // The transfer stops at its next check point and ends the dialog itself.
    dialog->owner->requestStop();
}

void showProgress(HWND window) {
    if (g_owner == nullptr) return;
    char text[kStatusTextSize];
    g_owner->copyStatusText(text);
    HWND stepText = GetDlgItem(window, IDC_DRIVE_STEP_TEXT);
    HWND bar = GetDlgItem(window, IDC_DRIVE_PROGRESS);
    setWindowTextUtf8(stepText, text);
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(g_owner->progressPercent()), 0);
    InvalidateRect(stepText, nullptr, TRUE);
    InvalidateRect(bar, nullptr, TRUE);
}

// Returns FALSE for every message, WM_INITDIALOG included, so the dialog manager sets no focus of
// its own. The cancel id that Escape produces belongs to no control here and does nothing.
INT_PTR CALLBACK driveDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: initDialog(window, reinterpret_cast<DriveDialog*>(lParam)); break;
    case WM_COMMAND:
        if (g_dialog == nullptr) break;
        if (reinterpret_cast<HWND>(lParam) == g_dialog->driveList &&
            HIWORD(wParam) == CBN_SELCHANGE)
            offerWriteWithoutFormat(g_dialog);
        else if (LOWORD(wParam) == IDC_DRIVE_START) startTransfer(g_dialog);
        else if (LOWORD(wParam) == IDC_DRIVE_CANCEL) cancelOrClose(g_dialog);
        break;
    case WM_CLOSE:
        if (g_dialog != nullptr) cancelOrClose(g_dialog);
        break;
    case WM_TRANSFER_PROGRESS: showProgress(window); break;
    case WM_TRANSFER_ENDED:
        if (g_dialog != nullptr) g_dialog->transferResult = static_cast<int32_t>(wParam);
        EndDialog(window, 1);
        break;
    case WM_DESTROY: {
        // The drive list does not own the image list it was given.
        HWND list = g_dialog != nullptr ? g_dialog->driveList : nullptr;
        HIMAGELIST images = list != nullptr ? reinterpret_cast<HIMAGELIST>(
                                                  SendMessageW(list, CBEM_GETIMAGELIST, 0, 0))
                                            : nullptr;
        if (images != nullptr) ImageList_Destroy(images);
        break;
    }
    default: break;
    }
    return FALSE;
}

}  // namespace

DriveDialog::DriveDialog()
    : owner(nullptr),
      instance(nullptr),
      window(nullptr),
      driveList(nullptr),
      direction(0),
      chosenIndex(0),
      writeMode(kFormatThenWrite),
      transferResult(kResultOk),
      sink{nullptr, nullptr, nullptr} {}

DriveDialog::~DriveDialog() {}

void DriveDialog::init(HINSTANCE moduleInstance, VolumeImage* editor) {
    instance = moduleInstance;
    owner = editor;
}

bool DriveDialog::show(HWND parent, uint32_t transferDirection) {
    direction = transferDirection;
    chosenIndex = 0;
    writeMode = kFormatThenWrite;
    // Until a transfer reports its end, nothing ran: as after a cancel, nothing changed.
    transferResult = kResultCancelled;
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_DRIVE), parent, driveDialogProc,
                    reinterpret_cast<LPARAM>(this));
    return true;
}

bool DriveDialog::transferFailed() const {
    return transferResult != kResultOk && transferResult != kResultCancelled;
}

int DriveDialog::discoverDrives() {
    char roots[kDriveStringsSize];
    std::memset(roots, 0, sizeof roots);
    floppyLogicalDriveStrings(roots, sizeof roots);
    int count = 0;
    // The buffer is zeroed and one byte longer than what is walked, so the walk always meets an
    // empty string, also when the list was cut short.
    for (const char* root = roots; root < roots + sizeof roots - 1 && *root != '\0';
         root += std::strlen(root) + 1) {
        if (floppyDriveType(root) != kDriveRemovable) continue;
        char name[8];
        size_t length = std::strlen(root);
        if (length < 2 || length >= sizeof name) continue;
        std::memcpy(name, root, length - 1);  // "A:\" becomes "A:"
        name[length - 1] = '\0';

        FloppyDevice device;
        if (!device.open(name, kFloppyQueryAccess)) continue;
        MediaGeometry records[kMaxMediaRecords];
        std::memset(records, 0, sizeof records);
        bool moreData = false;
        // A drive that knows more media types than fit fills the list and reports more data.
        bool answered = device.queryMediaTypes(records, kMaxMediaRecords, &moreData) || moreData;
        // The first floppy type in the list names the drive: a USB drive may report others (a
        // 120 MB medium, a 3-mode format) before its 1.44 MB and 720 KB ones.
        const DriveKind* kind = nullptr;
        for (int r = 0; answered && kind == nullptr && r < kMaxMediaRecords; ++r)
            kind = kindOf(records[r].mediaType);
        if (kind != nullptr) {
            char text[kDriveEntryTextSize];
            std::snprintf(text, sizeof text, "(%s) %s", name, kind->text);
            std::wstring wide = wideText(text);
            COMBOBOXEXITEMW item;
            std::memset(&item, 0, sizeof item);
            item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT;
            item.iItem = count;
            item.pszText = &wide[0];
            item.cchTextMax = kDriveEntryTextSize;
            item.iImage = kind->image;
            item.iSelectedImage = kind->image;
            item.iIndent = 0;
            SendMessageW(driveList, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            ++count;
        }
        device.close();
    }
    return count;
}

DWORD WINAPI transferThread(void* parameter) {
    DriveDialog* dialog = static_cast<DriveDialog*>(parameter);
    VolumeImage* editor = dialog->owner;

    char driveName[3];
    if (!entryDriveName(dialog->driveList, dialog->chosenIndex, driveName)) {
        // No drive to run a transfer on, and nothing else would end the dialog: its closing step
        // ends it, as a failure.
        failUnstartedTransfer(*editor);
        return 0;
    }

    // The transfer's closing step posts the end to the dialog; nothing of the image is touched
    // here afterwards, so the next command may run while this thread winds down.
    if (dialog->direction == kReadFromFloppy) editor->readFromFloppy(driveName);
    else editor->writeToFloppy(driveName, dialog->writeMode);
    return 0;
}
