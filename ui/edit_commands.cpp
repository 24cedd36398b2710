// The commands that edit the image from the window: inserting a folder, dropped files, a new
// folder, renaming in the list, the properties dialog; and the image named on the command line.
// The core makes every change (directory/); these only gather what the user chose.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/folder_path.h"
#include "directory/image_path.h"
#include "image/boot_sector.h"
#include "platform/clock.h"
#include "platform/host_error.h"
#include "platform/host_folder.h"
#include "resources/resource_ids.h"
#include "image/container.h"
#include "ui/dropped_image_dialog.h"
#include "ui/drag_out.h"
#include "ui/folder_chooser.h"
#include "ui/image_editor.h"
#include "ui/list_columns.h"
#include "ui/wide_text.h"

namespace {

const char kProposedFolderName[] = "New folder";

// The item a command on one entry acts on: the focused item when it is selected, else the first
// selected one; -1 when nothing is selected.
int chosenItem(HWND list) {
    int focused = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
    if (focused >= 0 &&
        (SendMessageW(list, LVM_GETITEMSTATE, focused, LVIS_SELECTED) & LVIS_SELECTED))
        return focused;
    return static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
}

// "New folder", or "New folder (2)", "(3)" ... when that name is taken in the folder.
std::string proposeFolderName(ImageEditor& editor) {
    std::string name = kProposedFolderName;
    for (int n = 2; n < 1000; ++n) {
        std::u16string wide(name.begin(), name.end());
        ImagePathEntry found;
        if (!findImageEntry(editor, static_cast<uint16_t>(editor.currentDirCluster),
                            reinterpret_cast<const uint16_t*>(wide.c_str()), &found))
            break;
        name = std::string(kProposedFolderName) + " (" + std::to_string(n) + ")";
    }
    return name;
}

// Selects, focuses and shows the item whose entry's short slot is at (cluster, index).
void selectEntryAt(ImageEditor& editor, HWND list, int32_t cluster, int32_t index) {
    LVITEMW state;
    std::memset(&state, 0, sizeof state);
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const DirListEntry* record = editor.entryForItem(i);
        if (record == nullptr || record->entryCluster != cluster || record->entryIndex != index)
            continue;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
        SendMessageW(list, LVM_SETSELECTIONMARK, 0, i);
        SendMessageW(list, LVM_ENSUREVISIBLE, i, FALSE);
        return;
    }
}

}  // namespace

void ImageEditor::recordEdit() {
    journal.record(*this);
    updateTitle();
}

void ImageEditor::undoCommand() { stepJournal(false); }
void ImageEditor::redoCommand() { stepJournal(true); }

void ImageEditor::stepJournal(bool forward) {
    if (!(forward ? journal.redo(*this) : journal.undo(*this))) return;
    // A folder the step made or removed may be gone: the root is shown then. folderPath finds
    // the folder from the root, or starts with an ellipsis.
    if (currentDirCluster != 0 &&
        folderPath(*this, static_cast<uint16_t>(currentDirCluster)).compare(0, 1, u"\\") != 0) {
        currentDirCluster = 0;
        forgetShownFolder();
    }
    rebuildViews();
}

void ImageEditor::selectAllCommand() {
    SetFocus(control(IDC_FILE_LIST));
    selectAllEntries();
}

bool ImageEditor::editsRefused() {
    if (!container.readOnly) return false;
    messageBoxUtf8(mainWindow, container.readOnlyReason + "\nIt is not edited nor saved.",
                   "Read-only image", MB_ICONINFORMATION | MB_OK);
    return true;
}

void ImageEditor::insertFolderCommand() {
    if (editsRefused()) return;
    char folder[kPathSize] = {0};
    char displayName[kPathSize] = {0};
    std::string start = chooserFolders.startFolder(kInsertChooser, currentImagePath());
    if (start.size() < sizeof folder) std::memcpy(folder, start.c_str(), start.size() + 1);
    FolderChooser chooser;
    if (!chooser.chooseFolder(mainWindow, folder, displayName,
                              "Insert folder with everything in it:"))
        return;
    // The folder's own folder: the next insert starts beside it.
    chooserFolders.remember(kInsertChooser, hostFolderOf(folder));
    insertHostPathsCommand({folder});
}

void ImageEditor::newFolderCommand() {
    if (editsRefused()) return;
    std::string proposed = proposeFolderName(*this);
    char name[kFolderNameSize] = {0};
    std::strncpy(name, proposed.c_str(), sizeof name - 1);
    // A refused name is reported and asked for again, as typed, until it is made or cancelled.
    while (newFolderDialog.show(mainWindow, name)) {
        uint16_t date = 0, time = 0, created = 0;
        currentLocalFatDateTime(&date, &time);
        if (createFolder(static_cast<uint16_t>(currentDirCluster), name, date, time, &created) !=
            kResultOk) {
            showErrorReport();
            continue;
        }
        recordEdit();
        rebuildViews();
        HWND list = control(IDC_FILE_LIST);
        for (size_t i = 0; i < listedRecords.size(); ++i)
            if (readLe16(listedRecords[i]->rawEntry + de::kFirstCluster) == created)
                selectEntryAt(*this, list, listedRecords[i]->entryCluster,
                              listedRecords[i]->entryIndex);
        SetFocus(list);
        return;
    }
}

void ImageEditor::renameCommand() {
    HWND list = control(IDC_FILE_LIST);
    int index = chosenItem(list);
    const DirListEntry* record = entryForItem(index);
    if (record == nullptr || isDotEntry(record->rawEntry) || editsRefused()) return;
    SetFocus(list);
    // The wide edit: a name in any script shows, and comes back, as it is.
    SendMessageW(list, LVM_EDITLABELW, index, 0);
}

bool ImageEditor::handleLabelEdit(const NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_FILE_LIST) return false;
    HWND list = control(IDC_FILE_LIST);
    // The window is a Unicode window: its list sends the wide forms only.
    bool begin = header->code == LVN_BEGINLABELEDITW;
    bool end = header->code == LVN_ENDLABELEDITW;
    if (!begin && !end) return false;
    const NMLVDISPINFOW* info = reinterpret_cast<const NMLVDISPINFOW*>(header);
    const DirListEntry* record = entryForItem(info->item.iItem);
    *result = FALSE;
    if (begin) {
        // "." and ".." keep their names; the others are edited without the folder brackets.
        if (record == nullptr || isDotEntry(record->rawEntry)) {
            *result = TRUE;
            return true;
        }
        HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
        SetWindowTextW(edit, record->longName);
        SendMessageW(edit, EM_LIMITTEXT, kLongNameChars - 1, 0);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return true;
    }
    // No text: the edit was cancelled (Escape). The list keeps its text either way; the list is
    // read again once the rename is done.
    if (record == nullptr || info->item.pszText == nullptr) return true;
    // The core takes the name in UTF-8.
    std::wstring typed = info->item.pszText;
    if (typed == record->longName) return true;  // nothing changed
    std::string name = utf8Text(typed.c_str());
    renameResult = renameEntry(static_cast<uint16_t>(currentDirCluster), record->entryCluster,
                               record->entryIndex, record->longNameCluster, record->longNameIndex,
                               name.c_str(), &renamedCluster, &renamedIndex);
    // Recorded now, on the image renamed in; the list may not be refilled, nor a box shown, while
    // it is still ending the edit.
    if (renameResult == kResultOk) journal.record(*this);
    renamePending = true;
    PostMessageW(mainWindow, kRenameEndedMessage, 0, 0);
    return true;
}

bool ImageEditor::finishRename() {
    if (!renamePending) return true;
    renamePending = false;
    if (renameResult != kResultOk) {
        showErrorReport();
        return false;
    }
    updateTitle();
    refreshDirectory();
    selectEntryAt(*this, control(IDC_FILE_LIST), renamedCluster, renamedIndex);
    return true;
}

void ImageEditor::propertiesCommand() {
    HWND list = control(IDC_FILE_LIST);
    const DirListEntry* record = entryForItem(chosenItem(list));
    if (record == nullptr) {
        MessageBoxW(mainWindow, L"No files selected!", L"Properties", MB_ICONERROR);
        return;
    }
    if (isDotEntry(record->rawEntry)) return;
    const uint8_t* raw = record->rawEntry;
    PropertiesDialog& dialog = propertiesDialog;
    std::memset(dialog.longName, 0, sizeof dialog.longName);
    if (record->longNameIndex >= 0)
        std::memcpy(dialog.longName, record->longName, sizeof dialog.longName);
    shortNameUnits(raw, reinterpret_cast<uint16_t*>(dialog.shortName));
    std::snprintf(dialog.size, sizeof dialog.size, "%u bytes",
                  static_cast<unsigned>(readLe32(raw + de::kFileSize)));
    formatModified(readLe16(raw + de::kDate), readLe16(raw + de::kTime), dialog.modified,
                   sizeof dialog.modified);
    std::snprintf(dialog.firstCluster, sizeof dialog.firstCluster, "%u",
                  static_cast<unsigned>(readLe16(raw + de::kFirstCluster)));
    uint8_t before = raw[de::kAttributes];
    int32_t cluster = record->entryCluster, index = record->entryIndex;
    dialog.attributes = before;
    if (!dialog.show(mainWindow) || dialog.attributes == before || editsRefused()) return;
    uint8_t setBits = static_cast<uint8_t>(dialog.attributes & ~before);
    uint8_t clearBits = static_cast<uint8_t>(before & ~dialog.attributes);
    if (setAttributes(cluster, index, setBits, clearBits) != kResultOk) {
        showErrorReport();
        return;
    }
    recordEdit();
    refreshDirectory();  // the same entries: the selection stays
}

void ImageEditor::dropFiles(HDROP drop) {
    POINT at = {0, 0};
    bool inClient = DragQueryPoint(drop, &at) != FALSE;
    std::vector<std::string> paths = hdropPaths(drop);  // UTF-8, as the core takes host paths
    DragFinish(drop);
    // While a dialog of the window is open (the window is disabled then) the image must not
    // change under it. Entries dragged out and dropped back onto the window are left where they
    // are, as Explorer leaves a drop onto the folder it came from.
    if (paths.empty() || !IsWindowEnabled(mainWindow) || dragOut.holdsAll(paths) ||
        !commitPendingEdits())
        return;

    HWND target = inClient ? ChildWindowFromPointEx(mainWindow, at, CWP_SKIPINVISIBLE) : nullptr;
    DWORD kind = GetFileAttributesW(wideText(paths[0]).c_str());
    bool oneFile = paths.size() == 1 && kind != INVALID_FILE_ATTRIBUTES &&
                   (kind & FILE_ATTRIBUTE_DIRECTORY) == 0;
    bool open = oneFile && target != control(IDC_FILE_LIST);
    // On the list a disk image may be meant either way: the user says which.
    if (oneFile && !open && looksLikeImageFile(paths[0].c_str())) {
        DroppedImageAnswer answer = askDroppedImage(instance, mainWindow, paths[0].c_str());
        if (answer == kDroppedCancel) return;
        open = answer == kDroppedOpen;
    }
    if (open) {
        int answer = askSaveChanges();
        if (answer == IDYES || answer == IDNO)
            openImageFile(paths[0].c_str(), hostBaseName(paths[0].c_str()).c_str());
        return;
    }
    insertHostPathsCommand(paths);
}

void ImageEditor::setStartupImage(const char* path) {
    // The full path, as the image's file name for later saves.
    wchar_t full[MAX_PATH] = {0};
    std::string utf8 = utf8Text(
        full, static_cast<int>(GetFullPathNameW(wideText(path).c_str(), MAX_PATH, full, nullptr)));
    startupImage[0] = '\0';
    if (!utf8.empty() && utf8.size() < sizeof startupImage)
        std::memcpy(startupImage, utf8.c_str(), utf8.size() + 1);
}

void ImageEditor::openStartupImage() {
    if (startupImage[0] == '\0') return;
    openImageFile(startupImage, hostBaseName(startupImage).c_str());
}

bool ImageEditor::openImageFile(const char* path, const char* title) {
    hostForgetFailures();
    int result = loadImageLocked(path);
    std::string member;
    if (result == kResultChooseMember) {
        clear();  // the question replaces the message
        result = memberDialog.show(mainWindow, members, &member)
                     ? loadImageLocked(path, member.c_str())
                     : kResultCancelled;
    }
    if (result == kResultOk) {
        beginImage(path, title);
        rememberRecent(path);
    } else if (result != kResultCancelled) {
        showErrorReport(path);
    }
    rebuildViews();
    // Said once at the start, over the views of this image: a label field that had the focus
    // shows this image's label when the box takes the focus, so that leaving it is no edit.
    if (result == kResultOk && container.readOnly) editsRefused();
    return result == kResultOk;
}
