// The "Change format" dialog: the disk type the open image's tree is copied to.
#ifndef TOLVEN_UI_CHANGE_FORMAT_DIALOG_H
#define TOLVEN_UI_CHANGE_FORMAT_DIALOG_H

#include <windows.h>

// Runs the dialog modally with `current` selected (-1: none). Returns the chosen disk type, or -1
// when it was cancelled or closed.
int chooseNewDiskType(HWND owner, HINSTANCE instance, int current);

#endif
