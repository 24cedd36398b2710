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
      copiedObject(nullptr),
      hasPath(0),
      currentDirCluster(0),
      entries(nullptr),
      shownDirCluster(-1),
      sortColumn(kColumnName),
      sortDescending(false),
      showDeleted(false),
      renameResult(kResultOk),
      renamePending(false),
      labelBoxShown(false),
      renamedCluster(-1),
      renamedIndex(-1),
      statusPending(false) {
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
    memberDialog.setInstance(moduleInstance);
    propertiesDialog.setInstance(moduleInstance);
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
    std::snprintf(title, sizeof title, "Tolven - [%s%s]", imageName, hasUnsavedEdits() ? " *" : "");
    SetWindowTextW(mainWindow, wideText(title).c_str());
    updateEditMenu();
}

void ImageEditor::updateEditMenu() {
    HMENU menu = GetMenu(mainWindow);
    if (menu == nullptr) return;
    EnableMenuItem(menu, ID_EDIT_UNDO, MF_BYCOMMAND | (journal.canUndo() ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, ID_EDIT_REDO, MF_BYCOMMAND | (journal.canRedo() ? MF_ENABLED : MF_GRAYED));
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
    // A rename or label being typed counts as an edit; a refused one keeps the program open to
    // be mended.
    if (!commitPendingEdits()) return;
    int answer = askSaveChanges();
    if (answer != IDYES && answer != IDNO) return;
    deleteTempFiles();
    storeWindowPlace();
    PostQuitMessage(0);
}
