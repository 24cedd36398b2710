// The FAT as the volume holds it: the only two places that know how FAT12 packs two 12-bit
// entries into three bytes, and the one place that changes a link of the unpacked table.
#include "image/volume_image.h"

#include <cstring>

// The last triple starts at offset 5118, so its third byte would lie at 5120, one past fat1.
// That byte is taken as 0 when decoding and dropped when encoding: it only carries the upper
// bits of entry 3413, and no cluster of a held image goes beyond 3413.
void VolumeImage::decodeFat() {
    int n = 2;
    for (int o = 3; o < kFatBytes; o += 3, n += 2) {
        uint16_t b0 = fat1[o];
        uint16_t b1 = o + 1 < kFatBytes ? fat1[o + 1] : 0;
        uint16_t b2 = o + 2 < kFatBytes ? fat1[o + 2] : 0;
        fatTable[n] = static_cast<uint16_t>(b0 + (b1 & 0x0F) * 256);
        fatTable[n + 1] = static_cast<uint16_t>(b2 * 16 + (b1 >> 4));
    }
}

void VolumeImage::encodeFatInto(uint8_t* out) const {
    if (out != fat1) std::memcpy(out, fat1, kFatBytes);  // bytes 0-2 and past the entries
    int n = 2;
    for (int o = 3; o < kFatBytes; o += 3, n += 2) {
        uint16_t a = fatTable[n] & 0x0FFF;
        uint16_t b = fatTable[n + 1] & 0x0FFF;
        out[o] = static_cast<uint8_t>(a & 0xFF);
        if (o + 1 < kFatBytes) out[o + 1] = static_cast<uint8_t>((a >> 8) | ((b & 0x0F) << 4));
        if (o + 2 < kFatBytes) out[o + 2] = static_cast<uint8_t>(b >> 4);
    }
}

void VolumeImage::encodeFat() {
    encodeFatInto(fat1);
    std::memcpy(fat2, fat1, kFatBytes);
}

void VolumeImage::setLink(uint32_t cluster, uint16_t value) {
    if (isDataCluster(cluster)) fatTable[cluster] = value;
}
