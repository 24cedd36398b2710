// Where new images get their first sector: the BOOTCODE resource 113 of the program on Windows,
// the same bytes built in elsewhere (both come from resources/boot_template_words.h).
#ifndef TOLVEN_PLATFORM_BOOT_TEMPLATE_H
#define TOLVEN_PLATFORM_BOOT_TEMPLATE_H

#include <cstdint>

// The module that holds the program's resources (an HINSTANCE on Windows; unused elsewhere).
typedef void* ModuleHandle;

// The running program's own module (null elsewhere than Windows).
ModuleHandle programModule();

// Copies the 512-byte template into `out`; false when the resource cannot be found. Goes through
// the host's service table (platform/host_env.h).
bool loadBootTemplate(ModuleHandle module, uint8_t out[512]);

// The template exactly as built into the core, for comparison in tests.
const uint8_t* builtInBootTemplate();

#endif
