// The question an extraction or an insertion asks when the target folder holds an entry's name:
// Replace or Skip (and for insertion Keep both), with "Do this for all" for the rest of the
// operation.
#ifndef TOLVEN_UI_CLASH_DIALOG_H
#define TOLVEN_UI_CLASH_DIALOG_H

#include <windows.h>

#include <string>

#include "directory/name_clash.h"

// Runs the question modally for the host file `path` (UTF-8). Cancel, Escape and closing the
// box cancel the extraction; *forAll receives the check box's state.
ClashAnswer askReplaceOrSkip(HINSTANCE instance, HWND owner, const char* path, bool* forAll);

// Insertion's question about `name` (UTF-8), which the shown folder holds already. Replace is
// offered only where the entries are of one kind (a file for a file, a folder for a folder:
// then it merges). Cancel ends the insertion.
ClashAnswer askInsertClash(HINSTANCE instance, HWND owner, const std::string& name,
                           bool oldIsFolder, bool newIsFolder, bool* forAll);

#endif
