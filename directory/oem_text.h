// The bytes of 8.3 names and volume labels are text in the OEM code page of the system that
// wrote them, which the disk does not record. Tolven reads and writes them in one code page for
// the whole process: 437 (the US DOS code page, that of most floppies) unless the CLI's
// --codepage or, in the window on Windows, the system's OEM code page chooses another.
#ifndef TOLVEN_DIRECTORY_OEM_TEXT_H
#define TOLVEN_DIRECTORY_OEM_TEXT_H

#include <cstdint>

// The code pages Tolven has tables for: 437, 850, 852 and 866.
bool isSupportedCodePage(int number);
// Makes `number` the code page of every later conversion; false (nothing changed) when it is not
// supported. Called before any name is read.
bool setOemCodePage(int number);
int oemCodePage();

uint16_t oemByteToUnit(uint8_t byte);
// The byte that stands for `unit` in the code page; 0 when it has none.
uint8_t unitToOemByte(uint16_t unit);

#endif
