// The long name of an inserted entry as the FAT driver of the platform writes it: the host name
// checked and cleaned, and the long-name slots that carry it.
#ifndef TOLVEN_DIRECTORY_LONG_NAME_H
#define TOLVEN_DIRECTORY_LONG_NAME_H

#include <cstddef>
#include <cstdint>
#include <string>

const int kMaxLongNameChars = 255;
// The Insert dialog's selection buffer: insertFiles reads no further.
const int kInsertSelectionBytes = 50000;

enum LongNameCheck { kLongNameOk, kLongNameInvalid, kLongNameTooLong };
// Drops trailing dots and blanks (the driver ignores them), then refuses an empty name, one longer
// than 255 units, and one holding a control character or one of " * / : < > ? \ |.
LongNameCheck cleanLongName(const std::u16string& hostName, std::u16string* longName);

inline int longNameSlotCount(size_t chars) { return static_cast<int>((chars + 12) / 13); }
// Writes the long-name slots for `name` in disk order (the piece marked 0x40 first, piece 1 last)
// into longNameSlotCount(name.size()) * 32 bytes at `slots`.
void buildLongNameSlots(const std::u16string& name, uint8_t checksum, uint8_t* slots);

#endif
