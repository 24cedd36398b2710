// Deleted entries and their recovery (directory/undelete.h). Nothing is written until every check
// of the named entry has passed; a folder's contents are then recovered one by one, each checked
// against the image as the entries before it left it, so clusters are never claimed twice.
#include "directory/undelete.h"

#include <cstring>
#include <utility>

#include "directory/cluster_owners.h"
#include "directory/entry_names.h"
#include "directory/folder_walk.h"
#include "directory/image_path.h"
#include "directory/insert_space.h"
#include "directory/short_name.h"
#include "image/chain_cursor.h"

namespace {

// The slots of one folder in order, whatever clusters hold them.
struct LinearSlots {
    VolumeImage* im;
    bool root;
    std::vector<uint16_t> clusters;
    int perCluster;
    int count;

    uint8_t* at(int p) const {
        if (root) return im->rootDir + p * de::kSize;
        return im->clusterData(clusters[static_cast<size_t>(p / perCluster)]) +
               (p % perCluster) * de::kSize;
    }
    int32_t cluster(int p) const { return root ? 0 : clusters[static_cast<size_t>(p / perCluster)]; }
    int32_t index(int p) const { return root ? p : p % perCluster; }
    int find(int32_t entryCluster, int32_t entryIndex) const {
        for (int p = 0; p < count; ++p)
            if (cluster(p) == entryCluster && index(p) == entryIndex) return p;
        return -1;
    }
};

int slotsPerCluster(const VolumeImage& im) {
    int n = im.entriesPerCluster;
    return n < kMaxClusterBytes / de::kSize ? n : kMaxClusterBytes / de::kSize;
}

// Free for recovery: free in the FAT, and reached by no live chain (a damaged FAT may call a
// cluster free that a chain still holds). What a recovery links is used in the FAT from then on.
struct FreeClusters {
    const VolumeImage& im;
    std::vector<ClusterUse> use;

    explicit FreeClusters(VolumeImage& image) : im(image) {
        ClusterOwners owners;
        clusterOwners(image, &owners);
        use = std::move(owners.use);
    }
    bool operator()(uint32_t cluster) const {
        return im.isDataCluster(cluster) && im.fatTable[cluster] == 0 && cluster < use.size() &&
               use[cluster] == kClusterFree;
    }
    // The next free cluster after `cluster`; 0 when there is none.
    uint16_t after(uint32_t cluster) const {
        for (uint32_t c = cluster + 1; c < static_cast<uint32_t>(im.clusterCount) + 2; ++c)
            if ((*this)(c)) return static_cast<uint16_t>(c);
        return 0;
    }
};

bool holdsEndSlot(const VolumeImage& im, uint16_t cluster) {
    const uint8_t* slots = im.clusterData(cluster);
    for (int i = 0; i < slotsPerCluster(im); ++i)
        if (slots[i * de::kSize] == de::kFree) return true;
    return false;
}

// A slot as a folder may hold it: free, a long-name piece, or an entry with valid attribute bits
// and no control character in its name.
bool plausibleSlot(const uint8_t* slot) {
    if (slot[0] == de::kFree || hasLongNameAttributes(slot)) return true;
    if ((slot[de::kAttributes] & 0xC0) != 0) return false;
    for (int i = 1; i < 11; ++i)
        if (slot[i] < 0x20) return false;
    return true;
}

bool plausibleFolderCluster(const VolumeImage& im, uint16_t cluster) {
    const uint8_t* slots = im.clusterData(cluster);
    for (int i = 0; i < slotsPerCluster(im); ++i)
        if (!plausibleSlot(slots + i * de::kSize)) return false;
    return true;
}

// A deleted folder's chain: its first cluster, which must begin with the "." naming it, then the
// next free cluster while the one before has no free slot and the next one reads as slots.
bool deletedFolderChain(const FreeClusters& free, uint16_t first, std::vector<uint16_t>* chain) {
    const VolumeImage& im = free.im;
    chain->clear();
    if (!free(first)) return false;
    const uint8_t* dot = im.clusterData(first);
    if (!isDotEntry(dot) || dot[1] != ' ' || entryFirstCluster(dot) != first) return false;
    chain->push_back(first);
    for (uint16_t c = first; !holdsEndSlot(im, c);) {
        c = free.after(c);
        if (c == 0 || !plausibleFolderCluster(im, c)) break;
        chain->push_back(c);
    }
    return true;
}

// A deleted file's chain; with its first cluster taken, the free clusters after it.
bool deletedFileChain(const FreeClusters& free, const uint8_t* entry,
                      std::vector<uint16_t>* chain) {
    const VolumeImage& im = free.im;
    chain->clear();
    uint32_t size = readLe32(entry + de::kFileSize);
    if (size == 0) return true;
    uint16_t first = entryFirstCluster(entry);
    if (!im.isDataCluster(first) || im.clusterBytes == 0) return false;
    uint32_t need = (size - 1) / im.clusterBytes + 1;
    bool whole = free(first);
    if (whole) chain->push_back(first);
    for (uint16_t c = first; chain->size() < need && (c = free.after(c)) != 0;)
        chain->push_back(c);
    return whole && chain->size() == need;
}

bool planChain(const FreeClusters& free, const uint8_t* entry, std::vector<uint16_t>* chain) {
    if (isFolderEntry(entry)) return deletedFolderChain(free, entryFirstCluster(entry), chain);
    return deletedFileChain(free, entry, chain);
}

bool validFirstByte(uint8_t b) {
    if (b == de::kStoredE5) return true;
    if (b <= 0x20 || b == de::kDeleted || b == 0x7F || b == '.' || (b >= 'a' && b <= 'z'))
        return false;
    return b >= 0x80 || std::strchr("\"*+,/:;<=>?[\\]|", b) == nullptr;
}

// The deleted long name before slot `p`: the run of deleted long-name slots with one checksum,
// nearest piece first. The checksum gives the lost first byte, which must be one the long name
// could have led to.
void readDeletedLongName(const LinearSlots& s, int p, DeletedEntry* d) {
    static const int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    if (p == 0) return;
    uint8_t sum = s.at(p - 1)[de::kChecksum];
    std::u16string name;
    int used = 0;
    bool ended = false;
    for (int k = p - 1; k >= 0 && used < kLongNamePieces && !ended; --k) {
        const uint8_t* slot = s.at(k);
        if (slot[0] != de::kDeleted || !hasLongNameAttributes(slot) || slot[de::kChecksum] != sum)
            break;
        ++used;
        for (int u = 0; u < kUnitsPerPiece && !ended; ++u) {
            uint16_t unit = readLe16(slot + kOffsets[u]);
            if (unit == 0) ended = true;
            else name.push_back(static_cast<char16_t>(unit));
        }
    }
    if (name.empty()) return;
    uint8_t probe[de::kSize];
    std::memcpy(probe, d->entry, de::kSize);
    int first = 0;
    while (first < 256) {
        probe[0] = static_cast<uint8_t>(first);
        if (shortNameChecksum(probe) == sum) break;
        ++first;
    }
    BasisName basis = makeBasisName(name);
    uint8_t expected = basis.name[0] == de::kDeleted ? de::kStoredE5 : basis.name[0];
    if (first > 255 || !validFirstByte(static_cast<uint8_t>(first)) ||
        (expected != first && expected != '_'))
        return;
    d->longName = name;
    d->firstByte = static_cast<uint8_t>(first);
    d->longSlots = used;
}

bool readFolder(VolumeImage& im, uint16_t folderCluster, const FreeClusters* deletedFolder,
                LinearSlots* s) {
    s->im = &im;
    s->root = folderCluster == 0;
    s->perCluster = slotsPerCluster(im);
    s->clusters.clear();
    if (s->root) {
        s->count = im.rootEntryCount() < kMaxRootEntries ? im.rootEntryCount() : kMaxRootEntries;
        return true;
    }
    if (deletedFolder != nullptr) {
        if (!deletedFolderChain(*deletedFolder, folderCluster, &s->clusters)) return false;
    } else {
        for (ChainCursor c(im, folderCluster); c.atCluster(); c.advance())
            s->clusters.push_back(c.cluster());
    }
    s->count = static_cast<int>(s->clusters.size()) * s->perCluster;
    return !s->clusters.empty();
}

std::vector<DeletedEntry> listSlots(const LinearSlots& s, const FreeClusters& free) {
    std::vector<DeletedEntry> out;
    for (int p = 0; p < s.count; ++p) {
        const uint8_t* slot = s.at(p);
        if (slot[0] == de::kFree) break;
        if (slot[0] != de::kDeleted || hasLongNameAttributes(slot) || hasLabelAttributes(slot) ||
            (slot[de::kAttributes] & 0xC0) != 0)
            continue;
        DeletedEntry d;
        std::memcpy(d.entry, slot, de::kSize);
        d.firstByte = 0;
        d.longSlots = 0;
        d.entryCluster = s.cluster(p);
        d.entryIndex = s.index(p);
        readDeletedLongName(s, p, &d);
        d.recoverable = planChain(free, d.entry, &d.chain);
        out.push_back(d);
    }
    return out;
}

// The entry's names as they would be recovered: the 8.3 bytes with `first` and the long name
// zero-terminated (all zero when none).
void recoveredNames(const DeletedEntry& d, uint8_t first, uint8_t* entry, uint16_t* longName) {
    std::memcpy(entry, d.entry, de::kSize);
    entry[0] = first;
    std::memset(longName, 0, kLongNameBytes);
    for (size_t i = 0; i < d.longName.size() && i + 1 < kLongNameUnits; ++i)
        longName[i] = d.longName[i];
}

struct Recovery {
    VolumeImage& im;
    const FreeClusters& free;
    bool allowPartial;
    std::vector<UndeleteLine>* lines;
};

int recover(Recovery& r, uint16_t folderCluster, const DeletedEntry& d, uint8_t first,
            const std::string& basePath, int depth, int32_t* placedCluster, int32_t* placedIndex,
            std::string* name);

void recoverContents(Recovery& r, uint16_t folder, const std::string& path, int depth) {
    if (depth >= kMaxInsertDepth) return;
    LinearSlots s;
    if (!readFolder(r.im, folder, nullptr, &s)) return;
    for (const DeletedEntry& d : listSlots(s, r.free)) {
        uint8_t first = d.firstByte != 0 ? d.firstByte : static_cast<uint8_t>('_');
        std::string name;
        size_t at = r.lines->size();
        int result = recover(r, folder, d, first, path, depth + 1, nullptr, nullptr, &name);
        if (result == kResultOk) {
            if (d.firstByte == 0) (*r.lines)[at].kind = UndeleteLine::kGivenUnderscore;
        } else {
            UndeleteLine::Kind kind = result == kResultNameExists ? UndeleteLine::kLeftNameTaken
                                                                  : UndeleteLine::kLeftOverwritten;
            r.lines->push_back({kind, path + "/" + deletedEntryName(d)});
        }
    }
}

// Checks, then writes: the entry's first byte and its long-name slots' sequence bytes, its chain,
// then (a folder) its contents. Queues nothing; `*name` gets the refused or recovered name.
int recover(Recovery& r, uint16_t folderCluster, const DeletedEntry& d, uint8_t first,
            const std::string& basePath, int depth, int32_t* placedCluster, int32_t* placedIndex,
            std::string* name) {
    VolumeImage& im = r.im;
    LinearSlots s;
    int p = readFolder(im, folderCluster, nullptr, &s) ? s.find(d.entryCluster, d.entryIndex) : -1;
    if (p < 0 || std::memcmp(s.at(p), d.entry, de::kSize) != 0) return kResultNoEntry;
    uint8_t entry[de::kSize];
    uint16_t longName[kLongNameUnits];
    recoveredNames(d, first, entry, longName);
    *name = imageEntryName(entry, longName);
    if (first == 0) return kResultFirstCharNeeded;
    if (!validFirstByte(first)) return kResultBadFirstChar;

    std::vector<uint16_t> chain;
    bool whole = planChain(r.free, d.entry, &chain);
    bool folder = isFolderEntry(d.entry);
    if (!whole && (folder || !r.allowPartial)) return kResultOverwritten;

    FolderNames names;
    collectNames(im, folderCluster, nullptr, &names);
    uint16_t dotted[kShortNameUnits];
    std::u16string shortText(dotted, dotted + shortNameUnits(entry, dotted));
    if (names.hasShortName(entry) || names.hasName(shortText) ||
        (!d.longName.empty() && names.hasName(d.longName)))
        return kResultNameExists;

    uint8_t* slot = s.at(p);
    slot[0] = first;
    for (int k = 1; k <= d.longSlots; ++k)
        s.at(p - k)[0] = static_cast<uint8_t>(k | (k == d.longSlots ? de::kLastPiece : 0));
    if (!whole) {
        uint32_t room = static_cast<uint32_t>(chain.size()) * im.clusterBytes;
        if (room < readLe32(slot + de::kFileSize)) writeLe32(slot + de::kFileSize, room);
        writeLe16(slot + de::kFirstCluster, chain.empty() ? 0 : chain[0]);
    }
    if (!chain.empty()) linkClusters(im, chain.data(), static_cast<int>(chain.size()));
    r.lines->push_back({whole ? UndeleteLine::kRecovered : UndeleteLine::kPartial,
                        basePath + "/" + *name});
    if (placedCluster != nullptr) *placedCluster = d.entryCluster;
    if (placedIndex != nullptr) *placedIndex = d.entryIndex;
    if (folder) recoverContents(r, chain[0], basePath + "/" + *name, depth);
    return kResultOk;
}

}  // namespace

std::vector<DeletedEntry> listDeleted(VolumeImage& image, uint16_t folderCluster,
                                      bool deletedFolder) {
    FreeClusters free(image);
    LinearSlots s;
    if (!readFolder(image, folderCluster, deletedFolder ? &free : nullptr, &s)) return {};
    return listSlots(s, free);
}

std::string deletedEntryName(const DeletedEntry& d) {
    uint8_t entry[de::kSize];
    uint16_t longName[kLongNameUnits];
    recoveredNames(d, '?', entry, longName);
    return imageEntryName(entry, longName);
}

bool deletedNameMatches(const DeletedEntry& d, const uint16_t* name) {
    uint8_t entry[de::kSize];
    uint16_t longName[kLongNameUnits];
    recoveredNames(d, '?', entry, longName);
    return imageNameMatches(entry, longName, name);
}

uint8_t firstByteFromChar(char c) {
    uint8_t b = static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return b < 0x80 && validFirstByte(b) ? b : 0;
}

int undeleteEntry(VolumeImage& image, uint16_t folderCluster, const DeletedEntry& target,
                  uint8_t firstByte, bool allowPartial, const std::string& basePath,
                  std::vector<UndeleteLine>* lines, int32_t* placedCluster,
                  int32_t* placedIndex) {
    // The same rule as insertion's: slots are written only in a folder that owns its clusters.
    InsertRun::FolderState state = InsertRun(image).folderState(folderCluster);
    if (state != InsertRun::kFolderSound) {
        image.queueMessage("Could not undelete \"%s\": its folder %s! Run Check disk to repair it.",
                           deletedEntryName(target).c_str(),
                           state == InsertRun::kFolderShared
                               ? "shares its clusters with another entry"
                               : "does not begin with \".\" and \"..\"");
        return kResultDamaged;
    }
    FreeClusters free(image);
    Recovery r{image, free, allowPartial, lines};
    uint8_t first = target.firstByte != 0 ? target.firstByte : firstByte;
    std::string name;
    int result =
        recover(r, folderCluster, target, first, basePath, 0, placedCluster, placedIndex, &name);
    const char* subject = name.c_str();
    switch (result) {
    case kResultOk: break;
    case kResultFirstCharNeeded:
        image.queueMessage("The first character of \"%s\" is lost: give it to undelete it.",
                           deletedEntryName(target).c_str());
        break;
    case kResultBadFirstChar:
        image.queueMessage("An 8.3 name cannot begin with the character given for \"%s\"!",
                           deletedEntryName(target).c_str());
        break;
    case kResultOverwritten:
        image.queueMessage(isFolderEntry(target.entry)
                               ? "Folder \"%s\" cannot be undeleted: its first cluster is taken "
                                 "by another entry!"
                               : "File \"%s\" cannot be undeleted: clusters it needs are taken by "
                                 "other files!",
                           deletedEntryName(target).c_str());
        break;
    case kResultNameExists: image.queueMessage("File \"%s\" already exists!", subject); break;
    default:
        image.queueMessage("\"%s\" is no longer a deleted entry!", deletedEntryName(target).c_str());
        break;
    }
    return result;
}
