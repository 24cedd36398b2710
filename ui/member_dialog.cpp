#include "ui/member_dialog.h"

#include "resources/resource_ids.h"
#include "ui/wide_text.h"

namespace {

INT_PTR CALLBACK memberProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        MemberDialog* record = reinterpret_cast<MemberDialog*>(lParam);
        HWND list = GetDlgItem(dialog, IDC_MEMBER_LIST);
        for (const std::string& name : *record->names)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideText(name).c_str()));
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        SetFocus(list);
        return FALSE;  // the focus is set
    }
    MemberDialog* record = reinterpret_cast<MemberDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (record == nullptr || message != WM_COMMAND) {
        if (message == WM_CLOSE) EndDialog(dialog, IDCANCEL);
        return message == WM_CLOSE;
    }
    bool doubleClick = LOWORD(wParam) == IDC_MEMBER_LIST && HIWORD(wParam) == LBN_DBLCLK;
    if (LOWORD(wParam) == IDOK || doubleClick) {
        record->choice = static_cast<int>(
            SendMessageW(GetDlgItem(dialog, IDC_MEMBER_LIST), LB_GETCURSEL, 0, 0));
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool MemberDialog::show(HWND owner, const std::vector<std::string>& memberNames,
                        std::string* chosen) {
    names = &memberNames;
    choice = -1;
    INT_PTR answer = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MEMBER), owner, memberProc,
                                     reinterpret_cast<LPARAM>(this));
    if (answer != IDOK || choice < 0 || choice >= static_cast<int>(memberNames.size()))
        return false;
    *chosen = memberNames[static_cast<size_t>(choice)];
    return true;
}
