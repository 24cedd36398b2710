// The text of the About box, and the version it shares with the program's version resource
// (the resource script includes this file too).
#ifndef TOLVEN_UI_ABOUT_TEXT_H
#define TOLVEN_UI_ABOUT_TEXT_H

#define TOLVEN_PROGRAM_VERSION "0.71b"
// The same as the four numbers of a file version: major, minor, 0, 0 (the letter has no number).
#define TOLVEN_PROGRAM_VERSION_NUMBERS 0, 71, 0, 0

#ifndef RC_INVOKED
const char kAboutText[] =
    "Tolven - FAT12 floppy image editor, (C) 2026 the Tolven project. Free to use and to pass on.\n"
    "\n"
    "Version\t: " TOLVEN_PROGRAM_VERSION "\n"
    "eMail\t: tolven@example.org\n"
    "Internet\t: http://www.example.org/tolven/";
#endif

#endif
