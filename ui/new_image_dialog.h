// The "New image" dialog: disk type, volume label and OEM ID of a new empty image. The record
// carries the inputs in and the choice out; it holds no FAT logic.
#ifndef TOLVEN_UI_NEW_IMAGE_DIALOG_H
#define TOLVEN_UI_NEW_IMAGE_DIALOG_H

#include <windows.h>

#include <cstdint>

// The text of a disk type in the dialog's list ("3.5\" 1440KB image"); null outside the table.
const wchar_t* diskTypeItemText(int diskType);

class NewImageDialog {
public:
    void setInstance(HINSTANCE moduleInstance) { instance = moduleInstance; }
    // Runs the dialog modally; true when it ended with Create and a selected type.
    bool show(HWND owner);
    bool wasCreated() const { return created != 0; }
    int32_t getTypeIndex() const { return typeIndex; }
    // Copy the label (12 bytes) or the OEM ID (9 bytes) into the caller's buffer and return it.
    char* getLabel(char* buffer) const;
    char* getOemId(char* buffer) const;

    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance;
    HWND window;
    HWND typeCombo;
    uint8_t created;
    int32_t typeIndex;
    char label[12];
    char oemId[9];

private:
    void initDialog(HWND dialog);
    void createTypeCombo();
    void readChoice();
    // The label rule of the core; false, after telling the user, when the label is refused.
    bool labelAccepted();
};

#endif
