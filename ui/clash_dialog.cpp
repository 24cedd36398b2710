#include "ui/clash_dialog.h"

#include <string>

#include "platform/host_folder.h"
#include "resources/resource_ids.h"
#include "ui/wide_text.h"

namespace {

struct ClashQuestion {
    const char* path;
    bool forAll;
};

INT_PTR CALLBACK clashProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const ClashQuestion* question = reinterpret_cast<const ClashQuestion*>(lParam);
        // The name first, where it is read; the folder below it may be long.
        std::string text = "The folder already holds a file named \"" +
                           hostBaseName(question->path) + "\":\n" + hostFolderOf(question->path) +
                           "\n\nReplace it with the file from the image?";
        SetDlgItemTextW(dialog, IDC_CLASH_TEXT, wideText(text).c_str());
        return TRUE;  // the default button takes the focus
    }
    ClashQuestion* question = reinterpret_cast<ClashQuestion*>(
        GetWindowLongPtrW(dialog, DWLP_USER));
    if (question == nullptr) return FALSE;
    int id = message == WM_CLOSE ? IDCANCEL : message == WM_COMMAND ? LOWORD(wParam) : 0;
    if (id != IDC_CLASH_REPLACE && id != IDC_CLASH_SKIP && id != IDCANCEL) return FALSE;
    question->forAll = IsDlgButtonChecked(dialog, IDC_CLASH_FOR_ALL) == BST_CHECKED;
    EndDialog(dialog, id);
    return TRUE;
}

}  // namespace

ClashAnswer askReplaceOrSkip(HINSTANCE instance, HWND owner, const char* path, bool* forAll) {
    ClashQuestion question = {path, false};
    INT_PTR answer = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_EXTRACT_CLASH), owner,
                                     clashProc, reinterpret_cast<LPARAM>(&question));
    *forAll = question.forAll;
    if (answer == IDC_CLASH_REPLACE) return kClashAnswerReplace;
    return answer == IDC_CLASH_SKIP ? kClashAnswerSkip : kClashAnswerCancel;
}
