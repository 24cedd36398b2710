// The host's own entries of the service table that differ from host to host, for
// platform/host_env_common.cpp to put in the table. Nothing else calls them: they go through it.
#ifndef TOLVEN_PLATFORM_HOST_ENV_OWN_H
#define TOLVEN_PLATFORM_HOST_ENV_OWN_H

#include "platform/host_env.h"

namespace host_own {
bool loadBootTemplate(ModuleHandle module, uint8_t out[512]);
bool writeFile(intptr_t handle, const void* data, uint32_t count, uint32_t* done);
bool endFile(intptr_t handle);
bool flushFile(intptr_t handle);
bool replaceFile(const char* from, const char* to, bool replacing);
bool changeOwner(intptr_t handle, long owner, long group);
}  // namespace host_own

#endif
