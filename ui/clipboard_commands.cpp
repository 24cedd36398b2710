// The selection leaving the window as host files (Copy, a drag onto Explorer or the desktop) and
// host files coming in from the clipboard (Paste). Extraction and insertion are the core's, as
// for the Extract and Insert commands; only the way the files travel is the shell's.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "directory/extract.h"
#include "platform/host_error.h"
#include "platform/host_folder.h"
#include "resources/resource_ids.h"
#include "ui/drag_out.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

std::vector<std::string> ImageEditor::extractSelectionOut(std::string* folder) {
    std::vector<std::string> paths;
    std::vector<const DirListEntry*> chosen = selectedEntries();
    if (chosen.empty()) return paths;
    *folder = dragOut.makeFolder();
    if (folder->empty()) {
        MessageBoxW(mainWindow, L"No temporary folder could be made for the copies.", L"Copy",
                    MB_ICONERROR);
        return paths;
    }
    hostForgetFailures();
    // The folder is new: only entries of one host name clash, and take distinct names. The times
    // and attributes go with the files as Extract gives them.
    ExtractJob job;
    int firstFailure = kResultOk;
    for (const DirListEntry* record : chosen) {
        int result = extractEntry(record->rawEntry, longNameUnits(record), folder->c_str(), &job);
        if (firstFailure == kResultOk) firstFailure = result;
    }
    if (firstFailure != kResultOk) showErrorReport();
    // What the folder holds at its top is what the selection became.
    std::vector<HostFolderEntry> made;
    if (hostListFolder(folder->c_str(), &made))
        for (const HostFolderEntry& entry : made) paths.push_back(hostJoinPath(*folder, entry.name));
    return paths;
}

void ImageEditor::copyCommand() {
    std::string folder;
    std::vector<std::string> paths = extractSelectionOut(&folder);
    if (paths.empty()) return;
    IDataObject* object = createFileDataObject(paths);
    if (OleSetClipboard(object) != S_OK) {
        object->Release();
        MessageBoxW(mainWindow, L"The clipboard could not be opened.", L"Copy", MB_ICONERROR);
        return;
    }
    if (copiedObject != nullptr) copiedObject->Release();
    copiedObject = object;
    copiedFolder = folder;
    std::string note = paths.size() == 1 ? "Copied \"" + hostBaseName(paths[0].c_str()) + "\""
                                         : "Copied " + std::to_string(paths.size()) + " items";
    setWindowTextUtf8(control(IDC_STATUS_LINE), note);
}

void ImageEditor::pasteCommand() {
    IDataObject* object = nullptr;
    if (OleGetClipboard(&object) != S_OK || object == nullptr) return;
    std::vector<std::string> paths = dataObjectPaths(object);
    object->Release();
    // Text or a picture on the clipboard: nothing to paste, as in Explorer.
    insertHostPathsCommand(paths);
}

void ImageEditor::dragOutCommand() {
    std::string folder;
    std::vector<std::string> paths = extractSelectionOut(&folder);
    if (paths.empty()) return;
    IDataObject* object = createFileDataObject(paths);
    dragFiles(object);
    object->Release();
}

void ImageEditor::beginDragOut() {
    // Copy, Paste and dragging need OLE in this single-threaded apartment for the window's life.
    OleInitialize(nullptr);
    dragOut.removeLeftovers();
}

void ImageEditor::endDragOut() {
    // Flushed, the copy stays on the clipboard after the program has ended, so its files stay.
    std::string keep;
    if (copiedObject != nullptr && OleIsCurrentClipboard(copiedObject) == S_OK &&
        OleFlushClipboard() == S_OK)
        keep = copiedFolder + "\\";
    if (copiedObject != nullptr) copiedObject->Release();
    copiedObject = nullptr;
    dragOut.removeOwn(keep);
    OleUninitialize();
}
