#include "directory/folder_names.h"

#include <cstring>

#include "directory/dir_entry.h"
#include "directory/name_case.h"

void FolderNames::add(const uint8_t* shortName, const std::u16string& longName) {
    shortNames_.insert(std::string(reinterpret_cast<const char*>(shortName), 11));
    uint16_t units[kShortNameUnits];
    int n = shortNameUnits(shortName, units);
    foldedNames_.insert(upcaseName(std::u16string(units, units + n)));
    if (!longName.empty()) foldedNames_.insert(upcaseName(longName));
}

bool FolderNames::hasShortName(const uint8_t* shortName) const {
    return shortNames_.count(std::string(reinterpret_cast<const char*>(shortName), 11)) != 0;
}

bool FolderNames::hasName(const std::u16string& name) const {
    return foldedNames_.count(upcaseName(name)) != 0;
}

int FolderNames::firstTailToTry(const uint8_t* basis) const {
    auto known = tailFrom_.find(std::string(reinterpret_cast<const char*>(basis), 11));
    return known == tailFrom_.end() ? 1 : known->second;
}

void FolderNames::skipTailsBelow(const uint8_t* basis, int tail) const {
    tailFrom_[std::string(reinterpret_cast<const char*>(basis), 11)] = tail;
}
