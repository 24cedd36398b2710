#include "platform/console_text.h"

void useUtf8Console() {}
