#include "platform/boot_template.h"

#include <cstring>

extern bool gBootTemplateLookupFails;

ModuleHandle programModule() { return nullptr; }

bool loadBootTemplate(ModuleHandle, uint8_t out[512]) {
    if (gBootTemplateLookupFails) return false;
    std::memcpy(out, builtInBootTemplate(), 512);
    return true;
}
