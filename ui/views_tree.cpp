// The label field and the information tree (disk format, BIOS Parameter Block and FAT counts),
// and the setup of the views: image lists, the list's columns and the folder path field.
// The tree is information only; folders are navigated in the file list.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "resources/resource_ids.h"
#include "ui/image_editor.h"
#include "ui/list_columns.h"
#include "ui/screen_scale.h"

namespace {

const int kLabelLimit = 11;

enum TreeImage { kTreeFolder = 0, kTreeDocument = 1, kTreeDrive35 = 2, kTreeDrive525 = 3 };

struct Column {
    const char* heading;
    int format;
    int width;  // at 96 dots per inch
};
const Column kListColumns[] = {
    {"Name", LVCFMT_LEFT, 180},
    {"Size", LVCFMT_RIGHT, 60},
    {"Modified", LVCFMT_RIGHT, 120},  // at least; see modifiedColumnWidth
    {"Attr", LVCFMT_LEFT, 32},
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
            LoadImageA(instance, MAKEINTRESOURCEA(icons[i]), IMAGE_ICON, size, size, 0));
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
        int textWidth = static_cast<int>(
            SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text)));
        if (textWidth + scaleToScreen(kColumnPadding) > width)
            width = textWidth + scaleToScreen(kColumnPadding);
    }
    return width;
}

// The bytes of a boot sector text field, trailing blanks kept, as a terminated text.
void fieldText(const uint8_t* sector, int offset, int length, char* out) {
    std::memcpy(out, sector + offset, length);
    out[length] = '\0';
}

HTREEITEM addNode(HWND tree, HTREEITEM parent, const char* text, int image, UINT state = 0) {
    TVINSERTSTRUCTA insert;
    std::memset(&insert, 0, sizeof insert);
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.state = state;
    insert.item.stateMask = state;
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

}  // namespace

void ImageEditor::setupViews() {
    SendMessageA(control(IDC_VOLUME_LABEL), EM_LIMITTEXT, kLabelLimit, 0);

    const int treeIcons[] = {IDI_FOLDER, IDI_DOCUMENT, IDI_DRIVE_35, IDI_DRIVE_525};
    SendMessageA(control(IDC_INFO_TREE), TVM_SETIMAGELIST, TVSIL_NORMAL,
                 reinterpret_cast<LPARAM>(makeImageList(instance, treeIcons, 4)));

    HWND list = control(IDC_FILE_LIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(-1), LVS_EX_FULLROWSELECT);
    const int listIcons[] = {IDI_FOLDER, IDI_DOCUMENT};
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL,
                 reinterpret_cast<LPARAM>(makeImageList(instance, listIcons, 2)));

    int index = 0;
    for (const Column& c : kListColumns) {
        LVCOLUMNA column;
        std::memset(&column, 0, sizeof column);
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = c.format;
        column.cx = index == kColumnModified ? modifiedColumnWidth(list) : scaleToScreen(c.width);
        column.pszText = const_cast<char*>(c.heading);
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
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
    SendMessageW(path, WM_SETFONT, SendMessageA(mainWindow, WM_GETFONT, 0, 0), FALSE);
    // In the tab order right after the list, whose place it describes.
    SetWindowPos(path, list, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void ImageEditor::fillTree() {
    uint8_t sector[bs::kSize];
    copyBootSector(sector);
    char oemId[9], label[12], fileSystem[9];
    fieldText(sector, bs::kOemId, 8, oemId);
    fieldText(sector, bs::kVolumeLabel, 11, label);
    fieldText(sector, bs::kFileSystemType, 8, fileSystem);
    SetWindowTextA(control(IDC_VOLUME_LABEL), label);

    HWND tree = control(IDC_INFO_TREE);
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));

    uint16_t totalSectors = readLe16(sector + bs::kTotalSectors);
    uint16_t sectorBytes = readLe16(sector + bs::kBytesPerSector);
    bool is35 = isThreeAndHalfInchVolume(totalSectors);
    char text[64];
    int kilobytes = static_cast<int>(static_cast<uint32_t>(totalSectors) * sectorBytes / 1024);
    std::snprintf(text, sizeof text,
                  is35 ? "3.5\" Floppy Disk - %iKB" : "5.25\" Floppy Disk - %iKB", kilobytes);
    HTREEITEM root = addNode(tree, TVI_ROOT, text, is35 ? kTreeDrive35 : kTreeDrive525, TVIS_BOLD);

    HTREEITEM bpb = addNode(tree, root, "BIOS Parameter Block (BPB)", kTreeFolder);
    uint32_t serial = readLe32(sector + bs::kSerialNumber);
    struct Line {
        const char* format;
        long value;
    };
    addNode(tree, bpb, oemId, kTreeDocument);
    addNode(tree, bpb, fileSystem, kTreeDocument);
    std::snprintf(text, sizeof text, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                  static_cast<unsigned>(serial & 0xFFFF));
    addNode(tree, bpb, text, kTreeDocument);
    const Line bpbLines[] = {
        {"%i heads", readLe16(sector + bs::kHeads)},
        {"%i FATs", sector[bs::kNumberOfFats]},
        {"%i bytes per sector", sectorBytes},
        {"%i sectors total", totalSectors},
        {"%i sectors reserved", readLe16(sector + bs::kReservedSectors)},
        {"%i sectors hidden", static_cast<int32_t>(readLe32(sector + bs::kHiddenSectors))},
        {"%i sectors per cluster", sector[bs::kSectorsPerCluster]},
        {"%i sectors per track", readLe16(sector + bs::kSectorsPerTrack)},
        {"%i sectors per FAT", readLe16(sector + bs::kSectorsPerFat)},
        {"max. %i root entries", readLe16(sector + bs::kRootEntries)},
    };
    for (const Line& line : bpbLines) {
        std::snprintf(text, sizeof text, line.format, static_cast<int>(line.value));
        addNode(tree, bpb, text, kTreeDocument);
    }

    HTREEITEM fat = addNode(tree, root, "FAT information", kTreeFolder);
    const Line fatLines[] = {
        {"%i used clusters", countUsedClusters()},
        {"%i reserved clusters", countReservedClusters()},
        {"%i bad clusters", countBadClusters()},
        {"%i free clusters", countFreeClusters()},
    };
    for (const Line& line : fatLines) {
        std::snprintf(text, sizeof text, line.format, static_cast<int>(line.value));
        addNode(tree, fat, text, kTreeDocument);
    }
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
}
