// The window tests start the common controls as the program entry does, then run every test;
// each test drives a fresh main window of its own.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX classes;
    classes.dwSize = 8;
    classes.dwICC = ICC_WIN95_CLASSES | ICC_USEREX_CLASSES;
    InitCommonControlsEx(&classes);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
