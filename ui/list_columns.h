// What the file list's columns show for an entry, and the order of the list by any column.
#ifndef TOLVEN_UI_LIST_COLUMNS_H
#define TOLVEN_UI_LIST_COLUMNS_H

#include <cstddef>
#include <cstdint>

#include "ui/image_editor.h"

// The date and time of an entry in the user's short date and time formats (UTF-8), or an empty
// text for a stored date or time that names no real moment.
void formatModified(uint16_t date, uint16_t time, char* out, size_t size);
// "[NAME]", "[ .. ]" or the plain name, as the first column shows an entry.
void displayName(const DirListEntry* record, wchar_t* out, size_t size);

// The list order: "[ .. ]" first, then folders, then files; within each group by `column`
// (names as people read them, sizes, moments, attribute letters), `descending` reversing that
// key only, and entries the key finds equal by name. Negative, 0 or positive.
int compareListRecords(const DirListEntry* a, const DirListEntry* b, int column, bool descending);

#endif
