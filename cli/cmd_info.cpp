#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/cli_common.h"
#include "directory/oem_text.h"
#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "platform/host_text.h"

// The blank-padded text at `offset`, trailing blanks kept, as the window shows it: OEM bytes in
// UTF-8, control characters escaped.
static std::string fieldText(const uint8_t* sector, int offset, int width) {
    uint16_t units[12] = {};
    for (int i = 0; i < width && i < 11; ++i) units[i] = oemByteToUnit(sector[offset + i]);
    char text[12 * 3 + 1];
    utf16ToUtf8(units, width, text, sizeof text);
    return escapeControls(text);
}

int runInfo(int argc, char** argv) {
    static const char kUsage[] = "info IMAGE";
    if (argc != 2) return usageError(kUsage);
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    uint8_t b[bs::kSize];
    image->copyBootSector(b);
    std::string oem = fieldText(b, bs::kOemId, 8);
    std::string label = fieldText(b, bs::kVolumeLabel, 11);
    std::string fsType = fieldText(b, bs::kFileSystemType, 8);
    uint16_t total = readLe16(b + bs::kTotalSectors);
    uint16_t bps = readLe16(b + bs::kBytesPerSector);
    bool threeAndHalf = isThreeAndHalfInchVolume(total);
    uint32_t serial = readLe32(b + bs::kSerialNumber);
    std::printf("disk: %s\" Floppy Disk - %iKB\n", threeAndHalf ? "3.5" : "5.25",
                static_cast<int>(static_cast<uint32_t>(total) * bps / 1024));
    std::printf("oem: %s\n", oem.c_str());
    std::printf("fstype: %s\n", fsType.c_str());
    std::printf("serial: %04X-%04X\n", static_cast<unsigned>(serial >> 16),
                static_cast<unsigned>(serial & 0xFFFF));
    std::printf("heads: %i\n", readLe16(b + bs::kHeads));
    std::printf("fats: %i\n", b[bs::kNumberOfFats]);
    std::printf("bytes_per_sector: %i\n", bps);
    std::printf("sectors_total: %i\n", total);
    std::printf("sectors_reserved: %i\n", readLe16(b + bs::kReservedSectors));
    std::printf("sectors_hidden: %i\n", static_cast<int32_t>(readLe32(b + bs::kHiddenSectors)));
    std::printf("sectors_per_cluster: %i\n", b[bs::kSectorsPerCluster]);
    std::printf("sectors_per_track: %i\n", readLe16(b + bs::kSectorsPerTrack));
    std::printf("sectors_per_fat: %i\n", readLe16(b + bs::kSectorsPerFat));
    std::printf("root_entries: %i\n", readLe16(b + bs::kRootEntries));
    std::printf("used_clusters: %i\n", image->countUsedClusters());
    std::printf("reserved_clusters: %i\n", image->countReservedClusters());
    std::printf("bad_clusters: %i\n", image->countBadClusters());
    std::printf("free_clusters: %i\n", image->countFreeClusters());
    std::printf("label: %s\n", label.c_str());
    return kExitOk;
}
