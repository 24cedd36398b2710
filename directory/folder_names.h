// The names already in a folder, as insertion and renaming test a new name against them.
#ifndef TOLVEN_DIRECTORY_FOLDER_NAMES_H
#define TOLVEN_DIRECTORY_FOLDER_NAMES_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

// Short names as stored, and long and short names (read with shortNameUnits) upper-cased with
// upcaseName for the case-insensitive test of a new name.
class FolderNames {
public:
    void add(const uint8_t* shortName, const std::u16string& longName);
    bool hasShortName(const uint8_t* shortName) const;
    // True when `name` equals, ignoring case, a long name or the dotted form of a short name.
    bool hasName(const std::u16string& name) const;

    // Where pickShortName's search of tails for `basis` may start: every lower tail is taken.
    // Names are only ever added, so what a search found stays true.
    int firstTailToTry(const uint8_t* basis) const;
    void skipTailsBelow(const uint8_t* basis, int tail) const;

private:
    std::unordered_set<std::string> shortNames_;
    std::unordered_set<std::u16string> foldedNames_;
    mutable std::unordered_map<std::string, int> tailFrom_;  // by the 11 bytes of the basis
};

#endif
