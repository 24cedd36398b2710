// The file list and the status line: the entries of the shown folder as DirListEntry records,
// one list item per record, and the navigation into folders.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <new>

#include "image/boot_sector.h"
#include "resources/resource_ids.h"
#include "ui/image_editor.h"

namespace {

const int kNameBytes = kLongNameChars * 2;
const uint8_t kDirectoryBit = 0x10;

enum ListImage { kListFolder = 0, kListDocument = 1 };

uint16_t startCluster(const DirListEntry* record) { return readLe16(record->rawEntry + 26); }
bool isFolder(const DirListEntry* record) { return (record->rawEntry[11] & kDirectoryBit) != 0; }

bool validDosDateTime(uint16_t date, uint16_t time) {
    static const int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int day = date & 0x1F, month = (date >> 5) & 0x0F, year = 1980 + (date >> 9);
    int seconds = (time & 0x1F) * 2, minutes = (time >> 5) & 0x3F, hours = time >> 11;
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1]) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return false;
    return hours <= 23 && minutes <= 59 && seconds <= 59;
}

// The date and time of an entry in the user's short date and time formats, without any time-zone
// adjustment. A stored date or time that names no real moment (an unset date 0 among them) shows
// as an empty cell rather than as a made-up date.
void formatModified(uint16_t date, uint16_t time, char* out, size_t size) {
    out[0] = '\0';
    if (!validDosDateTime(date, time)) return;
    FILETIME moment;
    SYSTEMTIME fields;
    if (!DosDateTimeToFileTime(date, time, &moment) || !FileTimeToSystemTime(&moment, &fields))
        return;
    char datePart[80], timePart[80];
    if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &fields, nullptr, datePart,
                       sizeof datePart) == 0 ||
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &fields, nullptr, timePart, sizeof timePart) == 0)
        return;
    std::snprintf(out, size, "%s - %s", datePart, timePart);
}

void setColumnText(HWND list, int index, int column, const char* text) {
    LVITEMA item;
    std::memset(&item, 0, sizeof item);
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
}

void setColumnText(HWND list, int index, int column, const wchar_t* text) {
    LVITEMW item;
    std::memset(&item, 0, sizeof item);
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
}

// "[NAME]", "[ .. ]" or the plain name, as the first column shows an entry.
void displayName(const DirListEntry* record, wchar_t* out, size_t size) {
    if (!isFolder(record)) {
        std::wcsncpy(out, record->longName, size - 1);
        out[size - 1] = L'\0';
        return;
    }
    const wchar_t* pad = record->rawEntry[0] == '.' ? L" " : L"";
    size_t used = 0;
    auto append = [&](const wchar_t* text) {
        for (; *text != L'\0' && used + 1 < size; ++text) out[used++] = *text;
    };
    append(L"[");
    append(pad);
    wchar_t name[kLongNameChars + 1];
    std::memcpy(name, record->longName, sizeof record->longName);
    name[kLongNameChars] = L'\0';
    append(name);
    append(pad);
    append(L"]");
    out[used] = L'\0';
}

}  // namespace

void ImageEditor::freeEntries() {
    SendMessageA(control(IDC_FILE_LIST), LVM_DELETEALLITEMS, 0, 0);
    while (entries != nullptr) {
        DirListEntry* next = entries->next;
        delete entries;
        entries = next;
    }
}

void ImageEditor::readEntries() {
    uint8_t raw[32];
    uint8_t name[kNameBytes];
    int32_t entryCluster, entryIndex, longNameCluster, longNameIndex;
    // No folder can hold more entries than the volume has slots; a walk that goes on beyond that
    // is circling in a damaged chain, and the list stops there.
    long slotLimit = static_cast<long>(clusterCount) * entriesPerCluster + rootEntryCount();
    long count = 0;
    DirListEntry* last = nullptr;
    uint8_t found = startWalk(static_cast<uint16_t>(currentDirCluster), raw, name, kNameBytes,
                              entryCluster, entryIndex, longNameCluster, longNameIndex);
    while (found == 1 && count < slotLimit) {
        // Without memory for another record the list shows the entries read so far.
        DirListEntry* record = new (std::nothrow) DirListEntry;
        if (record == nullptr) break;
        std::memcpy(record->rawEntry, raw, sizeof record->rawEntry);
        std::memcpy(record->longName, name, sizeof record->longName);
        record->longName[kLongNameChars - 1] = L'\0';  // a full 260-unit name has no terminator
        record->entryCluster = entryCluster;
        record->entryIndex = entryIndex;
        record->longNameCluster = longNameCluster;
        record->longNameIndex = longNameIndex;
        record->next = nullptr;
        if (last == nullptr) entries = record; else last->next = record;
        last = record;
        ++count;
        found = nextEntry(raw, name, kNameBytes, entryCluster, entryIndex, longNameCluster,
                          longNameIndex);
    }
}

void ImageEditor::makeShortName(DirListEntry* record) {
    char base[9], extension[4];
    std::memcpy(base, record->rawEntry, 8);
    base[8] = '\0';
    std::memcpy(extension, record->rawEntry + 8, 3);
    extension[3] = '\0';
    bool folder = isFolder(record);
    for (char* text : {base, extension}) {
        for (char* c = text; *c != '\0'; ++c) {
            if (folder && *c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
            if (!folder && *c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
            if (*c == ' ') *c = '\0';  // each part ends at its first blank
        }
    }
    char shortName[13];
    std::snprintf(shortName, sizeof shortName, "%s%s%s", base, extension[0] != '\0' ? "." : "",
                  extension);
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, shortName, -1, record->longName,
                            kLongNameChars) == 0)
        record->longName[0] = L'\0';
}

void ImageEditor::fillList() {
    HWND list = control(IDC_FILE_LIST);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    int position = 0, folders = 0, files = 0;
    uint32_t totalBytes = 0;  // shown as a signed 32-bit number
    long ordinal = 0;
    for (DirListEntry* record = entries; record != nullptr; record = record->next, ++ordinal) {
        if (record->longName[0] == L'\0') makeShortName(record);
        const uint8_t* raw = record->rawEntry;
        bool folder = isFolder(record);
        bool dotEntry = raw[0] == '.';
        char sortKey[10];
        std::snprintf(sortKey, sizeof sortKey, "%s%.8s", folder ? "[" : "",
                      reinterpret_cast<const char*>(raw));
        uint32_t size = readLe32(raw + 28);
        if (folder) {
            if (!dotEntry) ++folders;
        } else {
            ++files;
            totalBytes += size;
        }

        // The item data is the record's place in the list: the start cluster, which the Enter
        // key compares, does not tell records apart (empty files and ".." of a folder below the
        // root all start at cluster 0), so the cluster is read from the record when needed.
        LVITEMA item;
        std::memset(&item, 0, sizeof item);
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = position;
        item.pszText = sortKey;
        item.iImage = folder ? kListFolder : kListDocument;
        item.lParam = static_cast<LPARAM>(ordinal);
        int index = static_cast<int>(
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0) continue;

        wchar_t name[kLongNameChars + 4];
        displayName(record, name, sizeof name / sizeof name[0]);
        setColumnText(list, index, 0, name);
        char text[200];
        std::snprintf(text, sizeof text, "%i", static_cast<int32_t>(size));
        setColumnText(list, index, 1, text);
        formatModified(readLe16(raw + 24), readLe16(raw + 22), text, sizeof text);
        setColumnText(list, index, 2, text);
        uint8_t attributes = raw[11];
        std::snprintf(text, sizeof text, "%c%c%c%c", (attributes & 0x01) ? 'r' : '-',
                      (attributes & 0x20) ? 'a' : '-', (attributes & 0x02) ? 'h' : '-',
                      (attributes & 0x04) ? 's' : '-');
        setColumnText(list, index, 3, text);
        ++position;
    }
    char status[120];
    std::snprintf(status, sizeof status, "Directory contains %i folders, %i files, %i bytes total.",
                  folders, files, static_cast<int32_t>(totalBytes));
    SetWindowTextA(control(IDC_STATUS_LINE), status);
}

DirListEntry* ImageEditor::entryForItem(int index) const {
    if (index < 0) return nullptr;
    LVITEMA item;
    std::memset(&item, 0, sizeof item);
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageA(control(IDC_FILE_LIST), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    DirListEntry* record = entries;
    for (LPARAM i = 0; record != nullptr && i < item.lParam; ++i) record = record->next;
    return item.lParam >= 0 ? record : nullptr;
}

int32_t ImageEditor::openEntry(int index) {
    DirListEntry* record = entryForItem(index);
    if (record == nullptr || !isFolder(record)) return -1;  // files open through the menu's Open
    bool parent = record->rawEntry[0] == '.' && record->rawEntry[1] == '.';
    int32_t result = parent ? currentDirCluster : startCluster(record);
    currentDirCluster = startCluster(record);
    refreshDirectory();
    return result;
}

void ImageEditor::selectItemsOfCluster(int32_t cluster) {
    HWND list = control(IDC_FILE_LIST);
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        DirListEntry* record = entryForItem(i);
        if (record == nullptr || startCluster(record) != cluster) continue;
        LVITEMA state;
        std::memset(&state, 0, sizeof state);
        state.stateMask = LVIS_FOCUSED | LVIS_SELECTED | LVIS_CUT | LVIS_DROPHILITED;
        state.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
    }
}

void ImageEditor::refreshDirectory() {
    freeEntries();
    readEntries();
    fillList();
}

void ImageEditor::rebuildViews() {
    updateTitle();
    fillTree();
    refreshDirectory();
}
