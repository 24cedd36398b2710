#include "tests/support/faulty_host.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace {
FaultyHost* g_host = nullptr;

// What the host says when a disk is full.
bool diskFull() {
#ifdef _WIN32
    SetLastError(ERROR_DISK_FULL);
#else
    errno = ENOSPC;
#endif
    return false;
}

bool notPermitted() {
#ifdef _WIN32
    SetLastError(ERROR_ACCESS_DENIED);
#else
    errno = EPERM;
#endif
    return false;
}
}  // namespace

FaultyHost::FaultyHost() : previous(&hostEnv()), table(*previous) {
    table.allocateZeroed = [](size_t bytes) -> uint8_t* {
        int left = g_host->allocationsLeft.load();
        while (left >= 0 && !g_host->allocationsLeft.compare_exchange_weak(left, left - 1)) {
        }
        return left == 0 ? nullptr : g_host->previous->allocateZeroed(bytes);
    };
    table.loadBootTemplate = [](ModuleHandle module, uint8_t out[512]) {
        return !g_host->bootTemplateFails && g_host->previous->loadBootTemplate(module, out);
    };
    table.writeFile = [](intptr_t handle, const void* data, uint32_t count, uint32_t* done) {
        *done = 0;
        int64_t room = g_host->writable.load();
        if (room == 0) return diskFull();
        if (room > 0 && count > room) count = static_cast<uint32_t>(room);
        bool ok = g_host->previous->writeFile(handle, data, count, done);
        if (ok && room > 0) g_host->writable -= *done;
        return ok;
    };
    table.endFile = [](intptr_t handle) {
        return g_host->fileEndFails ? diskFull() : g_host->previous->endFile(handle);
    };
    table.flushFile = [](intptr_t handle) {
        return g_host->flushFails ? diskFull() : g_host->previous->flushFile(handle);
    };
    table.replaceFile = [](const char* from, const char* to, bool replacing) {
        if (g_host->replaceRefused) return notPermitted();
        return g_host->replaceFails ? diskFull()
                                    : g_host->previous->replaceFile(from, to, replacing);
    };
    table.changeOwner = [](intptr_t handle, long owner, long group) {
        if (g_host->ownerChangeRefused && owner != -1) return notPermitted();
        return g_host->previous->changeOwner(handle, owner, group);
    };
    g_host = this;
    installHostEnv(&table);
}

FaultyHost::~FaultyHost() {
    installHostEnv(previous == &hostOwnEnv() ? nullptr : previous);
    g_host = nullptr;
}
