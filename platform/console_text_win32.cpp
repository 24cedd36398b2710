#include "platform/console_text.h"

#include <windows.h>

#include <cstdlib>

namespace {
UINT g_consoleCodePage = 0;

// The console outlives the program: the shell and the programs after it expect its code page.
void restoreCodePage() { SetConsoleOutputCP(g_consoleCodePage); }
}  // namespace

void useUtf8Console() {
    UINT current = GetConsoleOutputCP();  // 0 without a console
    if (current == 0 || current == CP_UTF8 || g_consoleCodePage != 0) return;
    if (!SetConsoleOutputCP(CP_UTF8)) return;
    g_consoleCodePage = current;
    std::atexit(restoreCodePage);
}
