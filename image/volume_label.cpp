#include "image/volume_label.h"

#include <cstring>

#include "image/boot_sector.h"
#include "image/entry_format.h"
#include "platform/clock.h"

namespace {
// In the order the label field has always checked them.
const char kInvalidLabelCharacters[] = "*?/\\|.,;:+=[]<>\"";
const char kNoName[] = "NO NAME    ";
}  // namespace

LabelCheck readVolumeLabel(const char* text, uint8_t* stored) {
    size_t begin = 0, end = text == nullptr ? 0 : std::strlen(text);
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    for (size_t i = begin; i < end; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F || std::strchr(kInvalidLabelCharacters, c) != nullptr)
            return kLabelInvalid;
    }
    if (end - begin > 11) return kLabelTooLong;
    if (stored == nullptr) return begin == end ? kLabelEmpty : kLabelOk;
    std::memcpy(stored, kNoName, 11);
    if (begin == end) return kLabelEmpty;
    std::memset(stored, ' ', 11);
    for (size_t i = begin; i < end; ++i) {
        char c = text[i];
        stored[i - begin] = static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return kLabelOk;
}

FatStamp labelStampNow() {
    FatStamp now{0, 0};
    currentLocalFatDateTime(&now.date, &now.time);
    return now;
}

void writeLabelEntry(uint8_t* entry, const uint8_t* label, FatStamp stamp) {
    std::memcpy(entry + de::kName, label, 11);
    writeLe16(entry + de::kTime, stamp.time);
    writeLe16(entry + de::kDate, stamp.date);
}
