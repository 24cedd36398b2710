// The "New folder" dialog: asks for the name of a folder to make in the shown folder. The record
// carries the name in (proposed or last typed) and out; it holds no FAT logic.
#ifndef TOLVEN_UI_NEW_FOLDER_DIALOG_H
#define TOLVEN_UI_NEW_FOLDER_DIALOG_H

#include <windows.h>

const int kFolderNameChars = 260;                  // UTF-16 units the field takes
const int kFolderNameSize = kFolderNameChars * 3;  // the same in UTF-8 bytes

class NewFolderDialog {
public:
    void setInstance(HINSTANCE moduleInstance) { instance = moduleInstance; }
    // Runs the dialog modally with `name` (UTF-8, kFolderNameSize bytes) in its field, selected;
    // true with the typed name in `name` when it ended with Create.
    bool show(HWND owner, char* name);

    HINSTANCE instance = nullptr;
    char name[kFolderNameSize] = {0};
};

#endif
