#include "platform/host_env.h"

#include <atomic>
#include <cstdlib>

#include "platform/host_env_own.h"

namespace {

uint8_t* allocateZeroed(size_t bytes) { return static_cast<uint8_t*>(std::calloc(bytes, 1)); }

void freeZeroed(uint8_t* block) { std::free(block); }

const HostEnv kOwn = {allocateZeroed,        freeZeroed,           host_own::loadBootTemplate,
                      host_own::writeFile,   host_own::endFile,    host_own::flushFile,
                      host_own::replaceFile, host_own::changeOwner};

std::atomic<const HostEnv*> g_installed{nullptr};

}  // namespace

const HostEnv& hostOwnEnv() { return kOwn; }

const HostEnv& hostEnv() {
    const HostEnv* installed = g_installed.load();
    return installed != nullptr ? *installed : kOwn;
}

void installHostEnv(const HostEnv* env) { g_installed.store(env); }
