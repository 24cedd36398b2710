// Image > Check disk...: the findings of checkImage in a list; Repair mends them all as one
// edit (undo brings the damaged image back) and the list shows the check that follows.
#include <windows.h>

#include <string>
#include <vector>

#include "directory/disk_check.h"
#include "resources/resource_ids.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

namespace {

struct CheckDialog {
    ImageEditor* editor;
    std::vector<std::string> notes;  // what the last repair could not keep
};

void showCheck(HWND dialog, CheckDialog& state, const char* done) {
    DiskCheck check;
    checkImage(*state.editor, &check);
    HWND list = GetDlgItem(dialog, IDC_CHECK_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    LONG widest = 0;
    HDC dc = GetDC(list);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    auto add = [&](const std::string& line) {
        std::wstring text = wideText(line);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SIZE size;
        if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size))
            widest = size.cx > widest ? size.cx : widest;
    };
    for (const DiskFinding& f : check.findings) add(findingLine(f));
    for (const std::string& note : state.notes) add(note);
    SelectObject(dc, font);
    ReleaseDC(list, dc);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
    size_t n = check.findings.size();
    std::string summary = n == 0 ? "No damage found." : std::to_string(n) +
                                                           (n == 1 ? " finding." : " findings.");
    setWindowTextUtf8(GetDlgItem(dialog, IDC_CHECK_SUMMARY), done + summary);
    EnableWindow(GetDlgItem(dialog, IDC_CHECK_REPAIR), n == 0 ? FALSE : TRUE);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        showCheck(dialog, *reinterpret_cast<CheckDialog*>(lParam), "");
        return TRUE;
    }
    CheckDialog* state = reinterpret_cast<CheckDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (state == nullptr) return FALSE;
    if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    if (message != WM_COMMAND || LOWORD(wParam) != IDC_CHECK_REPAIR) return FALSE;
    ImageEditor& editor = *state->editor;
    if (editor.editsRefused()) return TRUE;
    state->notes.clear();
    int result = repairImage(editor, nullptr, &state->notes);
    if (result != kResultOk) {
        editor.showErrorReport();
        return TRUE;
    }
    editor.recordEdit();
    editor.rebuildViews();
    showCheck(dialog, *state, "Repaired. ");
    return TRUE;
}

}  // namespace

void ImageEditor::checkDiskCommand() {
    CheckDialog state{this, {}};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CHECK_DISK), mainWindow, dialogProc,
                    reinterpret_cast<LPARAM>(&state));
}
