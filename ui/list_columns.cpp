#include "ui/list_columns.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "directory/dir_entry.h"
#include "directory/name_order.h"
#include "image/boot_sector.h"
#include "ui/wide_text.h"

namespace {

bool isFolder(const DirListEntry* record) { return isFolderEntry(record->rawEntry); }

bool validDosDateTime(uint16_t date, uint16_t time) {
    static const int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int day = date & 0x1F, month = (date >> 5) & 0x0F, year = 1980 + (date >> 9);
    int seconds = (time & 0x1F) * 2, minutes = (time >> 5) & 0x3F, hours = time >> 11;
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1]) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return false;
    return hours <= 23 && minutes <= 59 && seconds <= 59;
}

// 0 for "[ .. ]" (and "."), 1 for folders, 2 for files: the groups in list order.
int groupOf(const DirListEntry* record) {
    if (!isFolder(record)) return 2;
    return isDotEntry(record->rawEntry) ? 0 : 1;
}

int compareNumbers(uint32_t a, uint32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

int compareShownNames(const DirListEntry* a, const DirListEntry* b) {
    // wchar_t is the 16-bit UTF-16 unit on Windows, as the name order reads names.
    static_assert(sizeof(wchar_t) == sizeof(uint16_t), "UTF-16 long names");
    return compareNames(reinterpret_cast<const uint16_t*>(a->longName),
                        reinterpret_cast<const uint16_t*>(b->longName));
}

uint32_t moment(const DirListEntry* record) {
    return static_cast<uint32_t>(readLe16(record->rawEntry + de::kDate)) << 16 |
           readLe16(record->rawEntry + de::kTime);
}

int compareByColumn(const DirListEntry* a, const DirListEntry* b, int column) {
    switch (column) {
    case kColumnSize:
        return compareNumbers(readLe32(a->rawEntry + de::kFileSize),
                              readLe32(b->rawEntry + de::kFileSize));
    case kColumnModified: return compareNumbers(moment(a), moment(b));
    case kColumnAttributes: {
        char textA[5], textB[5];
        attributeLetters(a->rawEntry[de::kAttributes], textA);
        attributeLetters(b->rawEntry[de::kAttributes], textB);
        return std::strcmp(textA, textB);
    }
    default: return compareShownNames(a, b);
    }
}

}  // namespace

void formatModified(uint16_t date, uint16_t time, char* out, size_t size) {
    out[0] = '\0';
    if (!validDosDateTime(date, time)) return;
    FILETIME fileTime;
    SYSTEMTIME fields;
    // No time-zone adjustment: the stored moment is shown as stored.
    if (!DosDateTimeToFileTime(date, time, &fileTime) || !FileTimeToSystemTime(&fileTime, &fields))
        return;
    // The wide forms: the user's formats may name months and day halves in any script.
    wchar_t datePart[80], timePart[80];
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &fields, nullptr, datePart, 80) == 0 ||
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &fields, nullptr, timePart, 80) == 0)
        return;
    std::snprintf(out, size, "%s - %s", utf8Text(datePart).c_str(), utf8Text(timePart).c_str());
}

void displayName(const DirListEntry* record, wchar_t* out, size_t size) {
    const wchar_t* pad = isDotEntry(record->rawEntry) ? L" " : L"";
    bool folder = isFolder(record);
    size_t used = 0;
    auto append = [&](const wchar_t* text) {
        for (; *text != L'\0' && used + 1 < size; ++text) out[used++] = *text;
    };
    if (folder) {
        append(L"[");
        append(pad);
    }
    wchar_t name[kLongNameChars + 1];
    std::memcpy(name, record->longName, sizeof record->longName);
    name[kLongNameChars] = L'\0';
    append(name);
    if (folder) {
        append(pad);
        append(L"]");
    }
    out[used] = L'\0';
}

int compareListRecords(const DirListEntry* a, const DirListEntry* b, int column, bool descending) {
    int order = groupOf(a) - groupOf(b);
    if (order != 0) return order;
    order = compareByColumn(a, b, column);
    if (descending) order = -order;
    if (order == 0 && column != kColumnName) order = compareShownNames(a, b);
    return order;
}
