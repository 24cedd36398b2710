#include "ui/dropped_image_dialog.h"

#include <string>

#include "platform/host_folder.h"
#include "resources/resource_ids.h"
#include "ui/wide_text.h"

namespace {

INT_PTR CALLBACK droppedProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        std::string text = "\"" + hostBaseName(reinterpret_cast<const char*>(lParam)) +
                           "\" looks like a disk image.\n\nOpen it as the image, or insert it "
                           "into this folder as a file?";
        SetDlgItemTextW(dialog, IDC_DROPPED_TEXT, wideText(text).c_str());
        return TRUE;
    }
    int id = message == WM_CLOSE ? IDCANCEL : message == WM_COMMAND ? LOWORD(wParam) : 0;
    if (id != IDC_DROPPED_OPEN && id != IDC_DROPPED_INSERT && id != IDCANCEL) return FALSE;
    EndDialog(dialog, id);
    return TRUE;
}

}  // namespace

DroppedImageAnswer askDroppedImage(HINSTANCE instance, HWND owner, const char* path) {
    INT_PTR answer = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_DROPPED_IMAGE), owner,
                                     droppedProc, reinterpret_cast<LPARAM>(path));
    return answer == IDC_DROPPED_OPEN     ? kDroppedOpen
           : answer == IDC_DROPPED_INSERT ? kDroppedInsert
                                          : kDroppedCancel;
}
