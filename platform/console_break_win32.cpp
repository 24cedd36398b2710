#include "platform/console_break.h"

#include <windows.h>

namespace {
ConsoleBreakSlot g_slot;

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    return g_slot.deliver() ? TRUE : FALSE;
}
}  // namespace

// The console calls its handlers on a thread it starts for each event, which may already be inside
// onConsoleEvent when the handler is removed: clearing the slot waits for that call.
void setConsoleBreakHandler(void (*onBreak)(void* context), void* context) {
    if (onBreak == nullptr) {
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
        g_slot.clear();
        return;
    }
    g_slot.set(onBreak, context);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}
