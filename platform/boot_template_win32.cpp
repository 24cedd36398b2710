#include "platform/boot_template.h"

#include <windows.h>

#include <cstring>

#include "platform/host_env_own.h"
#include "resources/boot_template_words.h"

ModuleHandle programModule() { return GetModuleHandleA(nullptr); }

bool host_own::loadBootTemplate(ModuleHandle module, uint8_t out[512]) {
    HMODULE instance = static_cast<HMODULE>(module);
    HRSRC info = FindResourceA(instance, MAKEINTRESOURCEA(BOOT_TEMPLATE_RESOURCE_ID), "BOOTCODE");
    if (info == nullptr) return false;
    // A resource shorter than a sector would leave part of the boot sector undefined.
    if (SizeofResource(instance, info) < 512) return false;
    HGLOBAL data = LoadResource(instance, info);
    if (data == nullptr) return false;
    const void* bytes = LockResource(data);
    bool ok = bytes != nullptr;
    if (ok) std::memcpy(out, bytes, 512);
    FreeResource(data);
    return ok;
}
