// The 8.3 name of an inserted entry as the FAT driver of the platform makes it from the long
// name: upper case, with a numeric tail where needed, unique in its folder.
#ifndef TOLVEN_DIRECTORY_SHORT_NAME_H
#define TOLVEN_DIRECTORY_SHORT_NAME_H

#include <cstdint>
#include <string>

class FolderNames;

// True when `name` already is an upper-case 8.3 name; `shortName` then holds it blank-padded.
// Such a name is stored as it is, without long-name slots.
bool isPlainShortName(const std::u16string& name, uint8_t shortName[11]);

// The basis name: upper case, blanks and leading dots dropped, dots other than the last dropped,
// characters an 8.3 name cannot hold (+ , ; = [ ] and anything beyond ASCII whose upper case the
// OEM code page lacks) made "_", the part before the last dot cut to 8 and the part after it to 3.
// `needsTail` when anything was lost.
struct BasisName {
    uint8_t name[11];
    bool needsTail;
};
BasisName makeBasisName(const std::u16string& longName);

// The 8.3 name to store: the basis itself when it needs no tail and is free in the folder, else
// the basis cut short with the first free "~1", "~2" ... "~999999". False when every tail is taken.
bool pickShortName(const BasisName& basis, const FolderNames& names, uint8_t shortName[11]);

#endif
