// The text of the About box, and the version it shares with the program's version resource
// (the resource script includes this file too).
#ifndef TOLVEN_UI_ABOUT_TEXT_H
#define TOLVEN_UI_ABOUT_TEXT_H

#include "version.h"

// The names the resource script's version resource reads.
#define TOLVEN_PROGRAM_VERSION         TOLVEN_VERSION
#define TOLVEN_PROGRAM_VERSION_NUMBERS TOLVEN_VERSION_NUMBERS

#ifndef RC_INVOKED
const char kAboutText[] =
    "Tolven - FAT12 floppy image editor, (C) 2026 the Tolven project. Free to use and to pass on.\n"
    "\n"
    "Version\t: " TOLVEN_VERSION
    "\n"
    "eMail\t: tolven@example.org\n"
    "Internet\t: http://www.example.org/tolven/";
#endif

#endif
