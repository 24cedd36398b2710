#include "directory/disk_survey.h"

#include <algorithm>
#include <cstdio>

#include "directory/dir_entry.h"
#include "directory/oem_text.h"
#include "image/boot_sector.h"
#include "platform/host_text.h"

namespace {

std::string format(const char* fmt, unsigned a, unsigned b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, a, b);
    return text;
}

// Code page 437 text of `count` bytes in UTF-8, control bytes as '.'.
std::string oemText(const uint8_t* bytes, int count) {
    uint16_t units[64];
    int n = 0;
    for (int i = 0; i < count && n < 64; ++i) {
        uint16_t u = oemByteToUnit(bytes[i]);
        units[n++] = u < 0x20 || u == 0x7F ? '.' : u;
    }
    char text[64 * 3 + 1];
    utf16ToUtf8(units, n, text, sizeof text);
    return text;
}

uint32_t volumeEnd(const VolumeLayout& layout) {
    const VolumeArea& last = layout.areas[layout.areaCount - 1];
    return last.offset + last.length;
}

const char* kFatCopyNames[] = {"FAT copy 1", "FAT copy 2", "FAT copy 3"};

}  // namespace

std::vector<ClusterRun> chainRuns(const VolumeImage& image, uint16_t first) {
    std::vector<ClusterRun> runs;
    for (ChainCursor c(image, first); c.atCluster(); c.advance()) {
        if (!runs.empty() && runs.back().last + 1 == c.cluster()) runs.back().last = c.cluster();
        else runs.push_back({c.cluster(), c.cluster()});
    }
    return runs;
}

std::string runsText(const std::vector<ClusterRun>& runs) {
    std::string text;
    for (const ClusterRun& r : runs) {
        if (!text.empty()) text += ", ";
        text += r.first == r.last ? format("%u", r.first) : format("%u-%u", r.first, r.last);
    }
    return text;
}

int countFragmentedFiles(const VolumeImage& image, const ClusterOwners& owners) {
    int n = 0;
    for (const OwnerEntry& e : owners.entries)
        if (!e.folder && chainRuns(image, e.firstCluster).size() > 1) ++n;
    return n;
}

int largestFreeRun(const VolumeImage& image) {
    int best = 0, run = 0;
    for (int c = 2; c < image.clusterCount + 2 && c < kFatTableEntries; ++c) {
        run = classifyFatEntry(image.fatTable[c]) == kFatFree ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

std::string clusterOwnerText(VolumeImage& image, const ClusterOwners& owners, uint16_t cluster) {
    if (cluster >= owners.use.size()) return "no data cluster";
    switch (owners.use[cluster]) {
    case kClusterFree: return "free";
    case kClusterReserved: return "reserved";
    case kClusterBad: return "bad";
    case kClusterLost: return "lost";
    case kClusterOwned: return ownerPath(image, owners, owners.firstOwner[cluster]);
    case kClusterShared: break;
    }
    std::string text = "shared:";
    const char* separator = " ";
    for (int32_t o : owners.ownersOf(image, cluster)) {
        text += separator + ownerPath(image, owners, o);
        separator = ", ";
    }
    return text;
}

std::vector<uint16_t> ownerClusters(const VolumeImage& image, const ClusterOwners& owners,
                                    uint16_t cluster) {
    std::vector<uint16_t> out;
    if (cluster >= owners.use.size() || cluster < 2) return out;
    std::vector<uint16_t> starts;
    if (owners.use[cluster] == kClusterLost) starts.push_back(cluster);
    for (int32_t o : owners.ownersOf(image, cluster))
        starts.push_back(owners.entries[static_cast<size_t>(o)].firstCluster);
    for (uint16_t s : starts)
        for (ChainCursor c(image, s); c.atCluster(); c.advance()) out.push_back(c.cluster());
    if (out.empty()) out.push_back(cluster);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

uint32_t volumeSectorCount(const VolumeImage& image) {
    VolumeLayout layout;
    if (!image.imageLayout(&layout)) return 0;
    return (volumeEnd(layout) + layout.bytesPerSector - 1) / layout.bytesPerSector;
}

bool locateSector(const VolumeImage& image, uint32_t sector, SectorPlace* place) {
    VolumeLayout layout;
    if (!image.imageLayout(&layout) || sector >= volumeSectorCount(image)) return false;
    uint32_t bps = layout.bytesPerSector;
    uint32_t at = sector * bps;
    for (int i = 0; i < layout.areaCount; ++i) {
        const VolumeArea& a = layout.areas[i];
        if (at < a.offset || at - a.offset >= a.length) continue;
        place->area = a;
        place->sector = sector;
        place->inArea = (at - a.offset) / bps;
        place->areaSectors = (a.length + bps - 1) / bps;
        place->cluster = 0;
        if (a.kind == kAreaClusters) {
            uint32_t c = (at - a.offset) / layout.clusterBytes;
            place->cluster = static_cast<uint16_t>(c + 2);
            place->inArea = (at - a.offset) % layout.clusterBytes / bps;
            place->areaSectors = layout.clusterBytes / bps;
        }
        return true;
    }
    return false;
}

bool areaFirstSector(const VolumeImage& image, VolumeAreaKind kind, int copy, uint32_t* sector) {
    VolumeLayout layout;
    if (!image.imageLayout(&layout)) return false;
    for (int i = 0; i < layout.areaCount; ++i) {
        if (layout.areas[i].kind != kind || layout.areas[i].copy != copy) continue;
        *sector = layout.areas[i].offset / layout.bytesPerSector;
        return true;
    }
    return false;
}

bool clusterFirstSector(const VolumeImage& image, uint16_t cluster, uint32_t* sector) {
    VolumeLayout layout;
    if (!image.isDataCluster(cluster) || !areaFirstSector(image, kAreaClusters, 0, sector) ||
        !image.imageLayout(&layout))
        return false;
    *sector += (cluster - 2u) * (layout.clusterBytes / layout.bytesPerSector);
    return true;
}

bool readVolumeSector(const VolumeImage& image, uint32_t sector, std::vector<uint8_t>* out) {
    VolumeLayout layout;
    if (!image.imageLayout(&layout) || sector >= volumeSectorCount(image)) return false;
    uint32_t begin = sector * layout.bytesPerSector;
    uint32_t end = begin + layout.bytesPerSector;
    out->assign(layout.bytesPerSector, 0);
    std::vector<uint8_t> fat;
    // A sector may hold the end of one area and the start of the next (the root's slack).
    for (int i = 0; i < layout.areaCount; ++i) {
        const VolumeArea& a = layout.areas[i];
        uint32_t from = std::max(begin, a.offset), to = std::min(end, a.offset + a.length);
        if (from >= to) continue;
        const uint8_t* bytes = nullptr;
        if (a.kind == kAreaFat && a.copy != 1) {
            fat.resize(kFatBytes);
            image.encodeFatInto(fat.data());
            bytes = fat.data();
        } else {
            bytes = const_cast<VolumeImage&>(image).areaBytes(a);
        }
        if (bytes == nullptr) continue;
        std::copy(bytes + (from - a.offset), bytes + (to - a.offset), out->begin() + (from - begin));
    }
    return true;
}

std::string sectorAreaText(VolumeImage& image, const ClusterOwners& owners,
                           const SectorPlace& place) {
    std::string text;
    switch (place.area.kind) {
    case kAreaBootSector: text = "boot sector"; break;
    case kAreaFat: text = kFatCopyNames[place.area.copy % kMaxFatCopies]; break;
    case kAreaRoot:
    case kAreaRootSlack: text = "root directory"; break;
    case kAreaClusters: {
        text = format("cluster %u", place.cluster);
        std::string owner = clusterOwnerText(image, owners, place.cluster);
        if (place.cluster < owners.use.size() && owners.use[place.cluster] == kClusterOwned)
            text += " of " + owner;
        else if (owner.compare(0, 7, "shared:") == 0) text += ", shared by" + owner.substr(7);
        else text += " (" + owner + ")";
        break;
    }
    default: text = areaName(place.area); break;
    }
    if (place.areaSectors > 1)
        text += format(" (sector %u of %u)", place.inArea + 1, place.areaSectors);
    return text;
}

bool isDirectorySector(const ClusterOwners& owners, const SectorPlace& place) {
    if (place.area.kind == kAreaRoot) return true;
    if (place.area.kind != kAreaClusters || place.cluster >= owners.firstOwner.size()) return false;
    int32_t o = owners.firstOwner[place.cluster];
    return o >= 0 && owners.entries[static_cast<size_t>(o)].folder;
}

std::string hexDumpLine(uint32_t offset, const uint8_t* bytes, int count) {
    char text[80];
    int n = std::snprintf(text, sizeof text, "%08X ", static_cast<unsigned>(offset));
    for (int i = 0; i < 16; ++i) {
        if (i == 8) text[n++] = ' ';
        size_t room = sizeof text - static_cast<size_t>(n);
        if (i < count) n += std::snprintf(text + n, room, " %02X", bytes[i]);
        else n += std::snprintf(text + n, room, "   ");
    }
    return std::string(text, static_cast<size_t>(n)) + "  |" + oemText(bytes, count) + "|";
}

std::vector<std::string> bootSectorLines(const uint8_t* b) {
    struct Field {
        int offset, size;
        const char* name;
        bool text;
    };
    static const Field kFields[] = {
        {bs::kJump, 3, "jump", false},
        {bs::kOemId, 8, "OEM name", true},
        {bs::kBytesPerSector, 2, "bytes per sector", false},
        {bs::kSectorsPerCluster, 1, "sectors per cluster", false},
        {bs::kReservedSectors, 2, "reserved sectors", false},
        {bs::kNumberOfFats, 1, "FATs", false},
        {bs::kRootEntries, 2, "root entries", false},
        {bs::kTotalSectors, 2, "total sectors", false},
        {bs::kMediaDescriptor, 1, "media descriptor", false},
        {bs::kSectorsPerFat, 2, "sectors per FAT", false},
        {bs::kSectorsPerTrack, 2, "sectors per track", false},
        {bs::kHeads, 2, "heads", false},
        {bs::kHiddenSectors, 4, "hidden sectors", false},
        {bs::kTotalSectors32, 4, "total sectors (32-bit)", false},
        {bs::kDriveNumber, 1, "drive number", false},
        {bs::kExtendedSignature, 1, "extended signature", false},
        {bs::kSerialNumber, 4, "serial number", false},
        {bs::kVolumeLabel, 11, "volume label", true},
        {bs::kFileSystemType, 8, "file system", true},
        {bs::kSignature, 2, "signature", false},
    };
    std::vector<std::string> lines;
    for (const Field& f : kFields) {
        char head[48];
        std::snprintf(head, sizeof head, "0x%03X %2i  %-24s", f.offset, f.size, f.name);
        std::string value;
        const uint8_t* p = b + f.offset;
        if (f.text) value = "\"" + oemText(p, f.size) + "\"";
        else if (f.offset == bs::kJump) value = format("%02X ", p[0]) + format("%02X ", p[1]) + format("%02X", p[2]);
        else if (f.offset == bs::kMediaDescriptor || f.offset == bs::kExtendedSignature ||
                 f.offset == bs::kDriveNumber)
            value = format("0x%02X", p[0]);
        else if (f.offset == bs::kSerialNumber)
            value = format("%04X-%04X", readLe32(p) >> 16, readLe32(p) & 0xFFFF);
        else if (f.offset == bs::kSignature) value = format("0x%04X", readLe16(p));
        else value = format("%u", f.size == 1 ? p[0] : f.size == 2 ? readLe16(p) : readLe32(p));
        lines.push_back(head + value);
    }
    return lines;
}

std::vector<std::string> directorySlotLines(const uint8_t* bytes, uint32_t size,
                                            uint32_t firstSlot) {
    std::vector<std::string> lines{"slot  kind       name          attr  cluster  size"};
    uint32_t slots = size / de::kSize;
    for (uint32_t i = 0; i < slots; ++i) {
        const uint8_t* s = bytes + i * de::kSize;
        char line[160];
        unsigned number = firstSlot + i;
        SlotKind kind = slotKind(s);
        if (kind == kSlotFree) {
            uint32_t last = i;
            while (last + 1 < slots && slotKind(bytes + (last + 1) * de::kSize) == kSlotFree) ++last;
            if (last == i) std::snprintf(line, sizeof line, "%4u  free", number);
            else std::snprintf(line, sizeof line, "%4u  free       to slot %u", number, firstSlot + last);
            lines.push_back(line);
            i = last;
            continue;
        }
        if (kind == kSlotLongName) {
            uint16_t units[13];
            static const int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
            int n = 0;
            for (int k : kOffsets) {
                uint16_t u = readLe16(s + k);
                if (u == 0 || u == 0xFFFF) break;
                units[n++] = u < 0x20 ? '.' : u;
            }
            char piece[13 * 3 + 1];
            utf16ToUtf8(units, n, piece, sizeof piece);
            // The checksum is checked against the short entry after the run when this sector
            // holds it.
            const char* check = "";
            uint32_t next = i + 1;
            while (next < slots && hasLongNameAttributes(bytes + next * de::kSize)) ++next;
            if (next < slots && slotKind(bytes + next * de::kSize) == kSlotEntry)
                check = shortNameChecksum(bytes + next * de::kSize) == s[de::kChecksum]
                            ? " ok"
                            : " mismatch";
            std::snprintf(line, sizeof line, "%4u  long name  \"%s\"  order %u%s, sum 0x%02X%s",
                          number, piece, s[de::kSequence] & 0x1F,
                          (s[de::kSequence] & de::kLastPiece) != 0 ? " last" : "",
                          s[de::kChecksum], check);
            lines.push_back(line);
            continue;
        }
        uint16_t units[kShortNameUnits];
        int n = shortNameUnits(s, units);
        char name[kShortNameUnits * 3 + 1];
        for (int k = 0; k < n; ++k) units[k] = units[k] < 0x20 ? '.' : units[k];
        utf16ToUtf8(units, n, name, sizeof name);
        const char* kindText = kind == kSlotDeleted ? "deleted"
                               : kind == kSlotLabel ? "label"
                               : isFolderEntry(s)   ? "folder"
                                                    : "entry";
        uint8_t a = s[de::kAttributes];
        char attr[6] = {(a & de::kAttrReadOnly) ? 'r' : '-', (a & de::kAttrHidden) ? 'h' : '-',
                        (a & de::kAttrSystem) ? 's' : '-', (a & de::kAttrArchive) ? 'a' : '-',
                        (a & de::kAttrDirectory) ? 'd' : '-', '\0'};
        std::snprintf(line, sizeof line, "%4u  %-9s  %-12s  %s  %7u  %u", number, kindText,
                      name, attr, static_cast<unsigned>(readLe16(s + de::kFirstCluster)),
                      static_cast<unsigned>(readLe32(s + de::kFileSize)));
        lines.push_back(line);
    }
    return lines;
}
