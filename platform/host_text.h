// Long file names are UTF-16; host names and paths are UTF-8 in the core on every host (the Win32
// seams hand them to the wide API as UTF-16). These convert between them, always within the
// caller's buffer.
#ifndef TOLVEN_PLATFORM_HOST_TEXT_H
#define TOLVEN_PLATFORM_HOST_TEXT_H

#include <cstddef>
#include <cstdint>

// UTF-16 (up to `units` units or the first 0) to UTF-8 with a terminator. Unpaired surrogates
// become U+FFFD. Returns the length, or -1 (and "") when the text does not fit in `capacity`.
int utf16ToUtf8(const uint16_t* text, int units, char* out, size_t capacity);
// UTF-8 to UTF-16 with a terminating 0 unit. Returns the number of units, or -1 when the text is
// not valid UTF-8 or does not fit in `capacity` units.
int utf8ToUtf16(const char* text, uint16_t* out, int capacity);

// The same between UTF-16 and host names: UTF-8 on every host, so no name is lost.
int hostTextFromUtf16(const uint16_t* text, int units, char* out, size_t capacity);
int hostTextToUtf16(const char* text, uint16_t* out, int capacity);

// Room in bytes for a host path in UTF-8 with its terminator: 4096 on POSIX hosts; on Windows
// enough for the longest path of the wide API (32,767 UTF-16 units, see hostWidePath).
size_t hostPathCapacity();

// True when the host reserves `name` for a device (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9,
// with or without an extension, on Windows); a file of that name would open the device.
bool hostNameIsDevice(const char* name);

#endif
