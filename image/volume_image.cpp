#include "image/volume_image.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "image/boot_sector.h"
#include "image/entry_format.h"

FatClass classifyFatEntry(uint16_t value) {
    if (value == 0x000) return kFatFree;
    if (value <= 0xFEF || value == kEndOfChainMark) return kFatUsed;
    if (value == kBadClusterMark) return kFatBad;
    return kFatReserved;  // 0xFF0-0xFF6 and 0xFF8-0xFFE
}

bool checkBootSector(const uint8_t* b) {
    VolumeLayout layout;
    return readVolumeLayout(b, &layout) && isStreamLayout(layout, b);
}

VolumeImage::VolumeImage()
    : VolumeState(),
      notifySink(nullptr),
      keepRunning(0),
      sectorsDone(0),
      sectorsTotal(0) {
    statusText[0] = '\0';
    messageText[0] = '\0';
}

VolumeImage::~VolumeImage() = default;

void VolumeImage::reset() { static_cast<VolumeState&>(*this) = VolumeState(); }

bool VolumeImage::computeGeometry() {
    VolumeLayout layout;
    bool held = readVolumeLayout(bootSector, &layout);
    clusterBytes = static_cast<uint16_t>(layout.clusterBytes);
    entriesPerCluster = static_cast<uint16_t>(clusterBytes / de::kSize);
    dataSectors = static_cast<uint16_t>(layout.dataSectors);
    clusterCount = static_cast<uint16_t>(layout.clusterCount > static_cast<uint32_t>(kMaxClusters)
                                             ? kMaxClusters
                                             : layout.clusterCount);
    keptBytes.assign(held ? layout.keptBytes : 0, 0);
    return allocateClusters();
}

bool VolumeImage::imageLayout(VolumeLayout* layout) const {
    if (!readVolumeLayout(bootSector, layout)) return false;
    // The tail is what the kept bytes hold beyond the areas inside the volume.
    int last = layout->areaCount - 1;
    if (layout->areas[last].kind == kAreaTail) {
        layout->keptBytes = layout->areas[last].keptAt;
        layout->areaCount = last--;
    }
    const VolumeArea& end = layout->areas[last];
    size_t tailBytes = keptBytes.size() > layout->keptBytes ? keptBytes.size() - layout->keptBytes
                                                            : 0;
    if (tailBytes > 0)
        layout->areas[layout->areaCount++] = VolumeArea{kAreaTail, 0, end.offset + end.length,
                                                        static_cast<uint32_t>(tailBytes),
                                                        layout->keptBytes};
    layout->keptBytes += static_cast<uint32_t>(tailBytes);
    return true;
}

// Allocation failure: the image holds no clusters at all (clusterCount 0), so no later access
// reaches a missing buffer. The loaders then fail to read into them and report it; creation on
// a machine that cannot find a few megabytes is not expected.
bool VolumeImage::allocateClusters() {
    bool held = clusters.allocate(clusterCount, clusterBytes);
    if (!held) clusterCount = 0;
    return held;
}

// Freeing also forgets the buffer, so a second free does no harm.
void VolumeImage::freeClusters() { clusters.release(); }

bool VolumeImage::saveBackup() {
    if (backup == nullptr) backup.reset(new (std::nothrow) VolumeState);
    if (backup != nullptr) *backup = *this;
    // A backup cut short would restore a shorter image: keep none.
    if (backup != nullptr && backup->clusters.count() != clusters.count()) backup.reset();
    return backup != nullptr;
}

void VolumeImage::restoreBackup() {
    if (backup == nullptr) return;
    static_cast<VolumeState&>(*this) = std::move(*backup);
    backup.reset();
}

void VolumeImage::dropBackup() { backup.reset(); }

uint8_t* VolumeState::areaBytes(const VolumeArea& area) {
    switch (area.kind) {
    case kAreaBootSector: return bootSector;
    case kAreaFat: return area.copy == 1 ? fat2 : fat1;
    case kAreaRoot: return rootDir;
    case kAreaClusters: return clusters.data();
    default:
        return area.keptAt + static_cast<size_t>(area.length) <= keptBytes.size()
                   ? keptBytes.data() + area.keptAt
                   : nullptr;
    }
}

bool VolumeImage::copyBootSector(uint8_t* out512) const {
    std::memcpy(out512, bootSector, sizeof bootSector);
    return true;
}

static int countClass(const uint16_t* table, int clusterCount, FatClass wanted) {
    int n = 0;
    for (int c = 2; c <= clusterCount + 1 && c < kFatTableEntries; ++c)
        if (classifyFatEntry(table[c]) == wanted) ++n;
    return n;
}

int VolumeImage::countFreeClusters() const { return countClass(fatTable, clusterCount, kFatFree); }
int VolumeImage::countUsedClusters() const { return countClass(fatTable, clusterCount, kFatUsed); }
int VolumeImage::countReservedClusters() const {
    return countClass(fatTable, clusterCount, kFatReserved);
}
int VolumeImage::countBadClusters() const { return countClass(fatTable, clusterCount, kFatBad); }

FatClass VolumeImage::mapClass(uint32_t cluster) const {
    const std::vector<uint16_t>& bad = container.badClusters;
    if (!bad.empty() && std::binary_search(bad.begin(), bad.end(), cluster)) return kFatBad;
    return cluster < kFatTableEntries ? classifyFatEntry(fatTable[cluster]) : kFatReserved;
}

void VolumeImage::queueMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(messageText, sizeof messageText, format, args);
    va_end(args);
    if (n < 0) messageText[0] = '\0';
    add(messageText, static_cast<uint32_t>(std::strlen(messageText) + 1));
}

const uint8_t* VolumeImage::clusterData(uint32_t cluster) const {
    if (cluster < 2 || cluster > static_cast<uint32_t>(clusterCount) + 1) return nullptr;
    return clusters[static_cast<int>(cluster - 2)];
}

uint8_t* VolumeImage::clusterData(uint32_t cluster) {
    return const_cast<uint8_t*>(static_cast<const VolumeImage*>(this)->clusterData(cluster));
}

ChainLink VolumeImage::nextLink(uint32_t cluster) const {
    if (!isDataCluster(cluster)) return ChainLink{kLinkBroken, 0};
    uint16_t value = fatTable[cluster];
    if (value >= kFirstEndMark) return ChainLink{kLinkEnd, value};
    if (value == kBadClusterMark) return ChainLink{kLinkBad, value};
    return ChainLink{isDataCluster(value) ? kLinkData : kLinkBroken, value};
}

uint16_t VolumeImage::bytesPerSector() const { return readLe16(bootSector + bs::kBytesPerSector); }
uint8_t VolumeImage::sectorsPerCluster() const { return bootSector[bs::kSectorsPerCluster]; }
uint16_t VolumeImage::reservedSectors() const {
    return readLe16(bootSector + bs::kReservedSectors);
}
uint8_t VolumeImage::numberOfFats() const { return bootSector[bs::kNumberOfFats]; }
uint16_t VolumeImage::rootEntryCount() const { return readLe16(bootSector + bs::kRootEntries); }
uint16_t VolumeImage::totalSectors() const { return readLe16(bootSector + bs::kTotalSectors); }
uint16_t VolumeImage::sectorsPerFat() const { return readLe16(bootSector + bs::kSectorsPerFat); }
