// The text of the About box.
#ifndef TOLVEN_UI_ABOUT_TEXT_H
#define TOLVEN_UI_ABOUT_TEXT_H

#define TOLVEN_PROGRAM_VERSION "0.71b"

const char kAboutText[] =
    "Tolven - FAT12 floppy image editor, (C) 2026 the Tolven project. Free to use and to pass on.\n"
    "\n"
    "Version\t: " TOLVEN_PROGRAM_VERSION "\n"
    "eMail\t: tolven@example.org\n"
    "Internet\t: http://www.example.org/tolven/";

#endif
