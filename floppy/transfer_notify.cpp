#include "floppy/transfer_notify.h"

#include <atomic>

namespace {
// Set before a transfer starts and read by its thread, so the pair is published atomically
// enough for that: the context first, then the hook.
std::atomic<void*> g_context{nullptr};
std::atomic<TransferNotifyHook> g_hook{nullptr};
}  // namespace

void setTransferNotifyHook(TransferNotifyHook hook, void* context) {
    g_hook.store(nullptr);
    g_context.store(context);
    g_hook.store(hook);
}

void sendTransferProgress(void* window) {
    TransferNotifyHook hook = g_hook.load();
    if (hook != nullptr)
        hook(g_context.load(), window, kNoticeProgress);
    else
        platformSendTransferProgress(window);
}

void endTransferDialog(void* window) {
    TransferNotifyHook hook = g_hook.load();
    if (hook != nullptr)
        hook(g_context.load(), window, kNoticeEndDialog);
    else
        platformEndTransferDialog(window);
}
