#include "directory/long_name.h"

#include <cstring>

#include "directory/dir_entry.h"
#include "image/boot_sector.h"

LongNameCheck cleanLongName(const std::u16string& hostName, std::u16string* longName) {
    size_t end = hostName.size();
    while (end > 0 && (hostName[end - 1] == u'.' || hostName[end - 1] == u' ')) --end;
    *longName = hostName.substr(0, end);
    if (longName->empty()) return kLongNameInvalid;
    for (char16_t c : *longName)
        if (c < 0x20 || (c < 0x80 && std::strchr("\"*/:<>?\\|", static_cast<char>(c)) != nullptr))
            return kLongNameInvalid;
    return longName->size() > static_cast<size_t>(kMaxLongNameChars) ? kLongNameTooLong
                                                                     : kLongNameOk;
}

// Byte offsets of the 13 code units of a piece within its slot.
static const int kPieceUnitOffsets[kUnitsPerPiece] = {
    de::kChars1,      de::kChars1 + 2, de::kChars1 + 4, de::kChars1 + 6, de::kChars1 + 8,
    de::kChars2,      de::kChars2 + 2, de::kChars2 + 4, de::kChars2 + 6, de::kChars2 + 8,
    de::kChars2 + 10, de::kChars3,     de::kChars3 + 2};

void buildLongNameSlots(const std::u16string& name, uint8_t checksum, uint8_t* slots) {
    int count = longNameSlotCount(name.size());
    for (int piece = 1; piece <= count; ++piece) {
        uint8_t* slot = slots + (count - piece) * de::kSize;
        std::memset(slot, 0, de::kSize);
        slot[de::kSequence] = static_cast<uint8_t>(piece | (piece == count ? de::kLastPiece : 0));
        slot[de::kAttributes] = de::kAttrLongName;
        slot[de::kChecksum] = checksum;
        for (int k = 0; k < kUnitsPerPiece; ++k) {
            size_t at = static_cast<size_t>((piece - 1) * kUnitsPerPiece + k);
            uint16_t unit = at < name.size() ? name[at] : at == name.size() ? 0x0000 : 0xFFFF;
            writeLe16(slot + kPieceUnitOffsets[k], unit);
        }
    }
}
