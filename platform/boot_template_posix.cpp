#include "platform/boot_template.h"

#include <cstring>

#include "platform/host_env_own.h"

ModuleHandle programModule() { return nullptr; }

// Built in: there are no resources to look in.
bool host_own::loadBootTemplate(ModuleHandle, uint8_t out[512]) {
    std::memcpy(out, builtInBootTemplate(), 512);
    return true;
}
