#include "directory/insert_names.h"

#include <cstring>

std::u16string foldName(const std::u16string& name) {
    std::u16string folded = name;
    for (char16_t& c : folded) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c -= 0x20;
        else if (c == 0xFF) c = 0x178;
    }
    return folded;
}

std::u16string dottedShortName(const uint8_t* shortName) {
    std::u16string name;
    int baseLength = 8, extLength = 3;
    while (baseLength > 0 && shortName[baseLength - 1] == ' ') --baseLength;
    while (extLength > 0 && shortName[8 + extLength - 1] == ' ') --extLength;
    for (int i = 0; i < baseLength; ++i)
        name += static_cast<char16_t>(i == 0 && shortName[0] == 0x05 ? 0xE5 : shortName[i]);
    if (extLength > 0) {
        name += u'.';
        for (int i = 0; i < extLength; ++i) name += static_cast<char16_t>(shortName[8 + i]);
    }
    return name;
}

void FolderNames::add(const uint8_t* shortName, const std::u16string& longName) {
    shortNames_.insert(std::string(reinterpret_cast<const char*>(shortName), 11));
    foldedNames_.insert(foldName(dottedShortName(shortName)));
    if (!longName.empty()) foldedNames_.insert(foldName(longName));
}

bool FolderNames::hasShortName(const uint8_t* shortName) const {
    return shortNames_.count(std::string(reinterpret_cast<const char*>(shortName), 11)) != 0;
}

bool FolderNames::hasName(const std::u16string& name) const {
    return foldedNames_.count(foldName(name)) != 0;
}
