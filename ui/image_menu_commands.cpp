// The Image menu's boot sector and boot code files and its cluster map.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "directory/dir_entry.h"
#include "platform/host_error.h"
#include "platform/host_folder.h"
#include "ui/boot_file_name.h"
#include "ui/file_chooser.h"
#include "resources/resource_ids.h"
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

// The legend's counts as the map draws its cells: sectors the container holds no readable data
// for count as bad clusters, the FAT itself unchanged.
ClusterMapCounts mapCounts(const VolumeImage& image) {
    ClusterMapCounts counts = {{0, 0, 0, 0}};
    for (int i = 0; i < image.getClusterCount(); ++i)
        ++counts.perClass[image.mapClass(static_cast<uint32_t>(i) + 2)];
    return counts;
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
    clusterMap.show(mainWindow, *this, mapCounts(*this));
}

void ImageEditor::sectorViewCommand() { sectorView.show(mainWindow, *this, 0); }

void ImageEditor::showInMapCommand() {
    HWND list = control(IDC_FILE_LIST);
    int item = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                             MAKELPARAM(LVNI_FOCUSED | LVNI_SELECTED, 0)));
    const DirListEntry* entry = entryForItem(item);
    // An empty file owns no cluster: the map opens with nothing marked.
    clusterMap.show(mainWindow, *this, mapCounts(*this),
                    entry == nullptr ? 0 : entryFirstCluster(entry->rawEntry));
}
