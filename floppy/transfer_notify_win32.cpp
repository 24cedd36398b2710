#include <windows.h>

#include "floppy/transfer_notify.h"

// Synchronous on purpose: the transfer waits until the dialog has taken the text and percentage,
// so the two threads never touch them at once.
void platformSendTransferProgress(void* window) {
    SendMessageA(static_cast<HWND>(window), WM_TRANSFER_PROGRESS, 0, 0);
}

void platformEndTransferDialog(void* window) { EndDialog(static_cast<HWND>(window), 1); }
