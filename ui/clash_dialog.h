// The question an extraction asks when the target folder holds a file of an entry's name:
// Replace or Skip, with "Do this for all" for the rest of the extraction.
#ifndef TOLVEN_UI_CLASH_DIALOG_H
#define TOLVEN_UI_CLASH_DIALOG_H

#include <windows.h>

#include "directory/extract.h"

// Runs the question modally for the host file `path` (UTF-8). Cancel, Escape and closing the
// box cancel the extraction; *forAll receives the check box's state.
ClashAnswer askReplaceOrSkip(HINSTANCE instance, HWND owner, const char* path, bool* forAll);

#endif
