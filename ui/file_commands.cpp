// The image file commands: the unsaved-changes prompt, Open, Save, Save As, New, the About box
// and the volume label check.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "image/boot_sector.h"
#include "image/volume_label.h"
#include "platform/host_error.h"
#include "platform/host_folder.h"
#include "resources/resource_ids.h"
#include "ui/about_text.h"
#include "ui/file_chooser.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

namespace {

const char kImageExtension[] = "img";

// The Save As types, in the order of kImageSaveFilter's entries.
const ContainerKind kSaveKinds[] = {kContainerRaw, kContainerZip, kContainerGzip,
                                    kContainerImageDisk};

DWORD saveTypeIndex(ContainerKind kind) {
    for (DWORD i = 0; i < sizeof kSaveKinds / sizeof kSaveKinds[0]; ++i)
        if (kSaveKinds[i] == kind) return i + 1;
    return 1;  // a Teledisk image is offered raw
}

}  // namespace

int ImageEditor::askSaveChanges() { return hasUnsavedEdits() ? askToSave() : IDNO; }

bool ImageEditor::commitPendingEdits() {
    HWND list = control(IDC_FILE_LIST);
    HWND edit = list != nullptr
                    ? reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0))
                    : nullptr;
    if (edit != nullptr) {
        // Enter ends the in-place edit as typed: the list reports it (handleLabelEdit) before
        // this returns, and the outcome is shown now rather than after the command.
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        if (!finishRename()) return false;
    }
    return GetFocus() != control(IDC_VOLUME_LABEL) || checkVolumeLabel();
}

void ImageEditor::beginImage(const char* path, const char* title) {
    currentDirCluster = 0;
    forgetShownFolder();  // another image: its root from the top
    hasPath = path != nullptr ? 1 : 0;
    std::snprintf(imagePath, kPathSize, "%s", path != nullptr ? path : "");
    std::snprintf(imageName, kPathSize, "%s", title);
    journal.reset(*this);
}

void ImageEditor::imageSaved() {
    // The save encoded the FATs: that is no edit to undo.
    journal.absorb(*this);
    journal.markSaved();
    updateTitle();
}

int ImageEditor::askToSave() {
    char question[64 + kPathSize];
    std::snprintf(question, sizeof question, "Image \"%s\" has been changed! Do you want to save?",
                  imageName);
    int answer = messageBoxUtf8(mainWindow, question, "Warning", MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES) answer = saveCommand();
    return answer;
}

void ImageEditor::openCommand() {
    int answer = askSaveChanges();
    if (answer != IDYES && answer != IDNO) return;

    FileChooser chooser;
    chooser.setup(kImageFileFilter, kFilterBlockSize, kImageExtension, "Open disk image");
    chooser.startIn(chooserFolders.startFolder(kImageFileChooser, currentImagePath()));
    char path[kPathSize] = {0};
    char title[kPathSize] = {0};
    DWORD error = 0;
    if (!chooser.chooseOpen(mainWindow, path, title, error)) return;
    chooserFolders.remember(kImageFileChooser, hostFolderOf(path));
    openImageFile(path, title);
}

int ImageEditor::saveCommand() {
    // A rename or label being typed is part of what is saved.
    if (!commitPendingEdits()) return IDCANCEL;
    if (editsRefused()) return IDCANCEL;
    char path[kPathSize] = {0};
    char title[kPathSize] = {0};
    ContainerKind kind = container.kind;
    if (hasPath != 0 && !isWritableContainer(kind)) {
        // A Teledisk file is not written: the image goes to a file of a type that is.
        messageBoxUtf8(mainWindow,
                       "Teledisk images are read, not written. Choose a name and a type "
                       "(raw, IMZ, gzip or ImageDisk) to save the image as.",
                       "Save", MB_ICONINFORMATION | MB_OK);
        hasPath = 0;
    }
    if (hasPath == 0) {
        FileChooser chooser;
        chooser.setup(kImageSaveFilter, kFilterBlockSize, kImageExtension, "Save disk image");
        chooser.dialogRecord.nFilterIndex = saveTypeIndex(kind);
        chooser.startIn(chooserFolders.startFolder(kImageFileChooser, currentImagePath()));
        DWORD error = 0;
        if (!chooser.chooseSave(mainWindow, path, title, error)) return IDCANCEL;
        chooserFolders.remember(kImageFileChooser, hostFolderOf(path));
        DWORD type = chooser.dialogRecord.nFilterIndex;
        kind = type >= 1 && type <= sizeof kSaveKinds / sizeof kSaveKinds[0] ? kSaveKinds[type - 1]
                                                                              : kContainerRaw;
    } else {
        std::memcpy(path, imagePath, kPathSize);
        std::memcpy(title, imageName, kPathSize);
    }

    hostForgetFailures();
    int result = saveChecked(path, kind, hasPath != 0);
    if (result == kResultSaveAsWanted) {
        hasPath = 0;
        int answer = saveCommand();
        if (answer != IDYES) hasPath = 1;
        return answer;
    }
    if (result != kResultOk) {
        if (result != kResultCancelled) showErrorReport(path);
        return IDCANCEL;
    }
    std::memcpy(imagePath, path, kPathSize);
    std::memcpy(imageName, title, kPathSize);
    hasPath = 1;
    imageSaved();
    rememberRecent(path);
    return IDYES;
}

void ImageEditor::saveAsCommand() {
    if (editsRefused()) return;
    // Once saved, the image is the chosen file: later Saves go there without asking.
    uint8_t hadPath = hasPath;
    hasPath = 0;
    if (saveCommand() != IDYES) hasPath = hadPath;
}

void ImageEditor::newImageCommand() {
    int answer = askSaveChanges();
    if (answer != IDYES && answer != IDNO) return;
    if (!newImageDialog.show(mainWindow)) return;

    char label[12];
    char oemId[9];
    int result = createImage(instance, newImageDialog.getTypeIndex(),
                             newImageDialog.getLabel(label), newImageDialog.getOemId(oemId));
    if (result == kResultOk) {
        beginImage(nullptr, kUntitledName);
    } else {
        showErrorReport();
    }
    rebuildViews();
}

void ImageEditor::aboutCommand() {
    messageBoxUtf8(mainWindow, kAboutText, "About", MB_ICONINFORMATION | MB_OK);
}

bool ImageEditor::checkVolumeLabel() {
    // The refusal's box takes the focus from the field: that is no second leaving to check.
    if (labelBoxShown) return false;
    HWND field = GetDlgItem(mainWindow, IDC_VOLUME_LABEL);
    // In UTF-8, as the core reads every text: a character beyond ASCII is refused by the rule.
    std::string text = windowTextUtf8(field);
    uint8_t typed[11], shown[11];
    if (readVolumeLabel(text.c_str(), typed) == kLabelInvalid) {
        labelBoxShown = true;
        MessageBoxW(mainWindow, L"Invalid character in volume label!", L"Error", MB_ICONERROR);
        labelBoxShown = false;
        SetFocus(field);
        return false;
    }
    // The field shows the boot sector's label: only a label that reads otherwise is written, so
    // leaving the field unchanged changes nothing.
    char stored[12] = {0};
    std::memcpy(stored, bootSector + bs::kVolumeLabel, 11);
    if (readVolumeLabel(stored, shown) != kLabelInvalid && std::memcmp(typed, shown, 11) == 0)
        return true;
    if (editsRefused()) {
        setWindowTextUtf8(field, stored);
        return true;
    }
    if (setVolumeLabel(text.c_str()) != kResultOk) {
        labelBoxShown = true;
        showErrorReport();
        labelBoxShown = false;
        return false;
    }
    recordEdit();
    fillTree();
    return true;
}
