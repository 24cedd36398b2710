// A host whose chosen services fail (platform/host_env.h). While it lives its table is in use;
// every call it is not told to fail goes on to the table it replaced. One at a time.
#ifndef TOLVEN_TESTS_SUPPORT_FAULTY_HOST_H
#define TOLVEN_TESTS_SUPPORT_FAULTY_HOST_H

#include <atomic>
#include <cstdint>

#include "platform/host_env.h"

class FaultyHost {
public:
    FaultyHost();
    ~FaultyHost();
    FaultyHost(const FaultyHost&) = delete;
    FaultyHost& operator=(const FaultyHost&) = delete;

    // The nth request for zeroed memory from now on (1: the next) gets none.
    void failAllocation(int nth) { allocationsLeft_.store(nth - 1); }
    void failBootTemplate() { bootTemplateFails_ = true; }
    // Files take `bytes` more in all, then writes fail as on a full disk: the write that would
    // pass the limit writes up to it, the next one fails.
    void failWritesAfter(uint64_t bytes) { writable_.store(static_cast<int64_t>(bytes)); }
    void failFileEnd() { fileEndFails_ = true; }
    void failFlush() { flushFails_ = true; }
    void failReplace() { replaceFails_ = true; }

private:
    static uint8_t* allocateZeroed(size_t bytes);
    static bool loadBootTemplate(ModuleHandle module, uint8_t out[512]);
    static bool writeFile(intptr_t handle, const void* data, uint32_t count, uint32_t* done);
    static bool endFile(intptr_t handle);
    static bool flushFile(intptr_t handle);
    static bool replaceFile(const char* from, const char* to, bool replacing);

    const HostEnv* previous_;
    HostEnv table_;
    std::atomic<int> allocationsLeft_{-1};  // below 0: none fails
    std::atomic<int64_t> writable_{-1};     // below 0: no limit
    bool bootTemplateFails_ = false;
    bool fileEndFails_ = false;
    bool flushFails_ = false;
    bool replaceFails_ = false;
};

#endif
