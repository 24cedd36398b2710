#include "ui/image_editor.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "directory/extract.h"
#include "image/error_report.h"
#include "resources/resource_ids.h"
#include "ui/wide_text.h"

ImageEditor::ImageEditor()
    : mainWindow(nullptr),
      instance(nullptr),
      toolbar(nullptr),
      popupMenu(nullptr),
      modified(1),
      unsavedEdits(0),
      hasPath(0),
      currentDirCluster(0),
      entries(nullptr),
      shownDirCluster(-1),
      sortColumn(kColumnName),
      sortDescending(false),
      renameResult(kResultOk),
      renamedCluster(-1),
      renamedIndex(-1) {
    std::memset(imagePath, 0, sizeof imagePath);
    std::memset(imageName, 0, sizeof imageName);
    std::memset(startupImage, 0, sizeof startupImage);
}

ImageEditor::~ImageEditor() {
    // The window is gone by now, so the records are freed without touching the list control.
    while (entries != nullptr) {
        DirListEntry* next = entries->next;
        delete entries;
        entries = next;
    }
    tempFiles.clear();
}

void ImageEditor::init(HINSTANCE moduleInstance) {
    instance = moduleInstance;
    newImageDialog.setInstance(moduleInstance);
    driveDialog.init(moduleInstance, this);
    clusterMap.setInstance(moduleInstance);
    sectorView.setInstance(moduleInstance);
    clusterMap.setSectorView(&sectorView);
    newFolderDialog.setInstance(moduleInstance);
    propertiesDialog.setInstance(moduleInstance);
    modified = 1;
    unsavedEdits = 0;
    hasPath = 0;
    std::memset(imagePath, 0, sizeof imagePath);
    std::memset(imageName, 0, sizeof imageName);
    std::strcpy(imageName, "untitled.img");
    currentDirCluster = 0;
    entries = nullptr;
    shownDirCluster = -1;
    sortColumn = kColumnName;
    sortDescending = false;
}

void ImageEditor::updateTitle() {
    char title[16 + kPathSize];
    std::snprintf(title, sizeof title, "Tolven - [%s%s]", imageName, modified == 1 ? " *" : "");
    SetWindowTextW(mainWindow, wideText(title).c_str());
}

void ImageEditor::showErrorReport(const char* path) {
    std::string text;
    for (const std::string& line :
         composeErrorReport(*this, path, kNoErrorCode, kErrorBoxMessageBytes))
        text += (text.empty() ? "" : "\n") + line;
    // No caption of its own: the platform shows its default ("Error").
    if (!text.empty()) messageBoxUtf8(mainWindow, text, nullptr, MB_ICONERROR | MB_OK);
}

void ImageEditor::deleteTempFiles() { ::deleteTempFiles(tempFiles); }

void ImageEditor::quitCommand() {
    // A label being typed counts as an edit; a refused one keeps the program open to be mended.
    if (GetFocus() == GetDlgItem(mainWindow, IDC_VOLUME_LABEL) && !checkVolumeLabel()) return;
    if (unsavedEdits == 1) {
        int answer = askToSave();
        if (answer != IDYES && answer != IDNO) return;
    }
    deleteTempFiles();
    PostQuitMessage(0);
}
