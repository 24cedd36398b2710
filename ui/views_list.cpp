// The file list, the status line and the folder path: the entries of the shown folder as
// DirListEntry records, one list item per record, in the order the user chose; the navigation
// between folders, and refreshes that keep the user's place.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/folder_path.h"
#include "directory/folder_walk.h"
#include "image/boot_sector.h"
#include "resources/resource_ids.h"
#include "ui/image_editor.h"
#include "ui/list_columns.h"
#include "ui/wide_text.h"

namespace {

enum ListImage { kListFolder = 0, kListDocument = 1, kListDeleted = 2 };

uint16_t startCluster(const DirListEntry* record) { return entryFirstCluster(record->rawEntry); }
bool isFolder(const DirListEntry* record) { return isFolderEntry(record->rawEntry); }
bool isParentEntry(const DirListEntry* record) {
    return isDotEntry(record->rawEntry) && record->rawEntry[1] == de::kDotName;
}

void setColumnText(HWND list, int index, int column, const char* text) {
    std::wstring wide = wideText(text);
    LVITEMW item;
    std::memset(&item, 0, sizeof item);
    item.iSubItem = column;
    item.pszText = &wide[0];
    SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
}

void setItemState(HWND list, int index, UINT state, UINT mask) {
    LVITEMW item;
    std::memset(&item, 0, sizeof item);
    item.state = state;
    item.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

int nextItem(HWND list, int after, UINT flags) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, after, MAKELPARAM(flags, 0)));
}

// An entry of the shown folder, told apart from the others by its slot and its stored name (a
// slot freed and used again by another entry between two refreshes is another entry).
struct EntryKey {
    int32_t cluster;
    int32_t index;
    uint8_t name[11];  // name and extension as stored

    explicit EntryKey(const DirListEntry* record)
        : cluster(record->entryCluster), index(record->entryIndex) {
        std::memcpy(name, record->rawEntry, sizeof name);
    }
    bool operator<(const EntryKey& other) const {
        if (cluster != other.cluster) return cluster < other.cluster;
        if (index != other.index) return index < other.index;
        return std::memcmp(name, other.name, sizeof name) < 0;
    }
    bool operator==(const EntryKey& other) const { return !(*this < other) && !(other < *this); }
};

// What a refresh of the same folder keeps: the selected entries, the focused entry (and its
// place, for when it is gone), and the first item in view.
struct ListViewState {
    std::vector<EntryKey> selected;  // sorted
    std::vector<EntryKey> focused;   // none or one
    int focusedIndex = -1;
    int topIndex = 0;
};

}  // namespace

void ImageEditor::freeEntries() {
    SendMessageW(control(IDC_FILE_LIST), LVM_DELETEALLITEMS, 0, 0);
    listedRecords.clear();
    while (entries != nullptr) {
        DirListEntry* next = entries->next;
        delete entries;
        entries = next;
    }
}

void ImageEditor::readEntries() {
    // No folder can hold more entries than the volume has slots; a walk that goes on beyond that
    // is circling in a damaged chain, and the list stops there.
    long slotLimit = static_cast<long>(clusterCount) * entriesPerCluster + rootEntryCount();
    long count = 0;
    DirListEntry* last = nullptr;
    static_assert(sizeof(DirListEntry::longName) == sizeof(WalkedEntry::longName),
                  "the list keeps the walker's long name");
    forEachEntry(*this, static_cast<uint16_t>(currentDirCluster), [&](const WalkedEntry& e) {
        if (count >= slotLimit) return true;
        // Without memory for another record the list shows the entries read so far.
        DirListEntry* record = new (std::nothrow) DirListEntry;
        if (record == nullptr) return true;
        std::memcpy(record->rawEntry, e.entry, sizeof record->rawEntry);
        std::memcpy(record->longName, e.longName, sizeof record->longName);
        record->longName[kLongNameChars - 1] = L'\0';  // a full 260-unit name has no terminator
        record->hasLongName = record->longName[0] != L'\0';
        record->entryCluster = e.entryCluster;
        record->entryIndex = e.entryIndex;
        record->longNameCluster = e.longNameCluster;
        record->longNameIndex = e.longNameIndex;
        record->deleted = false;
        record->next = nullptr;
        if (last == nullptr) entries = record;
        else last->next = record;
        last = record;
        ++count;
        return false;
    });
    if (showDeleted) readDeletedEntries(&last);
}

void ImageEditor::fillList() {
    HWND list = control(IDC_FILE_LIST);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    fillItems();
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    showStatus();
}

// One pass: the records are put in list order first and the items inserted at the end in that
// order, with room for all of them reserved. Under Wine each item inserted into a list that
// redraws costs about 10 ms (1,000 items: 10 s), so the callers turn redrawing off around it.
void ImageEditor::fillItems() {
    HWND list = control(IDC_FILE_LIST);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    listedRecords.clear();
    for (DirListEntry* record = entries; record != nullptr; record = record->next) {
        if (record->longName[0] == L'\0')
            shortDisplayName(record->rawEntry, reinterpret_cast<uint16_t*>(record->longName));
        listedRecords.push_back(record);
    }

    std::vector<int> order(listedRecords.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compareListRecords(listedRecords[a], listedRecords[b], sortColumn, sortDescending) <
               0;
    });
    SendMessageW(list, LVM_SETITEMCOUNT, order.size(), 0);

    int position = 0;
    for (int ordinal : order) {
        const DirListEntry* record = listedRecords[ordinal];
        const uint8_t* raw = record->rawEntry;
        wchar_t name[kLongNameChars + 4];
        displayName(record, name, sizeof name / sizeof name[0]);
        // The item data is the record's place in walk order: the start cluster does not tell
        // records apart (empty files and ".." of a folder below the root all start at 0).
        LVITEMW item;
        std::memset(&item, 0, sizeof item);
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = position;
        item.pszText = name;
        item.iImage = record->deleted ? kListDeleted : isFolder(record) ? kListFolder : kListDocument;
        item.lParam = static_cast<LPARAM>(ordinal);
        int index = static_cast<int>(
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0) continue;

        char text[200];
        // A folder's size field holds nothing that means a size, as Explorer shows it.
        if (!isFolder(record)) {
            std::snprintf(text, sizeof text, "%i",
                          static_cast<int32_t>(readLe32(raw + de::kFileSize)));
            setColumnText(list, index, kColumnSize, text);
        }
        formatModified(readLe16(raw + de::kDate), readLe16(raw + de::kTime), text, sizeof text);
        setColumnText(list, index, kColumnModified, text);
        attributeLetters(raw[de::kAttributes], text);
        setColumnText(list, index, kColumnAttributes, text);
        ++position;
    }
}

namespace {

// A selection's size as Explorer states it: bytes below 1 KB, else whole KB rounded up.
std::string sizeText(uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    return std::to_string((bytes + 1023) / 1024) + " KB";
}

}  // namespace

void ImageEditor::showStatus() {
    statusPending = false;
    std::vector<const DirListEntry*> counted = selectedEntries();
    bool selection = !counted.empty();
    if (!selection) counted.assign(listedRecords.begin(), listedRecords.end());
    int folders = 0, files = 0;
    uint32_t totalBytes = 0;  // shown as a signed 32-bit number
    for (const DirListEntry* record : counted) {
        if (record->deleted) continue;  // the status line tells what the folder holds
        if (!isFolder(record)) {
            ++files;
            totalBytes += readLe32(record->rawEntry + de::kFileSize);
        } else if (!isDotEntry(record->rawEntry)) {
            ++folders;
        }
    }
    char status[160];
    if (!selection)
        std::snprintf(status, sizeof status,
                      "Directory contains %i folders, %i files, %i bytes total. %lu bytes free.",
                      folders, files, static_cast<int32_t>(totalBytes),
                      static_cast<unsigned long>(freeBytes()));
    else
        // Folders alone have no size to state.
        std::snprintf(status, sizeof status, "%i item%s selected%s. %lu bytes free.",
                      folders + files, folders + files == 1 ? "" : "s",
                      files > 0 ? (", " + sizeText(totalBytes)).c_str() : "",
                      static_cast<unsigned long>(freeBytes()));
    setWindowTextUtf8(control(IDC_STATUS_LINE), status);
}

bool ImageEditor::drawListItem(const NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_FILE_LIST || header->code != static_cast<UINT>(NM_CUSTOMDRAW))
        return false;
    NMLVCUSTOMDRAW* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(header));
    *result = CDRF_DODEFAULT;
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
    } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        // The item data is the record's place in walk order (see fillItems). Deleted, hidden
        // and system entries are dimmed.
        LPARAM ordinal = static_cast<LPARAM>(draw->nmcd.lItemlParam);
        const DirListEntry* record =
            ordinal >= 0 && static_cast<size_t>(ordinal) < listedRecords.size()
                ? listedRecords[static_cast<size_t>(ordinal)]
                : nullptr;
        if (record != nullptr &&
            (record->deleted ||
             (record->rawEntry[de::kAttributes] & (de::kAttrHidden | de::kAttrSystem)) != 0)) {
            draw->clrText = GetSysColor(COLOR_GRAYTEXT);
            *result = CDRF_NEWFONT;
        }
    }
    return true;
}

DirListEntry* ImageEditor::entryForItem(int index) const {
    DirListEntry* record = recordForItem(index);
    return record != nullptr && !record->deleted ? record : nullptr;
}

DirListEntry* ImageEditor::recordForItem(int index) const {
    if (index < 0) return nullptr;
    LVITEMW item;
    std::memset(&item, 0, sizeof item);
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageW(control(IDC_FILE_LIST), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    if (item.lParam < 0 || static_cast<size_t>(item.lParam) >= listedRecords.size()) return nullptr;
    return listedRecords[item.lParam];
}

int32_t ImageEditor::openEntry(int index) {
    DirListEntry* record = entryForItem(index);
    if (record == nullptr || !isFolder(record)) return -1;  // files are viewed, not opened here
    int32_t result = isParentEntry(record) ? currentDirCluster : startCluster(record);
    currentDirCluster = startCluster(record);
    refreshDirectory();
    return result;
}

void ImageEditor::selectItemsOfCluster(int32_t cluster) {
    HWND list = control(IDC_FILE_LIST);
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    int first = -1;
    for (int i = 0; i < count; ++i) {
        DirListEntry* record = entryForItem(i);
        if (record == nullptr || startCluster(record) != cluster) continue;
        setItemState(list, i, LVIS_FOCUSED | LVIS_SELECTED,
                     LVIS_FOCUSED | LVIS_SELECTED | LVIS_CUT | LVIS_DROPHILITED);
        if (first < 0) first = i;
    }
    if (first < 0) return;
    // In a long folder the folder left may be far down: it is shown, and Enter starts from it.
    SendMessageW(list, LVM_SETSELECTIONMARK, 0, first);
    SendMessageW(list, LVM_ENSUREVISIBLE, first, FALSE);
}

void ImageEditor::activateItem(int index) {
    DirListEntry* record = entryForItem(index);
    if (record == nullptr) return;
    if (!isFolder(record)) {
        viewCommand();
        return;
    }
    bool up = isParentEntry(record);
    int32_t cluster = openEntry(index);
    if (cluster < 0) return;
    if (up) {
        selectItemsOfCluster(cluster);
        return;
    }
    // Entering a folder: its first entry (after "[ .. ]") has the focus, unselected, so that the
    // arrow keys and Space start there, as in Explorer.
    HWND list = control(IDC_FILE_LIST);
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    int first = 0;
    for (; first + 1 < count; ++first) {
        const DirListEntry* item = entryForItem(first);
        if (item == nullptr || !isDotEntry(item->rawEntry)) break;
    }
    if (first >= count) return;
    setItemState(list, first, LVIS_FOCUSED, LVIS_FOCUSED);
    SendMessageW(list, LVM_SETSELECTIONMARK, 0, first);
}

void ImageEditor::openParentFolder() {
    for (size_t ordinal = 0; ordinal < listedRecords.size(); ++ordinal) {
        if (!isParentEntry(listedRecords[ordinal])) continue;
        LVFINDINFOW find;
        std::memset(&find, 0, sizeof find);
        find.flags = LVFI_PARAM;
        find.lParam = static_cast<LPARAM>(ordinal);
        int index = static_cast<int>(SendMessageW(control(IDC_FILE_LIST), LVM_FINDITEMW,
                                                  static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(&find)));
        if (index >= 0) activateItem(index);
        return;
    }
}

void ImageEditor::selectAllEntries() {
    HWND list = control(IDC_FILE_LIST);
    setItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        DirListEntry* record = entryForItem(i);
        if (record != nullptr && isDotEntry(record->rawEntry))
            setItemState(list, i, 0, LVIS_SELECTED);
    }
}

namespace {

// Makes `top` the first item in view. The list keeps its scroll position when its items are
// deleted while it does not redraw, so the shift is taken from where it is.
void scrollToItem(HWND list, int top) {
    int shift = top - static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    RECT row = {};
    row.left = LVIR_BOUNDS;
    if (shift != 0 && SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)))
        SendMessageW(list, LVM_SCROLL, 0, shift * (row.bottom - row.top));
}

ListViewState captureViewState(const ImageEditor& editor, HWND list) {
    ListViewState state;
    for (int i = nextItem(list, -1, LVNI_SELECTED); i >= 0; i = nextItem(list, i, LVNI_SELECTED)) {
        const DirListEntry* record = editor.recordForItem(i);
        if (record != nullptr) state.selected.push_back(EntryKey(record));
    }
    std::sort(state.selected.begin(), state.selected.end());
    state.focusedIndex = nextItem(list, -1, LVNI_FOCUSED);
    const DirListEntry* focused = editor.recordForItem(state.focusedIndex);
    if (focused != nullptr) state.focused.push_back(EntryKey(focused));
    state.topIndex = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    return state;
}

// The focus goes back to its entry, or, when that is gone, to the item now at its place; only
// entries that were selected are selected again, so a deleted selection selects nothing new.
void restoreViewState(const ImageEditor& editor, HWND list, const ListViewState& state) {
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    if (count == 0) return;
    int focus = -1;
    for (int i = 0; i < count; ++i) {
        const DirListEntry* record = editor.recordForItem(i);
        if (record == nullptr) continue;
        EntryKey key(record);
        if (std::binary_search(state.selected.begin(), state.selected.end(), key))
            setItemState(list, i, LVIS_SELECTED, LVIS_SELECTED);
        if (!state.focused.empty() && state.focused.front() == key) focus = i;
    }
    if (focus < 0 && state.focusedIndex >= 0) focus = std::min(state.focusedIndex, count - 1);
    if (focus >= 0) {
        setItemState(list, focus, LVIS_FOCUSED, LVIS_FOCUSED);
        SendMessageW(list, LVM_SETSELECTIONMARK, 0, focus);
    }
    scrollToItem(list, state.topIndex);
}

}  // namespace

void ImageEditor::refreshDirectory() {
    HWND list = control(IDC_FILE_LIST);
    bool sameFolder = shownDirCluster == currentDirCluster;
    ListViewState state;
    if (sameFolder) state = captureViewState(*this, list);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    freeEntries();
    readEntries();
    fillItems();
    if (sameFolder) restoreViewState(*this, list, state);
    else scrollToItem(list, 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    shownDirCluster = currentDirCluster;
    showFolderPath();
    showStatus();
}

void ImageEditor::forgetShownFolder() { shownDirCluster = -1; }

void ImageEditor::showFolderPath() {
    std::u16string path = folderPath(*this, static_cast<uint16_t>(currentDirCluster));
    SetWindowTextW(control(IDC_FOLDER_PATH), reinterpret_cast<const wchar_t*>(path.c_str()));
}

namespace {

int CALLBACK compareItems(LPARAM first, LPARAM second, LPARAM editorPointer) {
    const ImageEditor* editor = reinterpret_cast<const ImageEditor*>(editorPointer);
    const std::vector<DirListEntry*>& records = editor->listedRecords;
    int order = compareListRecords(records[first], records[second], editor->sortColumn,
                                   editor->sortDescending);
    if (order == 0) order = first < second ? -1 : (first > second ? 1 : 0);  // walk order
    return order;
}

}  // namespace

void ImageEditor::sortByColumn(int column) {
    if (column < kColumnName || column > kColumnAttributes) return;
    sortDescending = column == sortColumn && !sortDescending;
    sortColumn = column;
    // The items move with their states, so the selection and the focus stay on their entries.
    HWND list = control(IDC_FILE_LIST);
    SendMessageW(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
                 reinterpret_cast<LPARAM>(compareItems));
    int focused = nextItem(list, -1, LVNI_FOCUSED);
    if (focused >= 0) SendMessageW(list, LVM_ENSUREVISIBLE, focused, FALSE);
    showSortArrow();
}

void ImageEditor::showSortArrow() {
    HWND header = reinterpret_cast<HWND>(SendMessageW(control(IDC_FILE_LIST), LVM_GETHEADER, 0, 0));
    for (int column = kColumnName; column <= kColumnAttributes; ++column) {
        HDITEMW item;
        std::memset(&item, 0, sizeof item);
        item.mask = HDI_FORMAT;
        if (!SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == sortColumn) item.fmt |= sortDescending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(header, HDM_SETITEMW, column, reinterpret_cast<LPARAM>(&item));
    }
}

void ImageEditor::rebuildViews() {
    updateTitle();
    fillTree();
    refreshDirectory();
}
