// A host whose chosen services fail (platform/host_env.h). While it lives its table is in use;
// every call it is not told to fail goes on to the table it replaced. One at a time.
#ifndef TOLVEN_TESTS_SUPPORT_FAULTY_HOST_H
#define TOLVEN_TESTS_SUPPORT_FAULTY_HOST_H

#include <atomic>

#include "platform/host_env.h"

class FaultyHost {
public:
    FaultyHost();
    ~FaultyHost();
    // The nth request for zeroed memory from now on (1: the next) gets none.
    void failAllocation(int nth) { allocationsLeft = nth - 1; }
    // Files take `bytes` more in all, then writes fail as on a full disk: the write that would
    // pass the limit writes up to it, the next one fails.
    void failWritesAfter(int64_t bytes) { writable = bytes; }
    bool bootTemplateFails = false, fileEndFails = false, flushFails = false, replaceFails = false;
    // The replacement refused as a sticky folder refuses it; giving a file away refused as it is
    // to anyone but root (changing only the group still works).
    bool replaceRefused = false, ownerChangeRefused = false;

    const HostEnv* previous;
    HostEnv table;
    std::atomic<int> allocationsLeft{-1};  // below 0: none fails
    std::atomic<int64_t> writable{-1};     // below 0: no limit
};

#endif
