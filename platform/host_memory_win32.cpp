#include "platform/host_memory.h"

// Windows is not asked: every page counts as touched, and a save reads them all.
UntouchedPages::UntouchedPages(const void* data, size_t length) : first_(0), pageSize_(1) {
    (void)data;
    (void)length;
}

void hostPrepareForWrite(void* data, size_t length) {
    (void)data;
    (void)length;
}
