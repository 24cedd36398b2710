#include "directory/dir_entry.h"

#include <cstring>

#include "directory/name_case.h"
#include "directory/oem_text.h"
#include "image/boot_sector.h"

SlotKind slotKind(const uint8_t* slot) {
    if (slot[0] == de::kFree) return kSlotFree;
    if (slot[0] == de::kDeleted) return kSlotDeleted;
    if (hasLongNameAttributes(slot)) return kSlotLongName;
    if (hasLabelAttributes(slot)) return kSlotLabel;
    return kSlotEntry;
}

uint16_t entryFirstCluster(const uint8_t* entry) { return readLe16(entry + de::kFirstCluster); }

uint8_t shortNameChecksum(const uint8_t* entry) {
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + entry[i]);
    return sum;
}

bool isDotEntry(const uint8_t* entry) {
    return isFolderEntry(entry) && entry[de::kName] == de::kDotName;
}

namespace {
// The name and extension lengths without their trailing blanks.
void storedLengths(const uint8_t* entry, int* baseLength, int* extLength) {
    *baseLength = 8;
    *extLength = 3;
    while (*baseLength > 0 && entry[de::kName + *baseLength - 1] == ' ') --*baseLength;
    while (*extLength > 0 && entry[de::kExtension + *extLength - 1] == ' ') --*extLength;
}
}  // namespace

int shortNameUnits(const uint8_t* entry, uint16_t* out) {
    int baseLength, extLength;
    storedLengths(entry, &baseLength, &extLength);
    int n = 0;
    for (int i = 0; i < baseLength; ++i) {
        uint8_t byte = entry[de::kName + i];
        out[n++] = oemByteToUnit(i == 0 && byte == de::kStoredE5 ? de::kDeleted : byte);
    }
    if (extLength > 0) out[n++] = '.';
    for (int i = 0; i < extLength; ++i) out[n++] = oemByteToUnit(entry[de::kExtension + i]);
    out[n] = 0;
    return n;
}

int shortNameAsShown(const uint8_t* entry, uint16_t* out) {
    int n = shortNameUnits(entry, out);
    int baseLength, extLength;
    storedLengths(entry, &baseLength, &extLength);
    uint8_t flags = entry[de::kNameCase];
    for (int i = 0; i < n; ++i) {
        uint8_t flag = i < baseLength ? de::kLowerCaseName : de::kLowerCaseExtension;
        if ((flags & flag) != 0) out[i] = downcaseUnit(out[i]);
    }
    return n;
}

void shortDisplayName(const uint8_t* entry, uint16_t* out) {
    std::memset(out, 0, kLongNameBytes);
    if ((entry[de::kNameCase] & (de::kLowerCaseName | de::kLowerCaseExtension)) != 0) {
        shortNameAsShown(entry, out);
        return;
    }
    shortNameUnits(entry, out);
    bool folder = isFolderEntry(entry);
    for (int i = 0; out[i] != 0; ++i) {
        if (folder && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<uint16_t>(out[i] - 32);
        if (!folder && out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<uint16_t>(out[i] + 32);
    }
}

void attributeLetters(uint8_t attributes, char* out) {
    out[0] = (attributes & de::kAttrReadOnly) ? 'r' : '-';
    out[1] = (attributes & de::kAttrArchive) ? 'a' : '-';
    out[2] = (attributes & de::kAttrHidden) ? 'h' : '-';
    out[3] = (attributes & de::kAttrSystem) ? 's' : '-';
    out[4] = '\0';
}

void copyLongNamePiece(const uint8_t* slot, uint8_t* out) {
    std::memcpy(out, slot + de::kChars1, 10);
    std::memcpy(out + 10, slot + de::kChars2, 12);
    std::memcpy(out + 22, slot + de::kChars3, 4);
}
