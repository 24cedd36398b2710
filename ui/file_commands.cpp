// The image file commands: the unsaved-changes prompt, Open, Save, Save As, New, the About box
// and the volume label check.
#include <windows.h>

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

}  // namespace

int ImageEditor::askSaveChanges() { return modified == 1 ? askToSave() : IDNO; }

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
    // A label being typed is part of what is saved.
    if (GetFocus() == control(IDC_VOLUME_LABEL) && !checkVolumeLabel()) return IDCANCEL;
    char path[kPathSize] = {0};
    char title[kPathSize] = {0};
    if (hasPath == 0) {
        FileChooser chooser;
        chooser.setup(kImageFileFilter, kFilterBlockSize, kImageExtension, "Save disk image");
        chooser.startIn(chooserFolders.startFolder(kImageFileChooser, currentImagePath()));
        DWORD error = 0;
        if (!chooser.chooseSave(mainWindow, path, title, error)) return IDCANCEL;
        chooserFolders.remember(kImageFileChooser, hostFolderOf(path));
    } else {
        std::memcpy(path, imagePath, kPathSize);
        std::memcpy(title, imageName, kPathSize);
    }

    hostForgetFailures();
    int result = saveImageFile(path);
    if (result != kResultOk) {
        if (result != kResultCancelled) showErrorReport(path);
        return IDCANCEL;
    }
    std::memcpy(imagePath, path, kPathSize);
    std::memcpy(imageName, title, kPathSize);
    modified = 0;
    unsavedEdits = 0;
    hasPath = 1;
    updateTitle();
    return IDYES;
}

void ImageEditor::saveAsCommand() {
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
        currentDirCluster = 0;
        forgetShownFolder();
        modified = 1;
        unsavedEdits = 0;
        hasPath = 0;
        std::memset(imageName, 0, kPathSize);
        std::strcpy(imageName, kUntitledName);
        std::memset(imagePath, 0, kPathSize);
    } else {
        showErrorReport();
    }
    rebuildViews();
}

void ImageEditor::aboutCommand() {
    messageBoxUtf8(mainWindow, kAboutText, "About", MB_ICONINFORMATION | MB_OK);
}

bool ImageEditor::checkVolumeLabel() {
    HWND field = GetDlgItem(mainWindow, IDC_VOLUME_LABEL);
    // In UTF-8, as the core reads every text: a character beyond ASCII is refused by the rule.
    std::string text = windowTextUtf8(field);
    uint8_t typed[11], shown[11];
    if (readVolumeLabel(text.c_str(), typed) == kLabelInvalid) {
        MessageBoxW(mainWindow, L"Invalid character in volume label!", L"Error", MB_ICONERROR);
        SetFocus(field);
        return false;
    }
    // The field shows the boot sector's label: only a label that reads otherwise is written, so
    // leaving the field unchanged changes nothing.
    char stored[12] = {0};
    std::memcpy(stored, bootSector + bs::kVolumeLabel, 11);
    if (readVolumeLabel(stored, shown) != kLabelInvalid && std::memcmp(typed, shown, 11) == 0)
        return true;
    if (setVolumeLabel(text.c_str()) != kResultOk) {
        showErrorReport();
        return false;
    }
    markChanged();
    updateTitle();
    fillTree();
    return true;
}
