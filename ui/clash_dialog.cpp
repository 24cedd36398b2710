#include "ui/clash_dialog.h"

#include <string>

#include "platform/host_folder.h"
#include "resources/resource_ids.h"
#include "ui/wide_text.h"

namespace {

struct ClashQuestion {
    std::string text;
    bool keepBoth;    // insertion's question: Keep both is offered
    bool canReplace;
    bool forAll;
};

// Extraction has no Keep both: Replace and Skip move right into its place and Skip's.
void dropKeepBoth(HWND dialog) {
    RECT skip, keep;
    GetWindowRect(GetDlgItem(dialog, IDC_CLASH_SKIP), &skip);
    GetWindowRect(GetDlgItem(dialog, IDC_CLASH_KEEP_BOTH), &keep);
    int shift = keep.left - skip.left;
    for (int id : {IDC_CLASH_REPLACE, IDC_CLASH_SKIP}) {
        HWND button = GetDlgItem(dialog, id);
        RECT at;
        GetWindowRect(button, &at);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&at), 2);
        SetWindowPos(button, nullptr, at.left + shift, at.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(GetDlgItem(dialog, IDC_CLASH_KEEP_BOTH), SW_HIDE);
}

INT_PTR CALLBACK clashProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const ClashQuestion* question = reinterpret_cast<const ClashQuestion*>(lParam);
        SetDlgItemTextW(dialog, IDC_CLASH_TEXT, wideText(question->text).c_str());
        if (!question->keepBoth) return (dropKeepBoth(dialog), TRUE);
        SetWindowTextW(dialog, L"Name exists");
        if (question->canReplace) return TRUE;  // the default button takes the focus
        // Nothing to replace: Keep both becomes the default.
        EnableWindow(GetDlgItem(dialog, IDC_CLASH_REPLACE), FALSE);
        SendMessageW(dialog, DM_SETDEFID, IDC_CLASH_KEEP_BOTH, 0);
        SetFocus(GetDlgItem(dialog, IDC_CLASH_KEEP_BOTH));
        return FALSE;
    }
    ClashQuestion* question = reinterpret_cast<ClashQuestion*>(
        GetWindowLongPtrW(dialog, DWLP_USER));
    if (question == nullptr) return FALSE;
    int id = message == WM_CLOSE ? IDCANCEL : message == WM_COMMAND ? LOWORD(wParam) : 0;
    if (id != IDC_CLASH_REPLACE && id != IDC_CLASH_SKIP && id != IDC_CLASH_KEEP_BOTH &&
        id != IDCANCEL)
        return FALSE;
    question->forAll = IsDlgButtonChecked(dialog, IDC_CLASH_FOR_ALL) == BST_CHECKED;
    EndDialog(dialog, id);
    return TRUE;
}

ClashAnswer ask(HINSTANCE instance, HWND owner, ClashQuestion& question, bool* forAll) {
    INT_PTR answer = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_EXTRACT_CLASH), owner,
                                     clashProc, reinterpret_cast<LPARAM>(&question));
    *forAll = question.forAll;
    switch (answer) {
    case IDC_CLASH_REPLACE: return kClashAnswerReplace;
    case IDC_CLASH_SKIP: return kClashAnswerSkip;
    case IDC_CLASH_KEEP_BOTH: return kClashAnswerKeepBoth;
    default: return kClashAnswerCancel;
    }
}

}  // namespace

ClashAnswer askReplaceOrSkip(HINSTANCE instance, HWND owner, const char* path, bool* forAll) {
    // The name first, where it is read; the folder below it may be long.
    ClashQuestion question = {"The folder already holds a file named \"" + hostBaseName(path) +
                                  "\":\n" + hostFolderOf(path) +
                                  "\n\nReplace it with the file from the image?",
                              false, true, false};
    return ask(instance, owner, question, forAll);
}

ClashAnswer askInsertClash(HINSTANCE instance, HWND owner, const std::string& name,
                           bool oldIsFolder, bool newIsFolder, bool* forAll) {
    std::string text = std::string("This folder already holds a ") +
                       (oldIsFolder ? "folder" : "file") + " named \"" + name + "\".\n\n";
    if (oldIsFolder != newIsFolder)
        text += std::string("A ") + (newIsFolder ? "folder" : "file") + " cannot replace it: " +
                "skip the inserted one, or keep both under a numbered name?";
    else if (oldIsFolder)
        text += "Replace merges the inserted folder into it (names they share are asked about "
                "in turn); Keep both inserts it under a numbered name.";
    else
        text += "Replace it with the inserted file, skip the inserted file, or keep both (the "
                "inserted one under a numbered name)?";
    ClashQuestion question = {text, true, oldIsFolder == newIsFolder, false};
    return ask(instance, owner, question, forAll);
}
