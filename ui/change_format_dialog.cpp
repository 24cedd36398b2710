#include "ui/change_format_dialog.h"

#include "image/disk_types.h"
#include "resources/resource_ids.h"
#include "ui/new_image_dialog.h"

namespace {

struct Choice {
    int current;
    int chosen;
};

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const Choice* choice = reinterpret_cast<const Choice*>(lParam);
        HWND types = GetDlgItem(dialog, IDC_CHANGE_FORMAT_TYPE);
        for (int t = 0; t < kDiskTypeCount; ++t)
            SendMessageW(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(diskTypeItemText(t)));
        SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(choice->current), 0);
        return TRUE;  // the focus on the type box
    }
    Choice* choice = reinterpret_cast<Choice*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (choice == nullptr) return FALSE;
    if (message == WM_CLOSE) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDOK) {
        LRESULT selected = SendDlgItemMessageW(dialog, IDC_CHANGE_FORMAT_TYPE, CB_GETCURSEL, 0, 0);
        if (selected == CB_ERR) return TRUE;  // nothing chosen: the dialog stays
        choice->chosen = static_cast<int>(selected);
        EndDialog(dialog, 0);
    } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
    }
    return TRUE;
}

}  // namespace

int chooseNewDiskType(HWND owner, HINSTANCE instance, int current) {
    Choice choice = {current, -1};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CHANGE_FORMAT), owner, dialogProc,
                    reinterpret_cast<LPARAM>(&choice));
    return choice.chosen;
}
