// The program entry: common controls, the one editor, the main window and its loop.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "directory/oem_text.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

// The editor is the program's one application object and lives until the process exits.
static ImageEditor gEditor;

// wWinMain (the program is linked with -municode): a Unicode program from its entry on.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Kept loaded for the life of the process; the handle itself is not needed again.
    if (LoadLibraryW(L"comctl32.dll") == nullptr) {
        MessageBoxW(nullptr, L"Error loading comctl32.dll", L"Error", MB_ICONERROR);
        return 1;
    }
    INITCOMMONCONTROLSEX classes;
    classes.dwSize = 8;
    classes.dwICC = ICC_WIN95_CLASSES | ICC_USEREX_CLASSES;  // 0x2FF
    InitCommonControlsEx(&classes);

    // 8.3 names in the system's OEM code page, as Explorer shows them; 437 where Tolven has no
    // table for it.
    if (!setOemCodePage(static_cast<int>(GetOEMCP()))) setOemCodePage(437);
    gEditor.init(instance);
    // "tolven.exe IMAGE", as "Open with" and file associations start it.
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments != nullptr && count >= 2) {
        // UTF-8, as every host path in the program.
        gEditor.setStartupImage(utf8Text(arguments[1]).c_str());
    }
    LocalFree(arguments);
    return gEditor.runMainWindow();
}
