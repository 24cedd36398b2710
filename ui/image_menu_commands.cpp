// The Image menu's boot sector and boot code files and its cluster map.
#include <windows.h>

#include <vector>

#include "platform/host_error.h"
#include "platform/host_folder.h"
#include "ui/boot_file_name.h"
#include "ui/file_chooser.h"
#include "ui/image_editor.h"

namespace {

const char kBootFileExtension[] = "bin";

struct BootFileChoice {
    BootFileDirection direction;
    BootFileKind kind;
    const char* title;
    const char* filter;
};

const BootFileChoice kBootFileChoices[] = {
    {kBootFileImport, kBootSectorFile, "Import bootsector", kBootSectorFilter},
    {kBootFileImport, kBootCodeFile, "Import bootcode", kBootCodeFilter},
    {kBootFileExport, kBootSectorFile, "Export bootsector", kBootSectorFilter},
    {kBootFileExport, kBootCodeFile, "Export bootcode", kBootCodeFilter},
};

const BootFileChoice* findChoice(BootFileDirection direction, BootFileKind kind) {
    for (const BootFileChoice& choice : kBootFileChoices) {
        if (choice.direction == direction && choice.kind == kind) return &choice;
    }
    return nullptr;
}

}  // namespace

void ImageEditor::bootFileCommand(BootFileDirection direction, BootFileKind kind) {
    const BootFileChoice* choice = findChoice(direction, kind);
    if (choice == nullptr || (direction == kBootFileImport && editsRefused())) return;

    FileChooser chooser;
    chooser.setup(choice->filter, kFilterBlockSize, kBootFileExtension, choice->title);
    chooser.startIn(chooserFolders.startFolder(kBootFileChooser, currentImagePath()));
    char path[kPathSize] = {0};
    char title[kPathSize] = {0};
    DWORD error = 0;
    int result;
    if (direction == kBootFileImport) {
        if (!chooser.chooseOpen(mainWindow, path, title, error)) return;
    } else {
        proposeBootFileName(imageName, path, sizeof path);
        if (!chooser.chooseSave(mainWindow, path, title, error)) return;
    }
    chooserFolders.remember(kBootFileChooser, hostFolderOf(path));
    hostForgetFailures();
    if (direction == kBootFileImport)
        result = kind == kBootSectorFile ? importBootSector(path) : importBootCode(path);
    else result = kind == kBootSectorFile ? exportBootSector(path) : exportBootCode(path);

    if (result != kResultOk && result != kResultCancelled) showErrorReport(path);
    if (result == kResultOk && direction == kBootFileImport) {
        recordEdit();
        rebuildViews();  // the tree shows the new boot sector
    }
}

void ImageEditor::clusterMapCommand() {
    // The view's table: sectors the container holds no readable data for show as bad clusters,
    // the FAT itself unchanged.
    std::vector<uint16_t> view(fatTable, fatTable + kFatTableEntries);
    for (uint16_t cluster : container.badClusters)
        if (cluster < kFatTableEntries) view[cluster] = kBadClusterMark;
    ClusterMapCounts counts = {{0, 0, 0, 0}};
    for (int i = 0; i < getClusterCount(); ++i) ++counts.perClass[mapClass(static_cast<uint32_t>(i) + 2)];
    clusterMap.show(mainWindow, getClusterCount(), view.data(), counts);
}
