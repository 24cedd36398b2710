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
}  // namespace

FaultyHost::FaultyHost() : previous_(&hostEnv()), table_(*previous_) {
    table_.allocateZeroed = allocateZeroed;
    table_.loadBootTemplate = loadBootTemplate;
    table_.writeFile = writeFile;
    table_.endFile = endFile;
    table_.flushFile = flushFile;
    table_.replaceFile = replaceFile;
    g_host = this;
    installHostEnv(&table_);
}

FaultyHost::~FaultyHost() {
    installHostEnv(previous_ == &hostOwnEnv() ? nullptr : previous_);
    g_host = nullptr;
}

uint8_t* FaultyHost::allocateZeroed(size_t bytes) {
    int left = g_host->allocationsLeft_.load();
    while (left >= 0 && !g_host->allocationsLeft_.compare_exchange_weak(left, left - 1)) {
    }
    return left == 0 ? nullptr : g_host->previous_->allocateZeroed(bytes);
}

bool FaultyHost::loadBootTemplate(ModuleHandle module, uint8_t out[512]) {
    return !g_host->bootTemplateFails_ && g_host->previous_->loadBootTemplate(module, out);
}

bool FaultyHost::writeFile(intptr_t handle, const void* data, uint32_t count, uint32_t* done) {
    *done = 0;
    int64_t room = g_host->writable_.load();
    if (room == 0) return diskFull();
    if (room > 0 && count > room) count = static_cast<uint32_t>(room);
    bool ok = g_host->previous_->writeFile(handle, data, count, done);
    if (ok && room > 0) g_host->writable_.fetch_sub(*done);
    return ok;
}

bool FaultyHost::endFile(intptr_t handle) {
    return g_host->fileEndFails_ ? diskFull() : g_host->previous_->endFile(handle);
}

bool FaultyHost::flushFile(intptr_t handle) {
    return g_host->flushFails_ ? diskFull() : g_host->previous_->flushFile(handle);
}

bool FaultyHost::replaceFile(const char* from, const char* to, bool replacing) {
    return g_host->replaceFails_ ? diskFull() : g_host->previous_->replaceFile(from, to, replacing);
}
