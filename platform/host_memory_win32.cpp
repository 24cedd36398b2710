#include "platform/host_memory.h"

#include <cstdlib>

// Windows is not asked: every page counts as touched, and a save reads them all.
UntouchedPages::UntouchedPages(const void* data, size_t length) : first_(0), pageSize_(1) {
    (void)data;
    (void)length;
}

void hostPrepareForWrite(void* data, size_t length) {
    (void)data;
    (void)length;
}

uint8_t* hostAllocateZeroed(size_t bytes) { return static_cast<uint8_t*>(std::calloc(bytes, 1)); }

void hostFreeZeroed(uint8_t* block, size_t) { std::free(block); }
