// The one case folding of names in an image: Windows' upper-casing of UTF-16 units, each unit on
// its own (no "SS" for a sharp s; the final sigma, the dotless i and the long s stay as they are,
// as Windows leaves them). Insertion's clash check, path lookup, rm and extract all compare names
// through it.
#ifndef TOLVEN_DIRECTORY_NAME_CASE_H
#define TOLVEN_DIRECTORY_NAME_CASE_H

#include <cstdint>
#include <string>

uint16_t upcaseUnit(uint16_t unit);
// The lower case of an upper-case unit: the unit that upcaseUnit turns into it (the lowest when
// several do); any other unit stays as it is.
uint16_t downcaseUnit(uint16_t unit);

// `name` with every unit upper-cased.
std::u16string upcaseName(const std::u16string& name);

// True when the two names, each ending at its first 0 unit or after `units` units, are equal
// ignoring case.
bool sameNameIgnoringCase(const uint16_t* a, const uint16_t* b, int units);

#endif
