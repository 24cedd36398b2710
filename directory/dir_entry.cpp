#include "directory/dir_entry.h"

#include <cstring>

uint8_t shortNameChecksum(const uint8_t* entry) {
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + entry[i]);
    return sum;
}

bool isDotEntry(const uint8_t* entry) {
    return (entry[de::kAttributes] & de::kAttrDirectory) != 0 && entry[de::kName] == '.';
}

int storedShortName(const uint8_t* entry, char* out) {
    int n = 0;
    for (int i = 0; i < 8 && entry[de::kName + i] != ' '; ++i)
        out[n++] = static_cast<char>(entry[i]);
    int base = n;
    for (int i = 0; i < 3 && entry[de::kExtension + i] != ' '; ++i) {
        if (n == base) out[n++] = '.';
        out[n++] = static_cast<char>(entry[de::kExtension + i]);
    }
    out[n] = '\0';
    return n;
}

void shortDisplayName(const uint8_t* entry, uint16_t* out) {
    std::memset(out, 0, kLongNameBytes);
    char name[13];
    int n = storedShortName(entry, name);
    bool folder = (entry[de::kAttributes] & de::kAttrDirectory) != 0;
    for (int i = 0; i < n; ++i) {
        uint8_t c = static_cast<uint8_t>(name[i]);
        if (folder && c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 32);
        if (!folder && c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c + 32);
        out[i] = c;
    }
}

void copyLongNamePiece(const uint8_t* slot, uint8_t* out) {
    std::memcpy(out, slot + de::kChars1, 10);
    std::memcpy(out + 10, slot + de::kChars2, 12);
    std::memcpy(out + 22, slot + de::kChars3, 4);
}
