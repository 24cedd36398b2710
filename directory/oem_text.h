// The bytes of 8.3 names and volume labels are text in the OEM code page of the system that
// wrote them, which the disk does not record. Tolven reads them with code page 437 (the US DOS
// code page, that of most floppies), the same way everywhere.
#ifndef TOLVEN_DIRECTORY_OEM_TEXT_H
#define TOLVEN_DIRECTORY_OEM_TEXT_H

#include <cstdint>

uint16_t oemByteToUnit(uint8_t byte);

#endif
