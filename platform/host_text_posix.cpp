#include "platform/host_text.h"

size_t hostPathCapacity() { return 4096; }

// POSIX hosts keep their devices in /dev; any name is a plain file inside the target folder.
bool hostNameIsDevice(const char*) { return false; }
