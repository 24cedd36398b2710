#include "ui/new_image_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "image/disk_types.h"
#include "image/volume_label.h"
#include "resources/resource_ids.h"
#include "ui/screen_scale.h"
#include "ui/wide_text.h"

namespace {

// The one open dialog's record, from its initialisation on.
NewImageDialog* gOpenDialog = nullptr;

struct TypeItem {
    const wchar_t* text;
    int image;  // 0: 3.5-inch drive icon, 1: 5.25-inch drive icon
};

// In disk type order (index = disk type).
const TypeItem kTypeItems[] = {
    {L"3.5\" 720KB image", 0},
    {L"3.5\" 820KB image (non-standard)", 0},
    {L"3.5\" 1440KB image", 0},
    {L"3.5\" 1680KB image (non-standard)", 0},
    {L"3.5\" 1722KB image (non-standard)", 0},
    {L"3.5\" 2880KB image", 0},
    {L"5.25\" 160KB image", 1},
    {L"5.25\" 180KB image", 1},
    {L"5.25\" 320KB image", 1},
    {L"5.25\" 360KB image", 1},
    {L"5.25\" 1200KB image", 1},
    {L"3.5\" DMF 1680KB image (2KB clusters)", 0},
    {L"3.5\" DMF 1680KB image (1KB clusters)", 0},
    {L"3.5\" DMF 1722KB image (82 cylinders)", 0},
};
static_assert(sizeof kTypeItems / sizeof kTypeItems[0] == kDiskTypeCount, "a row for each type");

const int kPreselectedType = 2;  // 1440KB
// The type box in dialog units (x, y, width, height with the list dropped down): beside "Image
// type", in line with the label and OEM ID edits.
const int kTypeBox[] = {65, 9, 145, 80};
const wchar_t kDefaultLabel[] = L"NO NAME";
const wchar_t kDefaultOemId[] = L"TOLVEN";

// A field's text in UTF-8, cut to the `size` bytes of a record buffer (terminator included).
void readField(HWND dialog, int id, char* out, size_t size) {
    std::string text = windowTextUtf8(GetDlgItem(dialog, id));
    std::snprintf(out, size, "%s", text.c_str());
}

void addIcon(HIMAGELIST images, HINSTANCE instance, int iconId) {
    HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                               scaleToScreen(16), scaleToScreen(16), 0));
    if (icon == nullptr) return;
    ImageList_AddIcon(images, icon);  // the list keeps a copy
    DestroyIcon(icon);
}

}  // namespace

const wchar_t* diskTypeItemText(int diskType) {
    return diskType >= 0 && diskType < kDiskTypeCount ? kTypeItems[diskType].text : nullptr;
}

bool NewImageDialog::show(HWND owner) {
    created = 0;
    window = nullptr;
    typeCombo = nullptr;
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_NEW_IMAGE), owner, dialogProc,
                    reinterpret_cast<LPARAM>(this));
    gOpenDialog = nullptr;  // the record may not outlive the next dialog's first messages
    return created != 0;
}

char* NewImageDialog::getLabel(char* buffer) const {
    std::memcpy(buffer, label, sizeof label);
    return buffer;
}

char* NewImageDialog::getOemId(char* buffer) const {
    std::memcpy(buffer, oemId, sizeof oemId);
    return buffer;
}

void NewImageDialog::createTypeCombo() {
    HIMAGELIST images = ImageList_Create(scaleToScreen(16), scaleToScreen(16),
                                         ILC_COLOR8 | ILC_MASK, 2, 0);
    addIcon(images, instance, IDI_DRIVE_35);
    addIcon(images, instance, IDI_DRIVE_525);

    typeCombo = CreateWindowExW(0, WC_COMBOBOXEXW, L"",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | CBS_DROPDOWNLIST,
                                0, 0, 0, 150, window, nullptr, instance, nullptr);
    SendMessageW(typeCombo, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));

    int index = 0;
    for (const TypeItem& type : kTypeItems) {
        COMBOBOXEXITEMW item;
        std::memset(&item, 0, sizeof item);
        item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT;
        item.iItem = index++;
        item.pszText = const_cast<wchar_t*>(type.text);
        item.iImage = type.image;
        item.iSelectedImage = type.image;
        item.iIndent = 0;
        SendMessageW(typeCombo, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    // Placed in dialog units, like the edits below it, so that it keeps clear of its label at
    // every screen resolution and font size; the height includes the dropped-down list. Right
    // after its label in the z order: Tab reaches it first, and the label's Alt+T reaches it.
    RECT place = {kTypeBox[0], kTypeBox[1], kTypeBox[0] + kTypeBox[2], kTypeBox[1] + kTypeBox[3]};
    MapDialogRect(window, &place);
    // The dropped-down list shows every type without scrolling, however tall the icons and the
    // text are on this screen: its height is measured from the items.
    HWND combo = reinterpret_cast<HWND>(SendMessageW(typeCombo, CBEM_GETCOMBOCONTROL, 0, 0));
    SendMessageW(combo, CB_SETMINVISIBLE, kDiskTypeCount, 0);
    int field = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    int item = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    int height = std::max(static_cast<int>(place.bottom - place.top),
                          field + kDiskTypeCount * item + 4 * GetSystemMetrics(SM_CYEDGE));
    SetWindowPos(typeCombo, GetDlgItem(window, IDC_NEW_TYPE_LABEL), place.left, place.top,
                 place.right - place.left, height, SWP_NOACTIVATE);
    // Some common controls keep the inner box's list at its height when created: a box made
    // taller is kept at its field's height but drops down a list that tall.
    RECT inner;
    GetWindowRect(combo, &inner);
    SetWindowPos(combo, nullptr, 0, 0, inner.right - inner.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(typeCombo, CB_SETCURSEL, kPreselectedType, 0);
}

void NewImageDialog::initDialog(HWND dialog) {
    window = dialog;
    createTypeCombo();
    SendDlgItemMessageW(dialog, IDC_NEW_LABEL, EM_LIMITTEXT, 11, 0);
    SetDlgItemTextW(dialog, IDC_NEW_LABEL, kDefaultLabel);
    SendDlgItemMessageW(dialog, IDC_NEW_OEM_ID, EM_LIMITTEXT, 8, 0);
    SetDlgItemTextW(dialog, IDC_NEW_OEM_ID, kDefaultOemId);
    SetFocus(GetDlgItem(dialog, IDC_NEW_CREATE));
}

void NewImageDialog::readChoice() {
    typeIndex = static_cast<int32_t>(SendMessageW(typeCombo, CB_GETCURSEL, 0, 0));
    if (typeIndex < 0) return;  // CB_ERR: nothing selected, nothing created
    created = 1;
    std::memset(label, 0, sizeof label);
    std::memset(oemId, 0, sizeof oemId);
    readField(window, IDC_NEW_LABEL, label, sizeof label);
    readField(window, IDC_NEW_OEM_ID, oemId, sizeof oemId);
}

bool NewImageDialog::labelAccepted() {
    std::string text = windowTextUtf8(GetDlgItem(window, IDC_NEW_LABEL));
    if (readVolumeLabel(text.c_str(), nullptr) != kLabelInvalid) return true;
    MessageBoxW(window, L"Invalid character in volume label!", L"Error", MB_ICONERROR);
    SetFocus(GetDlgItem(window, IDC_NEW_LABEL));
    return false;
}

INT_PTR CALLBACK NewImageDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        gOpenDialog = reinterpret_cast<NewImageDialog*>(lParam);
        gOpenDialog->initDialog(dialog);
        return FALSE;  // the focus stays on Create
    }
    if (gOpenDialog == nullptr || gOpenDialog->window != dialog) return FALSE;

    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_NEW_CREATE) {
            if (!gOpenDialog->labelAccepted()) return TRUE;  // the dialog stays open
            gOpenDialog->readChoice();
            EndDialog(dialog, 0);
        } else if (LOWORD(wParam) == IDC_NEW_CANCEL || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        return TRUE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    case WM_DESTROY: {
        // The combo box does not own the image list it was given.
        HIMAGELIST images = reinterpret_cast<HIMAGELIST>(
            SendMessageW(gOpenDialog->typeCombo, CBEM_GETIMAGELIST, 0, 0));
        if (images != nullptr) ImageList_Destroy(images);
        gOpenDialog->window = nullptr;
        gOpenDialog->typeCombo = nullptr;
        return TRUE;
    }
    default: return FALSE;
    }
}
