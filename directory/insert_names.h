// Names of inserted entries as the FAT driver of the platform writes them: the host name as the
// long name, an upper-case 8.3 name made from it with a numeric tail where needed and unique in
// its folder, and the long-name slots that carry the long name.
#ifndef TOLVEN_DIRECTORY_INSERT_NAMES_H
#define TOLVEN_DIRECTORY_INSERT_NAMES_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

const int kMaxLongNameChars = 255;
// The Insert dialog's selection buffer: insertFiles reads no further.
const int kInsertSelectionBytes = 50000;

enum LongNameCheck { kLongNameOk, kLongNameInvalid, kLongNameTooLong };
// Drops trailing dots and blanks (the driver ignores them), then refuses an empty name, one longer
// than 255 units, and one holding a control character or one of " * / : < > ? \ |.
LongNameCheck cleanLongName(const std::u16string& hostName, std::u16string* longName);

// True when `name` already is an upper-case 8.3 name; `shortName` then holds it blank-padded.
// Such a name is stored as it is, without long-name slots.
bool isPlainShortName(const std::u16string& name, uint8_t shortName[11]);

// The basis name: upper case, blanks and leading dots dropped, dots other than the last dropped,
// characters an 8.3 name cannot hold (+ , ; = [ ] and anything beyond ASCII) made "_", the part
// before the last dot cut to 8 and the part after it to 3. `needsTail` when anything was lost.
struct BasisName {
    uint8_t name[11];
    bool needsTail;
};
BasisName makeBasisName(const std::u16string& longName);

// The names already in a folder: short names as stored, and long and short names (read with
// shortNameUnits) upper-cased with upcaseName for the case-insensitive test of a new name.
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

// The 8.3 name to store: the basis itself when it needs no tail and is free in the folder, else
// the basis cut short with the first free "~1", "~2" ... "~999999". False when every tail is taken.
bool pickShortName(const BasisName& basis, const FolderNames& names, uint8_t shortName[11]);

inline int longNameSlotCount(size_t chars) { return static_cast<int>((chars + 12) / 13); }
// Writes the long-name slots for `name` in disk order (the piece marked 0x40 first, piece 1 last)
// into longNameSlotCount(name.size()) * 32 bytes at `slots`.
void buildLongNameSlots(const std::u16string& name, uint8_t checksum, uint8_t* slots);

#endif
