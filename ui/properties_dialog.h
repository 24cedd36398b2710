// The "Properties" dialog of an entry: its names, size, date and first cluster, and the four
// attributes a user may change. The record carries the texts and attributes in and the chosen
// attributes out; it holds no FAT logic.
#ifndef TOLVEN_UI_PROPERTIES_DIALOG_H
#define TOLVEN_UI_PROPERTIES_DIALOG_H

#include <windows.h>

#include <cstdint>

class PropertiesDialog {
public:
    void setInstance(HINSTANCE moduleInstance) { instance = moduleInstance; }
    // Runs the dialog modally; true with `attributes` set from the four boxes when it ended with
    // OK. Bits other than read-only, hidden, system and archive come back as they went in.
    bool show(HWND owner);

    HINSTANCE instance = nullptr;
    wchar_t longName[260] = {0};  // empty: the entry has none
    wchar_t shortName[13] = {0};
    char size[32] = {0};
    char modified[128] = {0};
    char firstCluster[16] = {0};
    uint8_t attributes = 0;
};

#endif
