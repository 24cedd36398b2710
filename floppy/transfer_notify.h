// How a transfer reaches the drive dialog: each published step is sent to the dialog window as
// WM_TRANSFER_PROGRESS (synchronously), and the closing step ends the dialog with 1. On Windows
// this is SendMessageA and EndDialog; a hook replaces both, for tests and for tolven-cli, which has
// no dialog. Without a hook on other hosts nothing is sent.
#ifndef TOLVEN_FLOPPY_TRANSFER_NOTIFY_H
#define TOLVEN_FLOPPY_TRANSFER_NOTIFY_H

#define WM_TRANSFER_PROGRESS (0x0400 + 10)  // WM_USER + 10

enum TransferNotice { kNoticeProgress, kNoticeEndDialog };

typedef void (*TransferNotifyHook)(void* context, void* window, TransferNotice notice);

// Installs a process-wide hook (null puts the platform's calls back).
void setTransferNotifyHook(TransferNotifyHook hook, void* context);

void sendTransferProgress(void* window);
void endTransferDialog(void* window);

// The platform's own calls (transfer_notify_win32.cpp / _posix.cpp).
void platformSendTransferProgress(void* window);
void platformEndTransferDialog(void* window);

#endif
