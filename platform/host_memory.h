// What the host knows and does about the program's own memory, page by page. A page of freshly
// allocated memory the program never touched still holds zeros, so a save can leave it as a hole
// in the file without reading it (reading would make the host map it: one fault per page).
#ifndef TOLVEN_PLATFORM_HOST_MEMORY_H
#define TOLVEN_PLATFORM_HOST_MEMORY_H

#include <cstddef>
#include <cstdint>
#include <vector>

class UntouchedPages {
public:
    // Asks the host once about the pages of [data, data + length). Linux answers from
    // /proc/self/pagemap (neither present nor swapped out: never written, nor read); other hosts,
    // or a Linux without it, report every page as touched.
    UntouchedPages(const void* data, size_t length);
    // True when every byte of [data, data + length) lies on pages never touched since they were
    // allocated. The range must lie inside the block asked about.
    bool untouched(const void* data, size_t length) const;

private:
    uintptr_t first_;  // address of the first page
    size_t pageSize_;
    std::vector<uint8_t> pages_;  // 1 for a page never touched; empty when the host cannot tell
};

// Makes the pages of [data, data + length) ready to be written in one call, so that a read
// filling them does not stop at each page (Linux 5.14 and later: MADV_POPULATE_WRITE), in huge
// pages where whole ones lie inside the range: making a small page ready costs more than
// filling it. Does nothing where the host has no such call or refuses it.
void hostPrepareForWrite(void* data, size_t length);

// `bytes` of zeroed memory that no one has touched, or null. On Linux a block of a huge page or
// more starts on a huge page's boundary, so that hostPrepareForWrite can use whole ones.
uint8_t* hostAllocateZeroed(size_t bytes);
// Frees a block of hostAllocateZeroed, given its size.
void hostFreeZeroed(uint8_t* block, size_t bytes);

#endif
