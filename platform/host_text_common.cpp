#include "platform/host_text.h"

int utf16ToUtf8(const uint16_t* text, int units, char* out, size_t capacity) {
    if (capacity == 0) return -1;
    size_t n = 0;
    for (int i = 0; i < units && text[i] != 0; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        uint8_t bytes[4];
        size_t len;
        if (c < 0x80) {
            bytes[0] = static_cast<uint8_t>(c);
            len = 1;
        } else if (c < 0x800) {
            bytes[0] = static_cast<uint8_t>(0xC0 | (c >> 6));
            bytes[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
            len = 2;
        } else if (c < 0x10000) {
            bytes[0] = static_cast<uint8_t>(0xE0 | (c >> 12));
            bytes[1] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
            bytes[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
            len = 3;
        } else {
            bytes[0] = static_cast<uint8_t>(0xF0 | (c >> 18));
            bytes[1] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
            bytes[2] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
            bytes[3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
            len = 4;
        }
        if (n + len + 1 > capacity) {
            out[0] = '\0';
            return -1;
        }
        for (size_t k = 0; k < len; ++k) out[n++] = static_cast<char>(bytes[k]);
    }
    out[n] = '\0';
    return static_cast<int>(n);
}

int utf8ToUtf16(const char* text, uint16_t* out, int capacity) {
    if (capacity <= 0) return -1;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
    int n = 0;
    while (*p != 0) {
        uint32_t c;
        int extra;
        if (*p < 0x80) {
            c = *p;
            extra = 0;
        } else if ((*p & 0xE0) == 0xC0) {
            c = *p & 0x1F;
            extra = 1;
        } else if ((*p & 0xF0) == 0xE0) {
            c = *p & 0x0F;
            extra = 2;
        } else if ((*p & 0xF8) == 0xF0) {
            c = *p & 0x07;
            extra = 3;
        } else {
            return -1;
        }
        ++p;
        for (int k = 0; k < extra; ++k, ++p) {
            if ((*p & 0xC0) != 0x80) return -1;
            c = (c << 6) | (*p & 0x3F);
        }
        static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
        int need = c >= 0x10000 ? 2 : 1;
        if (n + need + 1 > capacity) return -1;
        if (c >= 0x10000) {
            out[n++] = static_cast<uint16_t>(0xD800 + ((c - 0x10000) >> 10));
            out[n++] = static_cast<uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out[n++] = static_cast<uint16_t>(c);
        }
    }
    out[n] = 0;
    return n;
}

int hostTextFromUtf16(const uint16_t* text, int units, char* out, size_t capacity) {
    return utf16ToUtf8(text, units, out, capacity);
}

int hostTextToUtf16(const char* text, uint16_t* out, int capacity) {
    return utf8ToUtf16(text, out, capacity);
}
