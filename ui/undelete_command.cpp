// Deleted entries in the window: View > Show deleted entries lists them greyed after the live
// ones, and Undelete brings the selected ones back as one undo step, asking for the lost first
// character of a name that has no long name to give it.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "directory/undelete.h"
#include "resources/resource_ids.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

namespace {

struct FirstCharQuestion {
    std::string name;  // as the list shows it, with "?" for the lost character
    uint8_t answer;
};

INT_PTR CALLBACK firstCharProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        FirstCharQuestion* q = reinterpret_cast<FirstCharQuestion*>(lParam);
        std::string text = "The first character of \"" + q->name +
                           "\" is lost. Type the character it began with:";
        SetDlgItemTextW(dialog, IDC_FIRST_CHAR_TEXT, wideText(text.c_str()).c_str());
        HWND field = GetDlgItem(dialog, IDC_FIRST_CHAR_EDIT);
        SendMessageW(field, EM_LIMITTEXT, 1, 0);
        SetFocus(field);
        return FALSE;  // the focus is set
    }
    FirstCharQuestion* q = reinterpret_cast<FirstCharQuestion*>(
        GetWindowLongPtrW(dialog, DWLP_USER));
    if (q == nullptr) return FALSE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        wchar_t typed[4] = {0};
        GetDlgItemTextW(dialog, IDC_FIRST_CHAR_EDIT, typed, 4);
        q->answer = typed[0] < 0x80 && typed[1] == 0 ? firstByteFromChar(static_cast<char>(typed[0]))
                                                     : 0;
        if (q->answer == 0) {
            MessageBoxW(dialog, L"An 8.3 name cannot begin with this character.", L"Undelete",
                        MB_OK | MB_ICONWARNING);
            return TRUE;
        }
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

const char* noteText(UndeleteLine::Kind kind) {
    switch (kind) {
    case UndeleteLine::kGivenUnderscore: return "first character unknown, given _";
    case UndeleteLine::kLeftOverwritten: return "left deleted, its clusters are taken";
    case UndeleteLine::kLeftNameTaken: return "left deleted, its name is taken";
    default: return nullptr;
    }
}

}  // namespace

void ImageEditor::readDeletedEntries(DirListEntry** last) {
    for (const DeletedEntry& d : listDeleted(*this, static_cast<uint16_t>(currentDirCluster))) {
        DirListEntry* record = new (std::nothrow) DirListEntry;
        if (record == nullptr) return;
        std::memset(record, 0, sizeof *record);
        std::memcpy(record->rawEntry, d.entry, sizeof record->rawEntry);
        record->hasLongName = !d.longName.empty();
        if (record->hasLongName) {
            for (size_t i = 0; i < d.longName.size() && i + 1 < kLongNameChars; ++i)
                record->longName[i] = static_cast<wchar_t>(d.longName[i]);
        } else {
            uint8_t shown[de::kSize];
            std::memcpy(shown, d.entry, sizeof shown);
            shown[0] = '?';
            shortDisplayName(shown, reinterpret_cast<uint16_t*>(record->longName));
        }
        record->entryCluster = d.entryCluster;
        record->entryIndex = d.entryIndex;
        record->longNameCluster = record->longNameIndex = -1;
        record->deleted = true;
        if (*last == nullptr) entries = record;
        else (*last)->next = record;
        *last = record;
    }
}

void ImageEditor::showDeletedCommand() {
    showDeleted = !showDeleted;
    CheckMenuItem(GetMenu(mainWindow), ID_VIEW_SHOW_DELETED,
                  MF_BYCOMMAND | (showDeleted ? MF_CHECKED : MF_UNCHECKED));
    refreshDirectory();
}

void ImageEditor::undeleteCommand() {
    HWND list = control(IDC_FILE_LIST);
    std::vector<DirListEntry> chosen;
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(list, i, LVNI_SELECTED)) {
        const DirListEntry* record = recordForItem(i);
        if (record != nullptr && record->deleted) chosen.push_back(*record);
    }
    if (chosen.empty() || editsRefused()) return;

    uint16_t folder = static_cast<uint16_t>(currentDirCluster);
    std::vector<UndeleteLine> lines;
    int recovered = 0;
    bool failed = false;
    for (const DirListEntry& record : chosen) {
        // Read again: an entry recovered before may have taken clusters or a name.
        for (const DeletedEntry& d : listDeleted(*this, folder)) {
            if (d.entryCluster != record.entryCluster || d.entryIndex != record.entryIndex) continue;
            FirstCharQuestion q{deletedEntryName(d), 0};
            if (d.firstByte == 0 &&
                DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_FIRST_CHAR), mainWindow,
                                firstCharProc, reinterpret_cast<LPARAM>(&q)) != IDOK)
                break;
            if (undeleteEntry(*this, folder, d, q.answer, false, "", &lines) == kResultOk)
                ++recovered;
            else
                failed = true;
            break;
        }
    }
    if (recovered > 0) {
        recordEdit();
        rebuildViews();
    }
    if (failed) showErrorReport();
    std::string notes;
    for (const UndeleteLine& line : lines)
        if (noteText(line.kind) != nullptr)
            notes += line.path.substr(1) + ": " + noteText(line.kind) + "\n";
    if (!notes.empty())
        MessageBoxW(mainWindow, wideText(notes.c_str()).c_str(), L"Undelete",
                    MB_OK | MB_ICONINFORMATION);
}
