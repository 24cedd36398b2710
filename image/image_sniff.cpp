#include "image/boot_sector.h"
#include "image/container.h"
#include "image/volume_layout.h"
#include "platform/host_file.h"

bool looksLikeImageFile(const char* path) {
    HostFile file;
    uint8_t head[bs::kSize] = {0};
    uint32_t got = 0;
    if (!file.openForReading(path) || !file.read(head, sizeof head, &got)) return false;
    if (detectContainer(head, got) != kContainerRaw) return true;
    VolumeLayout layout;
    return got == sizeof head && readVolumeLayout(head, &layout);
}
