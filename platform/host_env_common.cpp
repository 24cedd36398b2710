#include "platform/host_env.h"

#include <atomic>
#include <cstdlib>

#include "platform/host_env_own.h"
#include "platform/host_memory.h"

namespace {

const HostEnv kOwn = {hostAllocateZeroed,   hostFreeZeroed,    host_own::loadBootTemplate,
                      host_own::writeFile,  host_own::endFile, host_own::flushFile,
                      host_own::replaceFile};

std::atomic<const HostEnv*> g_installed{nullptr};

}  // namespace

const HostEnv& hostOwnEnv() { return kOwn; }

const HostEnv& hostEnv() {
    const HostEnv* installed = g_installed.load();
    return installed != nullptr ? *installed : kOwn;
}

void installHostEnv(const HostEnv* env) { g_installed.store(env); }
