// The FAT12 boot sector layout and little-endian access. Offsets are named rather than read through
// a packed struct, so the 32-bit Windows build and the 64-bit hosts see the same bytes.
#ifndef TOLVEN_IMAGE_BOOT_SECTOR_H
#define TOLVEN_IMAGE_BOOT_SECTOR_H

#include <cstdint>

namespace bs {
const int kJump = 0x000;               // 3 bytes
const int kOemId = 0x003;              // 8 bytes
const int kBytesPerSector = 0x00B;     // 16-bit
const int kSectorsPerCluster = 0x00D;  // 8-bit
const int kReservedSectors = 0x00E;    // 16-bit
const int kNumberOfFats = 0x010;       // 8-bit
const int kRootEntries = 0x011;        // 16-bit
const int kTotalSectors = 0x013;       // 16-bit
const int kMediaDescriptor = 0x015;    // 8-bit
const int kSectorsPerFat = 0x016;      // 16-bit
const int kSectorsPerTrack = 0x018;    // 16-bit
const int kHeads = 0x01A;              // 16-bit
const int kHiddenSectors = 0x01C;      // 32-bit
const int kTotalSectors32 = 0x020;     // 32-bit
const int kDriveNumber = 0x024;        // 8-bit
const int kReserved = 0x025;           // 8-bit
const int kExtendedSignature = 0x026;  // 8-bit
const int kSerialNumber = 0x027;       // 32-bit
const int kVolumeLabel = 0x02B;        // 11 bytes
const int kFileSystemType = 0x036;     // 8 bytes
const int kBootCode = 0x03E;           // up to 0x1FD
const int kSignature = 0x1FE;          // 0x55 0xAA, read as 0xAA55

const int kSize = 512;
const uint16_t kSignatureValue = 0xAA55;
}  // namespace bs

inline uint16_t readLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t readLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void writeLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void writeLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

#endif
