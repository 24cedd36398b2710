#include "image/volume_image.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "directory/dir_entry.h"
#include "image/cluster_memory.h"
#include "image/boot_sector.h"

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
    : clusterStore(nullptr),
      backupClusterStore(nullptr),
      clusterBytes(0),
      backupClusterBytes(0),
      entriesPerCluster(0),
      backupEntriesPerCluster(0),
      clusterCount(0),
      backupClusterCount(0),
      dataSectors(0),
      backupDataSectors(0),
      notifySink(nullptr),
      keepRunning(0),
      sectorsDone(0),
      sectorsTotal(0) {
    statusText[0] = '\0';
    messageText[0] = '\0';
    std::memset(clusters, 0, sizeof clusters);
    std::memset(backupClusters, 0, sizeof backupClusters);
    std::memset(backupFatTable, 0, sizeof backupFatTable);
    std::memset(backupBootSector, 0, sizeof backupBootSector);
    std::memset(backupFat1, 0, sizeof backupFat1);
    std::memset(backupFat2, 0, sizeof backupFat2);
    std::memset(backupRootDir, 0, sizeof backupRootDir);
    std::memset(clusterCopy, 0, sizeof clusterCopy);
    reset();
}

VolumeImage::~VolumeImage() {
    reset();
    freeBackupClusters();
    clear();
}

void VolumeImage::reset() {
    freeClusters();
    clusterCount = 0;
    clusterBytes = 0;
    dataSectors = 0;
    entriesPerCluster = 0;
    std::memset(bootSector, 0, sizeof bootSector);
    std::memset(fat1, 0, sizeof fat1);
    std::memset(fat2, 0, sizeof fat2);
    std::memset(fatTable, 0, sizeof fatTable);
    std::memset(rootDir, 0, sizeof rootDir);
    keptBytes.clear();
}

bool VolumeImage::computeGeometry() {
    VolumeLayout layout;
    bool held = readVolumeLayout(bootSector, &layout);
    clusterBytes = static_cast<uint16_t>(layout.clusterBytes);
    entriesPerCluster = static_cast<uint16_t>(clusterBytes / de::kSize);
    dataSectors = static_cast<uint16_t>(layout.dataSectors);
    clusterCount = static_cast<uint16_t>(layout.clusterCount > static_cast<uint32_t>(kMaxClusters)
                                             ? kMaxClusters
                                             : layout.clusterCount);
    size_t kept = 0;
    for (int i = 0; held && i < layout.areaCount; ++i)
        if (isKeptArea(layout.areas[i].kind)) kept += layout.areas[i].length;
    keptBytes.assign(kept, 0);
    return allocateClusters();
}

bool VolumeImage::imageLayout(VolumeLayout* layout) const {
    if (!readVolumeLayout(bootSector, layout)) return false;
    // The tail is what the kept bytes hold beyond the areas inside the volume.
    size_t inside = 0;
    int count = 0;
    uint32_t end = 0;
    for (int i = 0; i < layout->areaCount; ++i) {
        const VolumeArea& a = layout->areas[i];
        if (a.kind == kAreaTail) continue;
        if (isKeptArea(a.kind)) inside += a.length;
        end = a.offset + a.length;
        layout->areas[count++] = a;
    }
    layout->areaCount = count;
    size_t tailBytes = keptBytes.size() > inside ? keptBytes.size() - inside : 0;
    if (tailBytes > 0)
        layout->areas[layout->areaCount++] = VolumeArea{kAreaTail, 0, end,
                                                        static_cast<uint32_t>(tailBytes)};
    return true;
}

namespace {

// One zeroed buffer of `count` clusters of `bytes` each, with `index[i]` pointing at cluster i and
// the rest of the index cleared; null (index all clear) when the memory is not there.
uint8_t* allocateStore(uint8_t** index, int count, uint32_t bytes) {
    size_t total = static_cast<size_t>(count) * bytes;
    uint8_t* store = count > 0 ? allocateZeroedClusters(total) : nullptr;
    int held = store != nullptr ? count : 0;
    for (int i = 0; i < held; ++i) index[i] = store + static_cast<size_t>(i) * bytes;
    std::fill(index + held, index + kClusterSlots, nullptr);
    return store;
}

void freeStore(uint8_t*& store, uint8_t** index) {
    freeZeroedClusters(store);
    store = nullptr;
    std::fill(index, index + kClusterSlots, nullptr);
}

}  // namespace

// Allocation failure: the image holds no clusters at all (clusterCount 0), so no later access
// reaches a missing buffer. The loaders then fail to read into them and report it; creation on
// a machine that cannot find a few megabytes is not expected.
bool VolumeImage::allocateClusters() {
    freeStore(clusterStore, clusters);
    clusterStore = allocateStore(clusters, clusterCount, clusterBytes);
    bool held = clusterStore != nullptr || clusterCount == 0;
    if (!held) clusterCount = 0;
    return held;
}

bool VolumeImage::allocateBackupClusters() {
    freeStore(backupClusterStore, backupClusters);
    backupClusterStore = allocateStore(backupClusters, backupClusterCount, backupStride());
    bool held = backupClusterStore != nullptr || backupClusterCount == 0;
    if (!held) backupClusterCount = 0;
    return held;
}

// Freeing also clears the pointers, so a second free of the same set does no harm.
void VolumeImage::freeClusters() { freeStore(clusterStore, clusters); }

void VolumeImage::freeBackupClusters() {
    std::vector<uint8_t>().swap(backupKeptBytes);
    freeStore(backupClusterStore, backupClusters);
}

// The backup clusters are sized from the backup boot sector; an image made by computeGeometry
// always has clusterBytes equal to that size, but nothing copies more than both hold.
uint32_t VolumeImage::backupStride() const {
    uint32_t size = static_cast<uint32_t>(readLe16(backupBootSector + bs::kBytesPerSector)) *
                    backupBootSector[bs::kSectorsPerCluster];
    return size == 0 ? 1 : size;
}

// Copies `count` clusters between two stores of `fromStride` and `toStride` bytes per cluster.
static void copyClusters(uint8_t* to, uint32_t toStride, const uint8_t* from, uint32_t fromStride,
                         int count) {
    if (count <= 0 || to == nullptr || from == nullptr) return;
    if (toStride == fromStride) {
        std::memcpy(to, from, static_cast<size_t>(count) * toStride);
        return;
    }
    uint32_t n = toStride < fromStride ? toStride : fromStride;
    for (int i = 0; i < count; ++i)
        std::memcpy(to + static_cast<size_t>(i) * toStride,
                    from + static_cast<size_t>(i) * fromStride, n);
}

bool VolumeImage::saveBackup() {
    freeBackupClusters();
    std::memcpy(backupBootSector, bootSector, sizeof bootSector);
    std::memcpy(backupFat1, fat1, sizeof fat1);
    std::memcpy(backupFat2, fat2, sizeof fat2);
    std::memcpy(backupFatTable, fatTable, sizeof fatTable);
    std::memcpy(backupRootDir, rootDir, sizeof rootDir);
    backupKeptBytes = keptBytes;
    backupClusterBytes = clusterBytes;
    backupEntriesPerCluster = entriesPerCluster;
    backupDataSectors = dataSectors;
    backupClusterCount = clusterCount;
    if (!allocateBackupClusters()) {
        // A backup cut short would restore a shorter image: keep none.
        freeBackupClusters();
        backupClusterCount = 0;
        return false;
    }
    copyClusters(backupClusterStore, backupStride(), clusterStore, clusterBytes,
                 backupClusterCount);
    return true;
}

void VolumeImage::restoreBackup() {
    std::memcpy(bootSector, backupBootSector, sizeof bootSector);
    std::memcpy(fat1, backupFat1, sizeof fat1);
    std::memcpy(fat2, backupFat2, sizeof fat2);
    std::memcpy(fatTable, backupFatTable, sizeof fatTable);
    std::memcpy(rootDir, backupRootDir, sizeof rootDir);
    keptBytes = backupKeptBytes;
    clusterBytes = backupClusterBytes;
    entriesPerCluster = backupEntriesPerCluster;
    dataSectors = backupDataSectors;
    freeClusters();
    clusterCount = backupClusterCount;
    if (backupStride() == clusterBytes) {
        // Restoring takes the backup's buffer over, so it cannot fail for want of memory.
        clusterStore = backupClusterStore;
        backupClusterStore = nullptr;
        std::copy(backupClusters, backupClusters + kClusterSlots, clusters);
        std::fill(backupClusters, backupClusters + kClusterSlots, nullptr);
    } else {
        allocateClusters();
        copyClusters(clusterStore, clusterBytes, backupClusterStore, backupStride(), clusterCount);
        freeStore(backupClusterStore, backupClusters);
    }
    backupClusterCount = 0;
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
    return clusters[cluster - 2];
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
