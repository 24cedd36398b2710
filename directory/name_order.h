// The order in which names are listed: as people read them, not as the bytes sort.
#ifndef TOLVEN_DIRECTORY_NAME_ORDER_H
#define TOLVEN_DIRECTORY_NAME_ORDER_H

#include <cstdint>

// Compares two NUL-terminated UTF-16 names case-insensitively (upcaseUnit), with every run of
// ASCII digits taken as one number, so that "file2" comes before "file10". Numbers of equal
// value with more leading zeros come after ("a1" < "a01" < "a2"). Negative, 0 or positive as
// `a` comes before, equals or comes after `b`; 0 only for names that differ in case alone.
int compareNames(const uint16_t* a, const uint16_t* b);

#endif
