#include "ui/new_folder_dialog.h"

#include <cstring>

#include "resources/resource_ids.h"

namespace {

INT_PTR CALLBACK newFolderProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        NewFolderDialog* record = reinterpret_cast<NewFolderDialog*>(lParam);
        HWND field = GetDlgItem(dialog, IDC_NEW_FOLDER_NAME);
        SendMessageA(field, EM_LIMITTEXT, kFolderNameSize - 1, 0);
        SetWindowTextA(field, record->name);
        SendMessageA(field, EM_SETSEL, 0, -1);
        SetFocus(field);
        return FALSE;  // the focus is set
    }
    NewFolderDialog* record = reinterpret_cast<NewFolderDialog*>(
        GetWindowLongPtrA(dialog, DWLP_USER));
    if (record == nullptr) return FALSE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        GetDlgItemTextA(dialog, IDC_NEW_FOLDER_NAME, record->name, kFolderNameSize);
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
    INT_PTR answer = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_NEW_FOLDER), owner,
                                     newFolderProc, reinterpret_cast<LPARAM>(this));
    if (answer != IDOK) return false;
    std::memcpy(folderName, name, kFolderNameSize);
    return true;
}
