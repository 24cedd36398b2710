// The dialog that asks which image of a ZIP archive of several to open: a list of the member
// names, the first selected. It holds no archive logic; the core named the members.
#ifndef TOLVEN_UI_MEMBER_DIALOG_H
#define TOLVEN_UI_MEMBER_DIALOG_H

#include <windows.h>

#include <string>
#include <vector>

class MemberDialog {
public:
    void setInstance(HINSTANCE moduleInstance) { instance = moduleInstance; }
    // Runs the dialog modally over `names` (UTF-8); true with the chosen one in `chosen` when it
    // ended with Open (or a double click).
    bool show(HWND owner, const std::vector<std::string>& names, std::string* chosen);

    HINSTANCE instance = nullptr;
    const std::vector<std::string>* names = nullptr;
    int choice = -1;
};

#endif
