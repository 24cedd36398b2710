#include "ui/properties_dialog.h"

#include "directory/dir_entry.h"
#include "resources/resource_ids.h"
#include "ui/wide_text.h"

namespace {

struct AttributeBox {
    int id;
    uint8_t bit;
};
const AttributeBox kBoxes[] = {
    {IDC_PROP_READ_ONLY, de::kAttrReadOnly},
    {IDC_PROP_HIDDEN, de::kAttrHidden},
    {IDC_PROP_SYSTEM, de::kAttrSystem},
    {IDC_PROP_ARCHIVE, de::kAttrArchive},
};

void fill(HWND dialog, const PropertiesDialog& record) {
    // A Unicode dialog, so that long names outside the ANSI code page show as they are.
    SetDlgItemTextW(dialog, IDC_PROP_LONG_NAME,
                    record.longName[0] != L'\0' ? record.longName : L"(none)");
    SetDlgItemTextW(dialog, IDC_PROP_SHORT_NAME, record.shortName);
    setWindowTextUtf8(GetDlgItem(dialog, IDC_PROP_SIZE), record.size);
    setWindowTextUtf8(GetDlgItem(dialog, IDC_PROP_MODIFIED), record.modified);
    setWindowTextUtf8(GetDlgItem(dialog, IDC_PROP_CLUSTER), record.firstCluster);
    for (const AttributeBox& box : kBoxes)
        CheckDlgButton(dialog, box.id, (record.attributes & box.bit) ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR CALLBACK propertiesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        fill(dialog, *reinterpret_cast<PropertiesDialog*>(lParam));
        SetFocus(GetDlgItem(dialog, IDC_PROP_READ_ONLY));
        return FALSE;
    }
    PropertiesDialog* record = reinterpret_cast<PropertiesDialog*>(
        GetWindowLongPtrW(dialog, DWLP_USER));
    if (record == nullptr) return FALSE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        for (const AttributeBox& box : kBoxes) {
            bool on = IsDlgButtonChecked(dialog, box.id) == BST_CHECKED;
            record->attributes = static_cast<uint8_t>(on ? record->attributes | box.bit
                                                         : record->attributes & ~box.bit);
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

}  // namespace

bool PropertiesDialog::show(HWND owner) {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROPERTIES), owner, propertiesProc,
                           reinterpret_cast<LPARAM>(this)) == IDOK;
}
