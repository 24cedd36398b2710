#include "platform/host_memory.h"

bool UntouchedPages::untouched(const void* data, size_t length) const {
    if (pages_.empty() || length == 0) return false;
    uintptr_t start = reinterpret_cast<uintptr_t>(data);
    size_t from = (start - first_) / pageSize_;
    size_t to = (start + length - 1 - first_) / pageSize_;
    for (size_t i = from; i <= to; ++i)
        if (i >= pages_.size() || pages_[i] == 0) return false;
    return true;
}
