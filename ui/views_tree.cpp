// The label field and the information tree (disk format, BIOS Parameter Block and FAT counts),
// and the setup of the views: image lists, the list's columns and the folder path field.
// The tree is information only; folders are navigated in the file list.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "directory/volume_facts.h"
#include "resources/resource_ids.h"
#include "ui/image_editor.h"
#include "ui/list_columns.h"
#include "ui/screen_scale.h"
#include "ui/wide_text.h"

namespace {

const int kLabelLimit = 11;

enum TreeImage { kTreeFolder = 0, kTreeDocument = 1, kTreeDrive35 = 2, kTreeDrive525 = 3 };

struct Column {
    const wchar_t* heading;
    int format;
    int width;  // at 96 dots per inch
};
const Column kListColumns[] = {
    {L"Name", LVCFMT_LEFT, 180},
    {L"Size", LVCFMT_RIGHT, 60},
    {L"Modified", LVCFMT_RIGHT, 120},  // at least; see modifiedColumnWidth
    {L"Attr", LVCFMT_LEFT, 32},
};
// Room a column needs beside its text (the list's own padding, left and right).
const int kColumnPadding = 14;

HIMAGELIST makeImageList(HINSTANCE instance, const int* icons, int count) {
    int size = scaleToScreen(16);
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR8 | ILC_MASK, count, 0);
    for (int i = 0; i < count; ++i) {
        // The picture of that size (16 x 16 at 96 dots per inch), rather than the large icon
        // shrunk by the image list.
        HICON icon = static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(icons[i]), IMAGE_ICON, size, size, 0));
        ImageList_AddIcon(list, icon);
        if (icon != nullptr) DestroyIcon(icon);
    }
    return list;
}

// Wide enough for the user's date and time formats: the widest of a few moments with two-digit
// days, months and hours, before and after noon, in the list's own font.
int modifiedColumnWidth(HWND list) {
    const uint16_t kDate = (2028 - 1980) << 9 | 12 << 5 | 28;
    const uint16_t kTimes[] = {22 << 11 | 58 << 5 | 29, 10 << 11 | 58 << 5 | 29};
    int width = scaleToScreen(kListColumns[kColumnModified].width);
    for (uint16_t time : kTimes) {
        char text[200];
        formatModified(kDate, time, text, sizeof text);
        int textWidth = static_cast<int>(SendMessageW(
            list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(wideText(text).c_str())));
        if (textWidth + scaleToScreen(kColumnPadding) > width)
            width = textWidth + scaleToScreen(kColumnPadding);
    }
    return width;
}

HTREEITEM addNode(HWND tree, HTREEITEM parent, const std::string& text, int image, UINT state = 0) {
    std::wstring wide = wideText(text);
    TVINSERTSTRUCTW insert;
    std::memset(&insert, 0, sizeof insert);
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
    insert.item.pszText = &wide[0];
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.state = state;
    insert.item.stateMask = state;
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void addFigures(HWND tree, HTREEITEM parent, const std::vector<VolumeFigure>& figures) {
    for (const VolumeFigure& figure : figures) {
        char text[64];
        std::snprintf(text, sizeof text, figure.format, figure.value);
        addNode(tree, parent, text, kTreeDocument);
    }
}

}  // namespace

void ImageEditor::setupViews() {
    SendMessageW(control(IDC_VOLUME_LABEL), EM_LIMITTEXT, kLabelLimit, 0);

    const int treeIcons[] = {IDI_FOLDER, IDI_DOCUMENT, IDI_DRIVE_35, IDI_DRIVE_525};
    SendMessageW(control(IDC_INFO_TREE), TVM_SETIMAGELIST, TVSIL_NORMAL,
                 reinterpret_cast<LPARAM>(makeImageList(instance, treeIcons, 4)));

    HWND list = control(IDC_FILE_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(-1), LVS_EX_FULLROWSELECT);
    const int listIcons[] = {IDI_FOLDER, IDI_DOCUMENT, IDI_DELETED};
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL,
                 reinterpret_cast<LPARAM>(makeImageList(instance, listIcons, 3)));

    int index = 0;
    for (const Column& c : kListColumns) {
        LVCOLUMNW column;
        std::memset(&column, 0, sizeof column);
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = c.format;
        column.cx = index == kColumnModified ? modifiedColumnWidth(list) : scaleToScreen(c.width);
        column.pszText = const_cast<wchar_t*>(c.heading);
        column.iSubItem = index;
        SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
        ++index;
    }
    showSortArrow();

    // The path of the shown folder, above the list. A Unicode window, so that long names outside
    // the ANSI code page show as they are; read-only, so that the path can be selected and copied.
    HWND path = CreateWindowExW(
        0, L"EDIT", L"",
        WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, 0, 0, 0, 0,
        mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_FOLDER_PATH)), instance,
        nullptr);
    SendMessageW(path, WM_SETFONT, SendMessageW(mainWindow, WM_GETFONT, 0, 0), FALSE);
    // In the tab order as it reads: after the tree, before the list below it.
    SetWindowPos(path, control(IDC_INFO_TREE), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void ImageEditor::fillTree() {
    VolumeFacts facts = readVolumeFacts(*this);
    // The stored label is padded with blanks to 11; the field shows what was typed.
    std::string label = facts.label;
    label.erase(label.find_last_not_of(' ') + 1);
    setWindowTextUtf8(control(IDC_VOLUME_LABEL), label);

    HWND tree = control(IDC_INFO_TREE);
    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    HTREEITEM root = addNode(tree, TVI_ROOT, facts.disk,
                             facts.threeAndHalfInch ? kTreeDrive35 : kTreeDrive525, TVIS_BOLD);
    HTREEITEM bpb = addNode(tree, root, "BIOS Parameter Block (BPB)", kTreeFolder);
    for (const std::string* text : {&facts.oemId, &facts.fileSystem, &facts.serial})
        addNode(tree, bpb, *text, kTreeDocument);
    addFigures(tree, bpb, facts.bootFigures);
    HTREEITEM fat = addNode(tree, root, "FAT information", kTreeFolder);
    addFigures(tree, fat, facts.fatFigures);
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
}
