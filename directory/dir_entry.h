// Reading the 32-byte directory entry and the VFAT long-name entry (their offsets:
// image/entry_format.h): slot kinds, names, checksums.
#ifndef TOLVEN_DIRECTORY_DIR_ENTRY_H
#define TOLVEN_DIRECTORY_DIR_ENTRY_H

#include <cstdint>

#include "image/entry_format.h"

// What a 32-byte folder slot holds, read first by its first byte, then by its attributes.
enum SlotKind {
    kSlotFree,      // first byte 0x00
    kSlotDeleted,   // first byte 0xE5
    kSlotLongName,  // attributes exactly 0x0F: a piece of a long name
    kSlotLabel,     // the volume label bit alone among the low four attribute bits
    kSlotEntry,     // a file or folder (".", ".." included)
};
SlotKind slotKind(const uint8_t* slot);

// The attribute tests behind slotKind, whatever the first byte. The walker reads some slots by
// these alone: a long-name run goes on over every slot with the long-name attributes, and the
// root passes over a slot with the label bits even when it is free.
inline bool hasLongNameAttributes(const uint8_t* slot) {
    return slot[de::kAttributes] == de::kAttrLongName;
}
inline bool hasLabelAttributes(const uint8_t* slot) {
    return (slot[de::kAttributes] & de::kAttrTypeBits) == de::kAttrVolumeLabel;
}
inline bool isFolderEntry(const uint8_t* entry) {
    return (entry[de::kAttributes] & de::kAttrDirectory) != 0;
}
// The first cluster an entry names (0 for an empty file, or the root in "..").
uint16_t entryFirstCluster(const uint8_t* entry);

const int kLongNameUnits = 260;  // 20 pieces of 13 units
const int kLongNameBytes = kLongNameUnits * 2;
const int kLongNamePieces = 20;
const int kUnitsPerPiece = 13;

// The published VFAT checksum over the 11 name bytes of a short entry as stored.
uint8_t shortNameChecksum(const uint8_t* entry);

// "." and ".." (directory attribute, name beginning with a dot).
bool isDotEntry(const uint8_t* entry);

// The 8.3 name of an entry, read the one way the list, lookup, the clash check, the CLI and
// extraction all read it: the name and the extension without their trailing blanks (blanks inside
// stay), joined by "." when the extension is not empty; a first byte 0x05 stands for 0xE5; each
// byte is decoded with the OEM code page (directory/oem_text.h). `out` holds at least 13 units and
// is zero-terminated. Returns the number of units.
const int kShortNameUnits = 13;
int shortNameUnits(const uint8_t* entry, uint16_t* out);

// The 8.3 name as Windows shows it and copies it to the host: shortNameUnits with the
// lower-case flags of byte 12 applied (kLowerCaseName, kLowerCaseExtension). `out` as above.
int shortNameAsShown(const uint8_t* entry, uint16_t* out);

// The name the file list shows for an entry without long name: shortNameAsShown when byte 12
// asks for lower case, else shortNameUnits with folders in upper case and files in lower case
// (ASCII letters only); zero-filled to 260 units.
void shortDisplayName(const uint8_t* entry, uint16_t* out);

// The attributes as the list and the CLI show them: "r", "a", "h", "s" for the set bits and "-"
// for the others, in that order; `out` holds the four letters and a terminator.
void attributeLetters(uint8_t attributes, char* out);

// Copies piece `slot` (13 units, 26 bytes) of a long-name entry to `out` (UTF-16LE bytes).
void copyLongNamePiece(const uint8_t* slot, uint8_t* out);

#endif
