#include "directory/volume_facts.h"

#include <cstdio>

#include "directory/cluster_owners.h"
#include "directory/disk_survey.h"
#include "directory/oem_text.h"
#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "platform/host_text.h"

namespace {

// The blank-padded text at `offset` (at most 11 bytes), trailing blanks kept.
std::string fieldText(const uint8_t* sector, int offset, int width) {
    uint16_t units[12] = {};
    for (int i = 0; i < width && i < 11; ++i) units[i] = oemByteToUnit(sector[offset + i]);
    char text[12 * 3 + 1];
    utf16ToUtf8(units, width, text, sizeof text);
    return text;
}

}  // namespace

VolumeFacts readVolumeFacts(VolumeImage& image) {
    uint8_t b[bs::kSize];
    image.copyBootSector(b);
    VolumeFacts facts;
    uint16_t total = readLe16(b + bs::kTotalSectors);
    uint16_t sectorBytes = readLe16(b + bs::kBytesPerSector);
    facts.threeAndHalfInch = isThreeAndHalfInchVolume(total);
    char text[64];
    std::snprintf(text, sizeof text, "%s\" Floppy Disk - %iKB",
                  facts.threeAndHalfInch ? "3.5" : "5.25",
                  static_cast<int>(static_cast<uint32_t>(total) * sectorBytes / 1024));
    facts.disk = text;
    facts.oemId = fieldText(b, bs::kOemId, 8);
    facts.fileSystem = fieldText(b, bs::kFileSystemType, 8);
    facts.label = fieldText(b, bs::kVolumeLabel, 11);
    uint32_t serial = readLe32(b + bs::kSerialNumber);
    std::snprintf(text, sizeof text, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                  static_cast<unsigned>(serial & 0xFFFF));
    facts.serial = text;
    facts.bootFigures = {
        {"heads", "%i heads", readLe16(b + bs::kHeads)},
        {"fats", "%i FATs", b[bs::kNumberOfFats]},
        {"bytes_per_sector", "%i bytes per sector", sectorBytes},
        {"sectors_total", "%i sectors total", total},
        {"sectors_reserved", "%i sectors reserved", readLe16(b + bs::kReservedSectors)},
        {"sectors_hidden", "%i sectors hidden",
         static_cast<int32_t>(readLe32(b + bs::kHiddenSectors))},
        {"sectors_per_cluster", "%i sectors per cluster", b[bs::kSectorsPerCluster]},
        {"sectors_per_track", "%i sectors per track", readLe16(b + bs::kSectorsPerTrack)},
        {"sectors_per_fat", "%i sectors per FAT", readLe16(b + bs::kSectorsPerFat)},
        {"root_entries", "max. %i root entries", readLe16(b + bs::kRootEntries)},
    };
    facts.fatFigures = {
        {"used_clusters", "%i used clusters", image.countUsedClusters()},
        {"reserved_clusters", "%i reserved clusters", image.countReservedClusters()},
        {"bad_clusters", "%i bad clusters", image.countBadClusters()},
        {"free_clusters", "%i free clusters", image.countFreeClusters()},
    };
    ClusterOwners owners;
    clusterOwners(image, &owners);
    facts.fatFigures.push_back(
        {"fragmented_files", "Fragmented files: %i", countFragmentedFiles(image, owners)});
    facts.fatFigures.push_back(
        {"largest_free_run", "Largest free run: %i clusters", largestFreeRun(image)});
    return facts;
}
