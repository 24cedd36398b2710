// The 32-byte directory entry and the VFAT long-name entry: named offsets and values. They live
// with the volume, which writes a new image's label entry itself; directory/dir_entry.h reads
// entries through them.
#ifndef TOLVEN_IMAGE_ENTRY_FORMAT_H
#define TOLVEN_IMAGE_ENTRY_FORMAT_H

#include <cstdint>

namespace de {
const int kSize = 32;

// Short entry.
const int kName = 0;           // 8 bytes, blank-padded
const int kExtension = 8;      // 3 bytes, blank-padded
const int kAttributes = 11;    // 8-bit
const int kNameCase = 12;      // 8-bit: lower-case flags of an 8.3 name (Windows NT and later)
const int kCreationTime = 14;  // 16-bit, DOS time
const int kCreationDate = 16;  // 16-bit, DOS date
const int kAccessDate = 18;    // 16-bit, DOS date of last access
const int kTime = 22;          // 16-bit, DOS time of last write
const int kDate = 24;          // 16-bit, DOS date of last write
const int kFirstCluster = 26;  // 16-bit
const int kFileSize = 28;      // 32-bit

const uint8_t kFree = 0x00;      // first byte: free, and nothing used follows in the root
const uint8_t kDeleted = 0xE5;   // first byte: deleted
const uint8_t kDotName = '.';    // first byte of "." and ".."
const uint8_t kStoredE5 = 0x05;  // a first byte 0xE5 of a name, as stored

const uint8_t kAttrReadOnly = 0x01;
const uint8_t kAttrHidden = 0x02;
const uint8_t kAttrSystem = 0x04;
const uint8_t kAttrVolumeLabel = 0x08;
const uint8_t kAttrDirectory = 0x10;
const uint8_t kAttrArchive = 0x20;
const uint8_t kAttrLongName = 0x0F;  // exactly this value marks a long-name slot
const uint8_t kAttrTypeBits = 0x0F;  // a label has kAttrVolumeLabel alone among these

// Byte 12: the 8.3 name is shown and copied with its name part or extension in lower case.
const uint8_t kLowerCaseName = 0x08;
const uint8_t kLowerCaseExtension = 0x10;

// Long-name entry.
const int kSequence = 0;  // bits 0-4 piece number, 0x40 on the piece that ends the name
const int kChars1 = 1;    // 5 UTF-16 units
const int kChecksum = 13;
const int kChars2 = 14;  // 6 units
const int kChars3 = 28;  // 2 units
const uint8_t kLastPiece = 0x40;
const uint8_t kPieceMask = 0x1F;
}  // namespace de

#endif
