#include "platform/host_text.h"

#include <windows.h>

#include <cstring>

size_t hostPathCapacity() {
    return MAX_PATH;
}

int hostTextFromUtf16(const uint16_t* text, int units, char* out, size_t capacity) {
    if (capacity == 0) return -1;
    int length = 0;
    while (length < units && text[length] != 0) ++length;
    out[0] = '\0';
    if (length == 0) return 0;
    int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text), length, out,
                                static_cast<int>(capacity - 1), nullptr, nullptr);
    if (n <= 0) {
        out[0] = '\0';
        return -1;
    }
    out[n] = '\0';
    return n;
}

int hostTextToUtf16(const char* text, uint16_t* out, int capacity) {
    if (capacity <= 0) return -1;
    out[0] = 0;
    if (text[0] == '\0') return 0;
    int n = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, reinterpret_cast<wchar_t*>(out),
                                capacity);
    if (n <= 0) {
        out[0] = 0;
        return -1;
    }
    return n - 1;  // the count includes the terminator
}

// The base name (up to the first dot, blanks and dots at its end dropped as Windows drops them)
// compared with the reserved device names. "COM" and "LPT" also take the superscript digits 1-3,
// which Windows treats as device names too, and the console has CONIN$ and CONOUT$.
bool hostNameIsDevice(const char* name) {
    size_t len = std::strcspn(name, ".");
    while (len > 0 && (name[len - 1] == ' ' || name[len - 1] == '.')) --len;
    char base[8];
    if (len == 6 || len == 7) {
        for (size_t i = 0; i < len; ++i)
            base[i] =
                (name[i] >= 'a' && name[i] <= 'z') ? static_cast<char>(name[i] - 32) : name[i];
        base[len] = '\0';
        return std::strcmp(base, "CONIN$") == 0 || std::strcmp(base, "CONOUT$") == 0;
    }
    if (len < 3 || len > 4) return false;
    for (size_t i = 0; i < len; ++i) {
        char c = name[i];
        base[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    base[len] = '\0';
    static const char* const kThree[] = {"CON", "PRN", "AUX", "NUL"};
    if (len == 3) {
        for (const char* d : kThree)
            if (std::strcmp(base, d) == 0) return true;
        return false;
    }
    if (std::strncmp(base, "COM", 3) != 0 && std::strncmp(base, "LPT", 3) != 0) return false;
    unsigned char digit = static_cast<unsigned char>(base[3]);
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}
