#include "directory/insert_names.h"

#include <cstring>

#include "image/boot_sector.h"

// Byte offsets of the 13 code units of a piece within its slot.
static const int kPieceUnitOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

void buildLongNameSlots(const std::u16string& name, uint8_t checksum, uint8_t* slots) {
    int count = longNameSlotCount(name.size());
    for (int piece = 1; piece <= count; ++piece) {
        uint8_t* slot = slots + (count - piece) * 32;
        std::memset(slot, 0, 32);
        slot[0] = static_cast<uint8_t>(piece | (piece == count ? 0x40 : 0));
        slot[11] = 0x0F;
        slot[13] = checksum;
        for (int k = 0; k < 13; ++k) {
            size_t at = static_cast<size_t>((piece - 1) * 13 + k);
            uint16_t unit = at < name.size() ? name[at] : at == name.size() ? 0x0000 : 0xFFFF;
            writeLe16(slot + kPieceUnitOffsets[k], unit);
        }
    }
}
