#include "platform/host_memory.h"

#include <cstdlib>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {
// A pagemap entry's flags: the page is in memory, or swapped out.
const uint64_t kPagePresent = 1ull << 63;
const uint64_t kPageSwapped = 1ull << 62;
// The usual size of a huge page (x86-64, arm64 with 4 KB pages).
const uintptr_t kHugePage = 2u << 20;
}  // namespace

UntouchedPages::UntouchedPages(const void* data, size_t length) : first_(0), pageSize_(1) {
#ifdef __linux__
    long size = sysconf(_SC_PAGESIZE);
    if (size <= 0 || length == 0) return;
    pageSize_ = static_cast<size_t>(size);
    uintptr_t start = reinterpret_cast<uintptr_t>(data);
    first_ = start / pageSize_ * pageSize_;
    size_t count = (start + length - first_ + pageSize_ - 1) / pageSize_;
    int fd = ::open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    std::vector<uint64_t> entries(count);
    size_t want = count * sizeof(uint64_t);
    ssize_t got = ::pread(fd, entries.data(), want, static_cast<off_t>(first_ / pageSize_ * 8));
    ::close(fd);
    if (got != static_cast<ssize_t>(want)) return;
    pages_.resize(count);
    for (size_t i = 0; i < count; ++i)
        pages_[i] = (entries[i] & (kPagePresent | kPageSwapped)) == 0 ? 1 : 0;
#else
    (void)data;
    (void)length;
#endif
}

void hostPrepareForWrite(void* data, size_t length) {
#if defined(__linux__)
    const int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, which older headers lack
    long size = sysconf(_SC_PAGESIZE);
    if (size <= 0) return;
    uintptr_t page = static_cast<uintptr_t>(size);
    uintptr_t from = (reinterpret_cast<uintptr_t>(data) + page - 1) / page * page;
    uintptr_t to = (reinterpret_cast<uintptr_t>(data) + length) / page * page;
    // Only huge pages the range fills: one reaching past it would hold memory nothing writes.
    uintptr_t hugeFrom = (from + kHugePage - 1) / kHugePage * kHugePage;
    uintptr_t hugeTo = to / kHugePage * kHugePage;
    if (hugeTo > hugeFrom)
        (void)madvise(reinterpret_cast<void*>(hugeFrom), hugeTo - hugeFrom, MADV_HUGEPAGE);
    if (to > from) (void)madvise(reinterpret_cast<void*>(from), to - from, kPopulateWrite);
#else
    (void)data;
    (void)length;
#endif
}

uint8_t* hostAllocateZeroed(size_t bytes) {
    if (bytes < kHugePage) return static_cast<uint8_t*>(std::calloc(bytes, 1));
    // Mapped with a huge page to spare, then cut to the boundary: fresh anonymous pages are zero.
    size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* mapped = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    uintptr_t base = reinterpret_cast<uintptr_t>(mapped);
    uintptr_t start = (base + kHugePage - 1) / kHugePage * kHugePage;
    if (start > base) ::munmap(mapped, start - base);
    if (base + kHugePage > start)
        ::munmap(reinterpret_cast<void*>(start + length), base + kHugePage - start);
    return reinterpret_cast<uint8_t*>(start);
}

void hostFreeZeroed(uint8_t* block, size_t bytes) {
    if (block == nullptr) return;
    if (bytes < kHugePage) return std::free(block);
    ::munmap(block, (bytes + kHugePage - 1) / kHugePage * kHugePage);
}
