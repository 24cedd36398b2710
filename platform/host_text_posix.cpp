#include "platform/host_text.h"

size_t hostPathCapacity() {
    return 4096;
}

int hostTextFromUtf16(const uint16_t* text, int units, char* out, size_t capacity) {
    return utf16ToUtf8(text, units, out, capacity);
}

int hostTextToUtf16(const char* text, uint16_t* out, int capacity) {
    return utf8ToUtf16(text, out, capacity);
}

// POSIX hosts keep their devices in /dev; any name is a plain file inside the target folder.
bool hostNameIsDevice(const char*) {
    return false;
}
