#include "platform/console_break.h"

#include <windows.h>

#include <atomic>

namespace {
std::atomic<void (*)(void*)> g_onBreak{nullptr};
std::atomic<void*> g_context{nullptr};

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    void (*onBreak)(void*) = g_onBreak.load();
    if (onBreak == nullptr) return FALSE;
    onBreak(g_context.load());
    return TRUE;
}
}  // namespace

void setConsoleBreakHandler(void (*onBreak)(void* context), void* context) {
    if (onBreak == nullptr) {
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
        g_onBreak.store(nullptr);
        return;
    }
    g_context.store(context);
    g_onBreak.store(onBreak);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}
