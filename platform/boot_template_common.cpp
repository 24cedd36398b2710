#include "platform/boot_template.h"

#include "platform/host_env.h"
#include "resources/boot_template_words.h"

namespace {
const uint16_t kTemplateWords[256] = {BOOT_TEMPLATE_WORDS};
uint8_t gTemplateBytes[512];
bool gTemplateReady = false;
}  // namespace

const uint8_t* builtInBootTemplate() {
    if (!gTemplateReady) {
        for (int i = 0; i < 256; ++i) {
            gTemplateBytes[2 * i] = static_cast<uint8_t>(kTemplateWords[i] & 0xFF);
            gTemplateBytes[2 * i + 1] = static_cast<uint8_t>(kTemplateWords[i] >> 8);
        }
        gTemplateReady = true;
    }
    return gTemplateBytes;
}

bool loadBootTemplate(ModuleHandle module, uint8_t out[512]) {
    return hostEnv().loadBootTemplate(module, out);
}
