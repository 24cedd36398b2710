#include "floppy/transfer_notify.h"

// No dialogs here: a transfer reports through a hook or not at all.
void platformSendTransferProgress(void*) {}
void platformEndTransferDialog(void*) {}
