// The host services a test may make fail, as one table of calls that the rest of the code goes
// through: memory for the cluster stores, the boot sector template, and the calls that put a
// saved file on the disk. The programs run on the host's own table; a test installs one that fails
// the calls it chooses and passes the rest on to the table it replaced
// (tests/support/faulty_host.h).
#ifndef TOLVEN_PLATFORM_HOST_ENV_H
#define TOLVEN_PLATFORM_HOST_ENV_H

#include <cstddef>
#include <cstdint>

#include "platform/boot_template.h"

struct HostEnv {
    // `bytes` of zeroed memory, or null when it is not there: pages nobody has touched yet, which
    // loading and saving pass over (platform/host_memory.h). freeZeroed is told the same size.
    uint8_t* (*allocateZeroed)(size_t bytes);
    void (*freeZeroed)(uint8_t* block, size_t bytes);
    // The 512-byte boot sector template of `module` (platform/boot_template.h); false when it
    // cannot be found.
    bool (*loadBootTemplate)(ModuleHandle module, uint8_t out[512]);
    // One write at the open file's position; `*done` receives how many of the `count` bytes went.
    // False, with the host's error set, when the call failed.
    bool (*writeFile)(intptr_t handle, const void* data, uint32_t count, uint32_t* done);
    // Ends the open file at its position, with zeros up to it.
    bool (*endFile)(intptr_t handle);
    // Puts the open file's data on the disk.
    bool (*flushFile)(intptr_t handle);
    // Puts the complete, closed file `from` in the place of `to`, which exists when `replacing`.
    bool (*replaceFile)(const char* from, const char* to, bool replacing);
};

// The table in use.
const HostEnv& hostEnv();
// The host's own table (platform/host_env_posix.cpp, host_env_win32.cpp).
const HostEnv& hostOwnEnv();
// Puts `env` in use; null goes back to the host's own table. The caller keeps `env` alive.
void installHostEnv(const HostEnv* env);

#endif
