#include "ui/new_folder_dialog.h"

#include <cstring>
#include <string>

#include "resources/resource_ids.h"
#include "ui/wide_text.h"

namespace {

INT_PTR CALLBACK newFolderProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        NewFolderDialog* record = reinterpret_cast<NewFolderDialog*>(lParam);
        HWND field = GetDlgItem(dialog, IDC_NEW_FOLDER_NAME);
        SendMessageW(field, EM_LIMITTEXT, kFolderNameChars - 1, 0);
        SetWindowTextW(field, wideText(record->name).c_str());
        SendMessageW(field, EM_SETSEL, 0, -1);
        SetFocus(field);
        return FALSE;  // the focus is set
    }
    NewFolderDialog* record = reinterpret_cast<NewFolderDialog*>(
        GetWindowLongPtrW(dialog, DWLP_USER));
    if (record == nullptr) return FALSE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        // A Unicode dialog: any name can be typed; the core takes it in UTF-8.
        wchar_t typed[kFolderNameChars] = {0};
        GetDlgItemTextW(dialog, IDC_NEW_FOLDER_NAME, typed, kFolderNameChars);
        std::string name = utf8Text(typed);
        std::memcpy(record->name, name.c_str(), name.size() + 1);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool NewFolderDialog::show(HWND owner, char* folderName) {
    std::strncpy(name, folderName, kFolderNameSize - 1);
    name[kFolderNameSize - 1] = '\0';
    INT_PTR answer = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_NEW_FOLDER), owner,
                                     newFolderProc, reinterpret_cast<LPARAM>(this));
    if (answer != IDOK) return false;
    std::memcpy(folderName, name, kFolderNameSize);
    return true;
}
