// The commands on the entries of the file list: extract, view, delete and insert. Each selected
// list item stands for one DirListEntry, and each command acts on exactly those records.
#include <windows.h>
#include <commctrl.h>
#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/extract.h"
#include "directory/long_name.h"
#include "image/error_report.h"
#include "platform/host_error.h"
#include "platform/host_folder.h"
#include "resources/resource_ids.h"
#include "ui/clash_dialog.h"
#include "ui/file_chooser.h"
#include "ui/folder_chooser.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

namespace {

const int kInsertTitleBytes = kChooserPathBytes;

bool isFolder(const DirListEntry* record) { return isFolderEntry(record->rawEntry); }

bool itemSelected(HWND list, int index) {
    return (SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

}  // namespace

const uint16_t* longNameUnits(const DirListEntry* record) {
    // wchar_t is the 16-bit UTF-16 unit on Windows, as the directory operations expect.
    static_assert(sizeof(wchar_t) == sizeof(uint16_t), "UTF-16 long names");
    static const uint16_t kNone[kLongNameUnits] = {};
    return record->hasLongName ? reinterpret_cast<const uint16_t*>(record->longName) : kNone;
}

bool ImageEditor::hasSelection() {
    return SendMessageW(control(IDC_FILE_LIST), LVM_GETSELECTEDCOUNT, 0, 0) > 0;
}

void ImageEditor::extractCommand(bool allEntries) {
    HWND list = control(IDC_FILE_LIST);
    if (!allEntries && SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
        MessageBoxW(mainWindow, L"No files selected!", L"Extract image", MB_ICONERROR);
        return;
    }
    char folder[kPathSize] = {0};
    char displayName[kPathSize] = {0};
    std::string start = chooserFolders.startFolder(kExtractChooser, currentImagePath());
    if (start.size() < sizeof folder) std::memcpy(folder, start.c_str(), start.size() + 1);
    FolderChooser chooser;
    const char* title = allEntries ? "Extract complete image to folder:"
                                   : "Extract selected files to folder:";
    if (!chooser.chooseFolder(mainWindow, folder, displayName, title)) return;
    chooserFolders.remember(kExtractChooser, folder);
    hostForgetFailures();

    int firstFailure = kResultOk;
    // One job for the whole command: a host file of an entry's name is asked about (Replace or
    // Skip, perhaps for all), entries of one host name get distinct names.
    ExtractJob job;
    job.policy = kClashAsk;
    job.ask = [this](const char* path, bool* forAll) {
        return askReplaceOrSkip(instance, mainWindow, path, forAll);
    };
    // "." and "..", and names that convert to nothing, are passed over with 0.
    if (allEntries) {
        // The whole image, wherever the list is.
        for (const ListedEntry& r : readListedEntries(*this, 0)) {
            int result = extractEntry(r.entry, r.longName, folder, &job);
            if (firstFailure == kResultOk) firstFailure = result;
        }
    } else {
        int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            if (!itemSelected(list, i)) continue;
            const DirListEntry* record = entryForItem(i);
            if (record == nullptr) continue;
            int result = extractEntry(record->rawEntry, longNameUnits(record), folder, &job);
            if (firstFailure == kResultOk) firstFailure = result;
        }
    }
    char summary[128 + kPathSize];
    int n = std::snprintf(summary, sizeof summary, "Extracted %i folders, %i files to %s",
                          job.count.folders, job.count.files, folder);
    if (job.count.skipped > 0 && n > 0 && static_cast<size_t>(n) < sizeof summary)
        std::snprintf(summary + n, sizeof summary - n, " (%i skipped)", job.count.skipped);
    SetWindowTextW(control(IDC_STATUS_LINE), wideText(summary).c_str());
    if (firstFailure != kResultOk && firstFailure != kResultCancelled) showErrorReport();
    if (!job.renamed.empty()) {
        std::string text;
        for (const std::string& line : job.renamed) text += line + "\n";
        MessageBoxW(mainWindow, wideText(text).c_str(), L"Extract image", MB_ICONINFORMATION);
    }
}

void ImageEditor::viewCommand() {
    HWND list = control(IDC_FILE_LIST);
    if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
        MessageBoxW(mainWindow, L"No files selected!", L"View", MB_ICONERROR);
        return;
    }
    wchar_t tempFolder[MAX_PATH + 1] = {0};
    GetTempPathW(MAX_PATH + 1, tempFolder);
    hostForgetFailures();

    // A selection of many files gets one box for those that could not be shown, not one each.
    std::vector<std::string> unopened;
    bool failed = false;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (!itemSelected(list, i)) continue;
        const DirListEntry* record = entryForItem(i);
        if (record == nullptr || isFolder(record)) continue;
        char path[kPathSize] = {0};
        // Lists the copy in tempFiles before it is handed to the shell.
        if (extractTempCopy(record->rawEntry, longNameUnits(record), tempFiles, path,
                            sizeof path) != kResultOk) {
            failed = true;
            continue;
        }
        if (path[0] == '\0') continue;  // the name converts to nothing: no copy to open
        INT_PTR shown = reinterpret_cast<INT_PTR>(
            ShellExecuteW(mainWindow, L"open", wideText(path).c_str(), L"", tempFolder, SW_SHOW));
        if (shown == SE_ERR_NOASSOC) unopened.push_back(utf8Text(record->longName));
    }
    if (failed) showErrorReport();
    if (unopened.size() == 1) {
        MessageBoxW(mainWindow, L"No associated application found!", L"View", MB_ICONERROR);
    } else if (!unopened.empty()) {
        const size_t kNamed = 10;  // a box the screen can hold
        std::string text = "No associated application found for " +
                           std::to_string(unopened.size()) + " files:";
        for (size_t i = 0; i < unopened.size() && i < kNamed; ++i) text += "\n" + unopened[i];
        if (unopened.size() > kNamed) text += "\n...";
        messageBoxUtf8(mainWindow, text, "View", MB_ICONERROR);
    }
}

std::vector<const DirListEntry*> ImageEditor::selectedEntries() const {
    // "." and ".." are never deleted, extracted nor renamed by a selection.
    HWND list = control(IDC_FILE_LIST);
    std::vector<const DirListEntry*> chosen;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const DirListEntry* record = itemSelected(list, i) ? entryForItem(i) : nullptr;
        if (record != nullptr && !isDotEntry(record->rawEntry)) chosen.push_back(record);
    }
    return chosen;
}

void ImageEditor::deleteCommand() {
    if (SendMessageW(control(IDC_FILE_LIST), LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
        MessageBoxW(mainWindow, L"No files selected!", L"View", MB_ICONERROR);
        return;
    }
    if (editsRefused()) return;
    std::vector<const DirListEntry*> chosen = selectedEntries();
    if (chosen.empty()) return;
    // As Explorer asks: the entry by name, or the count; No is the default.
    std::string question = chosen.size() == 1
                               ? "Delete \"" + utf8Text(chosen[0]->longName) + "\"?"
                               : "Delete " + std::to_string(chosen.size()) + " items?";
    if (messageBoxUtf8(mainWindow, question, "Delete", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) ==
        IDYES)
        deleteSelectedEntries();
}

void ImageEditor::deleteSelectedEntries() {
    // The records keep the locations the list was built with until the views are rebuilt, so
    // every selected entry is deleted at the slots it was listed from.
    bool deleted = false, refused = false;
    for (const DirListEntry* record : selectedEntries()) {
        // An entry of a damaged folder is refused with a message.
        int result = deleteTree(record->rawEntry, record->entryCluster, record->entryIndex,
                                record->longNameCluster, record->longNameIndex);
        deleted = deleted || result == kResultOk;
        refused = refused || result == kResultDamaged;
    }
    if (deleted) recordEdit();
    rebuildViews();
    if (refused) {
        showErrorReport();
    } else if (!isEmpty()) {
        // Clusters kept because another entry uses them: said in the status line, which the
        // next listing refills.
        std::string note;
        for (const std::string& line :
             composeErrorReport(*this, nullptr, kNoErrorCode, kErrorBoxMessageBytes))
            note += (note.empty() ? "" : " ") + line;
        setWindowTextUtf8(control(IDC_STATUS_LINE), note);
    }
}

void ImageEditor::insertCommand() {
    if (editsRefused()) return;
    std::vector<char> selection(kInsertSelectionBytes, '\0');
    char fileTitle[kInsertTitleBytes] = {0};
    FileChooser chooser;
    chooser.setup(kAnyFileFilter, kFilterBlockSize, "", "Insert Files");
    chooser.startIn(chooserFolders.startFolder(kInsertChooser, currentImagePath()));
    DWORD error = 0;
    // Every chosen selection is inserted. The dialog fills the file-title buffer for a single
    // file only, so skipping a selection whose title is empty would drop every multiple
    // selection without a word; the names are read from the selection alone.
    if (chooser.chooseOpenMultiple(mainWindow, selection.data(), kInsertSelectionBytes, fileTitle,
                                   sizeof fileTitle, error)) {
        // Several files: the folder comes first, then the names; one file: its full path.
        const char* first = selection.data();
        bool several = first[std::strlen(first) + 1] != '\0';
        chooserFolders.remember(kInsertChooser, several ? std::string(first) : hostFolderOf(first));
        insertHostPathsCommand(insertSelectionPaths(selection.data()));
    } else if (error != 0) {
        MessageBoxW(
            mainWindow,
            error == FNERR_BUFFERTOOSMALL ? L"Too many files selected!" : L"Error selecting files!",
            L"Error", MB_ICONERROR);
    }
}

void ImageEditor::insertHostPathsCommand(const std::vector<std::string>& paths,
                                         ClashPolicy policy) {
    if (paths.empty() || editsRefused()) return;
    hostForgetFailures();
    InsertClash clash;
    clash.policy = policy;
    clash.ask = [this](const std::string& name, bool oldIsFolder, bool newIsFolder,
                       bool* forAll) {
        return askInsertClash(instance, mainWindow, name, oldIsFolder, newIsFolder, forAll);
    };
    std::vector<const char*> names;
    for (const std::string& path : paths) names.push_back(path.c_str());
    int inserted = 0;
    int result = insertHostPaths(static_cast<uint16_t>(currentDirCluster), names.data(),
                                 static_cast<int>(names.size()), &inserted, &clash);
    // A merge into a folder alone changes nothing; what went in before a Cancel stays.
    if (inserted > 0) recordEdit();
    rebuildViews();
    // The list already shows what went in when the report names what did not.
    if (result != kResultOk && result != kResultCancelled) showErrorReport();
}
