#include "directory/disk_check.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "directory/cluster_owners.h"
#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "directory/image_path.h"
#include "directory/insert_space.h"
#include "image/chain_cursor.h"
#include "platform/clock.h"

namespace {

uint32_t slotKey(int32_t cluster, int32_t index) {
    return static_cast<uint32_t>(cluster) * 256u + static_cast<uint32_t>(index);
}

uint8_t* slotAt(VolumeImage& im, int32_t cluster, int32_t index) {
    if (index < 0) return nullptr;
    if (cluster == 0) return index < kMaxRootEntries ? im.rootDir + index * de::kSize : nullptr;
    uint8_t* data = im.clusterData(static_cast<uint32_t>(cluster));
    return data != nullptr && index < im.entriesPerCluster ? data + index * de::kSize : nullptr;
}

std::string format(const char* text, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string format(const char* text, ...) {
    char buffer[256];
    va_list args;
    va_start(args, text);
    std::vsnprintf(buffer, sizeof buffer, text, args);
    va_end(args);
    return buffer;
}

// --- the tree -----------------------------------------------------------------------------

struct CheckedEntry {
    uint8_t entry[de::kSize];
    int32_t slotCluster, slotIndex;
    uint16_t folder;  // first cluster of the folder it lies in (0: the root)
    std::string path;
};

struct CheckedFolder {
    uint16_t first;  // 0: the root
    uint16_t parent;
    int32_t entry;  // its entry in `entries`; -1 the root
    std::string path;
};

// Every live entry once, by the rule clusterOwners walks by: each folder entered once by its
// first cluster, a walk stopping where it reaches slots another walk has read.
struct Tree {
    std::vector<CheckedEntry> entries;
    std::vector<CheckedFolder> folders;
    std::unordered_map<uint32_t, int32_t> bySlot;

    void build(VolumeImage& im) {
        size_t limit = 2u + im.clusterCount;
        std::vector<int32_t> readBy(limit, -1);
        std::vector<uint8_t> entered(limit, 0);
        folders.push_back({0, 0, -1, ""});
        WalkedEntry e;
        for (size_t f = 0; f < folders.size(); ++f) {
            CheckedFolder folder = folders[f];
            int32_t walk = static_cast<int32_t>(f);
            forEachEntry(im, folder.first, e, [&](const WalkedEntry& w) {
                if (w.entryCluster > 0) {
                    int32_t& reader = readBy[static_cast<size_t>(w.entryCluster)];
                    if (reader != -1 && reader != walk) return true;
                    reader = walk;
                }
                uint32_t key = slotKey(w.entryCluster, w.entryIndex);
                if (isDotEntry(w.entry) || slotKind(w.entry) != kSlotEntry || bySlot.count(key))
                    return false;
                int32_t id = static_cast<int32_t>(entries.size());
                CheckedEntry c;
                std::memcpy(c.entry, w.entry, de::kSize);
                c.slotCluster = w.entryCluster;
                c.slotIndex = w.entryIndex;
                c.folder = folder.first;
                c.path = folder.path + "/" + imageEntryName(w.entry, w.longName);
                bySlot[key] = id;
                uint16_t first = entryFirstCluster(w.entry);
                if (isFolderEntry(w.entry) && im.isDataCluster(first) && !entered[first]) {
                    entered[first] = 1;
                    folders.push_back({first, folder.first, id, c.path});
                }
                entries.push_back(std::move(c));
                return false;
            });
        }
        folders[0].path = "/";
    }
    std::string pathOf(int32_t cluster, int32_t index) const {
        auto found = bySlot.find(slotKey(cluster, index));
        return found == bySlot.end() ? std::string("?") : entries[size_t(found->second)].path;
    }
};

// --- entries ------------------------------------------------------------------------------

const char kBadNameChars[] = "\"*+,./:;<=>?[\\]|";

bool badNameByte(uint8_t c, int i) {
    if (i == 0 && c == de::kStoredE5) return false;
    return c < 0x20 || c == 0x7F || (c < 0x80 && std::strchr(kBadNameChars, c) != nullptr);
}

// Blanks inside a name are allowed (DOS lists and opens such files); a leading one is not.
bool validShortName(const uint8_t* e) {
    if (e[0] == ' ') return false;
    for (int i = 0; i < 11; ++i)
        if (badNameByte(e[i], i)) return false;
    return true;
}

// An entry with the label bit among other type bits is neither a label nor a file.
bool impossibleAttributes(const uint8_t* e) {
    return (e[de::kAttributes] & de::kAttrVolumeLabel) != 0;
}

struct ChainFacts {
    uint32_t clusters = 0;  // on the valid path
    DiskFindingKind problem = kFindSize;  // kFindBadLink, kFindLoop, or kFindSize: none
    uint16_t cutAt = 0;  // the cluster that gets the end mark; 0: the first cluster goes
    std::string what;
};

// Follows the chain from `first` to its end, or to where it leaves the valid path.
ChainFacts followChain(const VolumeImage& im, uint16_t first) {
    ChainFacts f;
    uint16_t previous = 0;
    for (ChainCursor c(im, first); c.atCluster();) {
        uint16_t at = c.cluster();
        ChainLink link = c.link();
        if (link.kind == kLinkBad) {
            f.problem = kFindBadLink;
            f.cutAt = previous;
            f.what = format("cluster %u in the chain is marked bad", at);
            return f;
        }
        ++f.clusters;
        if (link.kind == kLinkEnd) return f;
        if (link.kind == kLinkBroken) {
            f.problem = kFindBadLink;
            f.cutAt = at;
            f.what = link.next == 0 ? format("cluster %u of the chain is marked free", at)
                                    : format("cluster %u links to %u, out of range", at, link.next);
            return f;
        }
        if (im.fatTable[link.next] == 0) {
            f.problem = kFindBadLink;
            f.cutAt = at;
            f.what = format("cluster %u links to free cluster %u", at, link.next);
            return f;
        }
        if (!c.advance()) {
            f.problem = kFindLoop;
            f.cutAt = at;
            f.what = format("the chain comes back to cluster %u after cluster %u", link.next, at);
            return f;
        }
        previous = at;
    }
    return f;
}

bool validDot(const uint8_t* slot, const char* name, uint16_t cluster) {
    return std::memcmp(slot, name, 11) == 0 && isFolderEntry(slot) &&
           entryFirstCluster(slot) == cluster;
}

// --- lost chains --------------------------------------------------------------------------

struct LostChain {
    uint16_t head;
    uint16_t last;
    uint32_t count;
    bool needsEnd;  // the last cluster's link is no end mark
};

// Chains of lost clusters: from each cluster no lost cluster links to, then (loops) from the
// lowest left; each chain takes clusters no earlier one took.
std::vector<LostChain> lostChains(const VolumeImage& im, const ClusterOwners& owners) {
    std::vector<LostChain> out;
    size_t limit = owners.use.size();
    std::vector<uint8_t> pointed(limit, 0), taken(limit, 0);
    for (size_t c = 2; c < limit; ++c) {
        if (owners.use[c] != kClusterLost) continue;
        ChainLink l = im.nextLink(static_cast<uint32_t>(c));
        if (l.kind == kLinkData && owners.use[l.next] == kClusterLost && l.next != c)
            pointed[l.next] = 1;
    }
    auto follow = [&](uint16_t head) {
        LostChain chain{head, head, 0, false};
        for (uint16_t at = head;;) {
            taken[at] = 1;
            ++chain.count;
            chain.last = at;
            ChainLink l = im.nextLink(at);
            if (l.kind == kLinkEnd) break;
            if (l.kind != kLinkData || owners.use[l.next] != kClusterLost || taken[l.next]) {
                chain.needsEnd = true;
                break;
            }
            at = l.next;
        }
        out.push_back(chain);
    };
    for (size_t c = 2; c < limit; ++c)
        if (owners.use[c] == kClusterLost && !pointed[c]) follow(static_cast<uint16_t>(c));
    for (size_t c = 2; c < limit; ++c)
        if (owners.use[c] == kClusterLost && !taken[c]) follow(static_cast<uint16_t>(c));
    return out;
}

// --- raw slots ----------------------------------------------------------------------------

// Every slot of a folder as the walker reads them: the root to its first free slot, a subfolder
// through its whole chain. `visit(slot, cluster, index)`.
template <typename Visit>
void forEachSlot(VolumeImage& im, uint16_t folder, Visit visit) {
    if (folder == 0) {
        int count = im.rootEntryCount() < kMaxRootEntries ? im.rootEntryCount() : kMaxRootEntries;
        for (int i = 0; i < count; ++i) {
            const uint8_t* slot = im.rootDir + i * de::kSize;
            visit(slot, 0, i);
            if (slot[0] == de::kFree) return;
        }
        return;
    }
    for (ChainCursor c(im, folder); c.atCluster(); c.advance()) {
        const uint8_t* data = im.clusterData(c.cluster());
        for (int i = 0; i < im.entriesPerCluster && i < kMaxClusterBytes / de::kSize; ++i)
            visit(data + i * de::kSize, c.cluster(), i);
    }
}

// A run of long-name slots belongs to the short entry after it when it counts down from its
// last piece (marked 0x40) to 1 and every checksum is the entry's.
bool runFits(VolumeImage& im, const std::vector<std::pair<int32_t, int32_t>>& run,
             const uint8_t* entry) {
    size_t n = run.size();
    if (n == 0 || n > static_cast<size_t>(kLongNamePieces) || slotKind(entry) != kSlotEntry)
        return false;
    uint8_t sum = shortNameChecksum(entry);
    for (size_t k = 0; k < n; ++k) {
        const uint8_t* s = slotAt(im, run[k].first, run[k].second);
        unsigned expected = static_cast<unsigned>(n - k) | (k == 0 ? de::kLastPiece : 0u);
        if ((s[de::kSequence] & (de::kLastPiece | de::kPieceMask)) != expected ||
            s[de::kChecksum] != sum)
            return false;
    }
    return true;
}

// What the repair of a label finding does (DiskFinding::count).
const uint32_t kLabelRemove = 0, kLabelClearClusters = 1, kLabelToBootSector = 2;

void scanSlots(VolumeImage& im, const CheckedFolder& folder, std::vector<DiskFinding>* out) {
    std::vector<std::pair<int32_t, int32_t>> run;
    int labels = 0;
    auto orphan = [&]() {
        if (run.empty()) return;
        DiskFinding f{kFindOrphanSlots, folder.path,
                      format("%u long-name slot%s without its entry", unsigned(run.size()),
                             run.size() == 1 ? "" : "s")};
        f.folder = folder.first;
        f.slots = run;
        out->push_back(std::move(f));
        run.clear();
    };
    forEachSlot(im, folder.first, [&](const uint8_t* slot, int32_t cluster, int32_t index) {
        if (slot[0] == de::kFree || slot[0] == de::kDeleted) {
            orphan();
            return;
        }
        if (hasLongNameAttributes(slot)) {
            if (slot[de::kSequence] & de::kLastPiece) orphan();
            run.emplace_back(cluster, index);
            return;
        }
        if (runFits(im, run, slot)) run.clear();
        orphan();
        if (slotKind(slot) != kSlotLabel) return;
        bool kept = folder.first == 0 && labels++ == 0;
        bool holds = entryFirstCluster(slot) != 0 || readLe32(slot + de::kFileSize) != 0;
        if (kept && !holds) return;
        DiskFinding f{kFindLabel, folder.path,
                      kept                ? "the volume label entry names clusters"
                      : folder.first == 0 ? "a second volume label entry"
                                          : "a volume label entry outside the root"};
        f.slotCluster = cluster;
        f.slotIndex = index;
        f.count = kept ? kLabelClearClusters : kLabelRemove;
        out->push_back(std::move(f));
    });
    orphan();
}

// --- the FAT copies -----------------------------------------------------------------------

// Links of the copy that no sound FAT holds, and a first byte other than the media byte.
int fatDamage(const VolumeImage& im, const uint8_t* fat) {
    int count = im.clusterCount + 2;
    std::vector<uint16_t> table(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
        int o = n * 3 / 2;
        uint16_t pair = static_cast<uint16_t>(fat[o] | (o + 1 < kFatBytes ? fat[o + 1] << 8 : 0));
        table[size_t(n)] = (n & 1) ? static_cast<uint16_t>(pair >> 4) : (pair & 0x0FFF);
    }
    int damage = fat[0] != im.bootSector[bs::kMediaDescriptor] ? 1 : 0;
    for (int n = 2; n < count; ++n) {
        uint16_t v = table[size_t(n)];
        if (v == 0 || v >= kBadClusterMark) continue;
        if (v < 2 || v >= count || table[v] == 0) ++damage;
    }
    return damage;
}

int fatCopies(const VolumeImage& im) { return im.numberOfFats() < 2 ? 1 : 2; }

}  // namespace

void checkImage(VolumeImage& image, DiskCheck* out) {
    VolumeImage& im = image;
    out->findings.clear();
    auto& found = out->findings;
    VolumeLayout layout;
    if (!readVolumeLayout(im.bootSector, &layout)) return;
    if (im.keptBytes.size() < layout.keptBytes)
        found.push_back({kFindBootSector, "boot sector",
                         format("the volume has %u bytes, the image file holds %u fewer",
                                layout.volumeBytes,
                                unsigned(layout.keptBytes - im.keptBytes.size()))});
    uint8_t media = im.bootSector[bs::kMediaDescriptor];
    if (im.fat1[0] != media)
        found.push_back({kFindMediaByte, "FAT",
                         format("first byte 0x%02X, the boot sector's media byte 0x%02X",
                                im.fat1[0], media)});
    if (fatCopies(im) == 2 && std::memcmp(im.fat1, im.fat2, layout.fatBytes) != 0)
        found.push_back({kFindFatCopies, "FAT", "the first and second copies differ"});

    // DOS and Windows read the label from the root's entry; the boot sector's copy must agree.
    uint8_t label[11];
    if (im.bootSector[bs::kExtendedSignature] == 0x29 && im.readLabelEntry(label) &&
        std::memcmp(label, im.bootSector + bs::kVolumeLabel, 11) != 0) {
        DiskFinding f{kFindLabel, "boot sector",
                      "the label differs from the root's volume label entry \"" +
                          std::string(reinterpret_cast<char*>(label), 11) + "\""};
        f.count = kLabelToBootSector;
        found.push_back(std::move(f));
    }

    Tree tree;
    tree.build(im);
    for (const CheckedEntry& c : tree.entries) {
        const uint8_t* e = c.entry;
        auto add = [&](DiskFindingKind kind, std::string what) {
            DiskFinding f{kind, c.path, std::move(what)};
            f.slotCluster = c.slotCluster;
            f.slotIndex = c.slotIndex;
            f.folder = c.folder;
            found.push_back(std::move(f));
        };
        bool folder = isFolderEntry(e);
        if (!validShortName(e)) add(kFindName, "an 8.3 name with characters names may not hold");
        if (impossibleAttributes(e))
            add(kFindAttributes, format("impossible attributes 0x%02X", e[de::kAttributes]));
        uint16_t first = entryFirstCluster(e);
        uint32_t size = readLe32(e + de::kFileSize);
        if ((first != 0 && !im.isDataCluster(first)) || (folder && first == 0)) {
            add(kFindFirstCluster, format("first cluster %u names no data cluster", first));
            continue;
        }
        ChainFacts chain = followChain(im, first);
        if (chain.problem != kFindSize) {
            add(chain.problem, chain.what);
            found.back().cluster = chain.cutAt;
        }
        if (folder) {
            if (size != 0) add(kFindSize, format("a folder with size %u", size));
            continue;
        }
        uint32_t need = static_cast<uint32_t>((uint64_t(size) + im.clusterBytes - 1) / im.clusterBytes);
        if (chain.clusters < need)
            add(kFindSize, format("size %u, but the chain holds %u cluster%s", size,
                                  chain.clusters, chain.clusters == 1 ? "" : "s"));
        else if (chain.clusters > need)
            add(kFindSize, format("a chain of %u clusters, the size %u needs %u", chain.clusters,
                                  size, need));
        if (chain.clusters != need) found.back().count = need;
    }
    for (const CheckedFolder& f : tree.folders) {
        scanSlots(im, f, &found);
        if (f.first == 0) continue;
        const uint8_t* data = im.clusterData(f.first);
        if (validDot(data, ".          ", f.first) &&
            validDot(data + de::kSize, "..         ", f.parent))
            continue;
        DiskFinding d{kFindDots, f.path, "no valid \".\" and \"..\" entries"};
        d.folder = f.first;
        d.count = f.parent;
        d.slotCluster = tree.entries[size_t(f.entry)].slotCluster;
        d.slotIndex = tree.entries[size_t(f.entry)].slotIndex;
        found.push_back(std::move(d));
    }

    ClusterOwners owners;
    clusterOwners(im, &owners);
    for (const auto& join : owners.joins) {
        const OwnerEntry& joiner = owners.entries[size_t(join.first)];
        int32_t firstOwner = owners.firstOwner[join.second];
        std::string other = "?";
        if (firstOwner >= 0) {
            const OwnerEntry& o = owners.entries[size_t(firstOwner)];
            other = tree.pathOf(o.entryCluster, o.entryIndex);
        }
        DiskFinding f{kFindCrossLink, tree.pathOf(joiner.entryCluster, joiner.entryIndex),
                      format("cross-linked with %s from cluster %u on", other.c_str(),
                             join.second)};
        f.slotCluster = joiner.entryCluster;
        f.slotIndex = joiner.entryIndex;
        f.cluster = join.second;
        found.push_back(std::move(f));
    }
    for (const LostChain& lost : lostChains(im, owners)) {
        DiskFinding f{kFindLostChain, format("cluster %u", lost.head),
                      format("a lost chain of %u cluster%s", lost.count,
                             lost.count == 1 ? "" : "s")};
        f.cluster = lost.head;
        f.count = lost.count;
        found.push_back(std::move(f));
    }
}

std::string findingLine(const DiskFinding& finding) { return finding.path + ": " + finding.what; }

namespace {

// --- repairs, one group of kinds per pass -------------------------------------------------

void freeChain(VolumeImage& im, uint16_t first) {
    for (ChainCursor c(im, first); c.atCluster(); c.advance()) {
        c.link();
        im.setLink(c.cluster(), 0);
    }
}

void setFirstCluster(uint8_t* slot, uint16_t cluster) { writeLe16(slot + de::kFirstCluster, cluster); }

// The FAT kept is the first unless the second has fewer links no sound FAT holds.
void mendFatCopies(VolumeImage& im) {
    if (fatCopies(im) == 2 && std::memcmp(im.fat1, im.fat2, kFatBytes) != 0 &&
        fatDamage(im, im.fat2) < fatDamage(im, im.fat1)) {
        std::memcpy(im.fat1, im.fat2, kFatBytes);
        im.decodeFat();
    }
}

// Bad bytes become '_'; a name the folder holds already gives way to FSCKnnnn.REN.
void mendName(VolumeImage& im, const DiskFinding& f, uint8_t* slot) {
    uint8_t name[11];
    std::memcpy(name, slot, 11);
    for (int i = 0; i < 11; ++i)
        if (badNameByte(name[i], i) || (i == 0 && name[0] == ' ')) name[i] = '_';
    auto taken = [&](const uint8_t* candidate) {
        return forEachEntry(im, f.folder, [&](const WalkedEntry& w) {
            bool self = w.entryCluster == f.slotCluster && w.entryIndex == f.slotIndex;
            return !self && std::memcmp(w.entry, candidate, 11) == 0;
        });
    };
    for (unsigned n = 0; taken(name) && n < 10000; ++n) {
        char text[16];
        std::snprintf(text, sizeof text, "FSCK%04uREN", n);
        std::memcpy(name, text, 11);
    }
    std::memcpy(slot, name, 11);
}

void mendEntries(VolumeImage& im, const DiskCheck& check) {
    for (const DiskFinding& f : check.findings) {
        uint8_t* slot = slotAt(im, f.slotCluster, f.slotIndex);
        switch (f.kind) {
        case kFindName:
            if (slot != nullptr) mendName(im, f, slot);
            break;
        case kFindAttributes:
            if (slot != nullptr) slot[de::kAttributes] &= static_cast<uint8_t>(~de::kAttrVolumeLabel);
            break;
        case kFindFirstCluster:
            // A file keeps its entry without data; a folder without content is no folder.
            if (slot != nullptr && isFolderEntry(slot)) slot[0] = de::kDeleted;
            else if (slot != nullptr) setFirstCluster(slot, 0);
            break;
        case kFindLabel:
            if (f.count == kLabelToBootSector) {
                im.readLabelEntry(im.bootSector + bs::kVolumeLabel);
            } else if (slot != nullptr && f.count == kLabelClearClusters) {
                setFirstCluster(slot, 0);
                writeLe32(slot + de::kFileSize, 0);
            } else if (slot != nullptr) {
                slot[0] = de::kDeleted;
            }
            break;
        case kFindOrphanSlots:
            for (const auto& s : f.slots)
                if (uint8_t* o = slotAt(im, s.first, s.second)) o[0] = de::kDeleted;
            break;
        default: break;
        }
    }
    // Written last: "." and ".." take the folder's first two slots whatever held them.
    for (const DiskFinding& f : check.findings) {
        if (f.kind != kFindDots) continue;
        uint8_t* data = im.clusterData(f.folder);
        const uint8_t* owner = slotAt(im, f.slotCluster, f.slotIndex);
        if (data == nullptr) continue;
        for (int i = 0; i < 2; ++i) {
            uint8_t* s = data + i * de::kSize;
            if (owner != nullptr) std::memcpy(s, owner, de::kSize);
            else std::memset(s, 0, de::kSize);
            std::memcpy(s, i == 0 ? ".          " : "..         ", 11);
            s[de::kAttributes] = de::kAttrDirectory;
            s[de::kNameCase] = 0;
            writeLe32(s + de::kFileSize, 0);
            setFirstCluster(s, i == 0 ? f.folder : static_cast<uint16_t>(f.count));
        }
    }
}

void mendChainEnds(VolumeImage& im, const DiskCheck& check) {
    for (const DiskFinding& f : check.findings) {
        if (f.kind != kFindBadLink && f.kind != kFindLoop) continue;
        if (f.cluster != 0) im.setLink(f.cluster, kEndOfChainMark);
        else if (uint8_t* slot = slotAt(im, f.slotCluster, f.slotIndex)) setFirstCluster(slot, 0);
    }
}

// A file gets its own copy of the shared clusters; a folder (and a file when no free clusters
// are left) ends before them, its entry going when it shares from its first cluster.
void mendCrossLinks(VolumeImage& im, const DiskCheck& check, std::vector<std::string>* notes) {
    for (const DiskFinding& f : check.findings) {
        if (f.kind != kFindCrossLink) continue;
        uint8_t* slot = slotAt(im, f.slotCluster, f.slotIndex);
        if (slot == nullptr || slotKind(slot) != kSlotEntry) continue;
        uint16_t previous = 0;
        bool reached = false;
        for (ChainCursor c(im, entryFirstCluster(slot)); c.atCluster(); c.advance()) {
            if (c.cluster() == f.cluster) {
                reached = true;
                break;
            }
            previous = c.cluster();
        }
        if (!reached) continue;  // an earlier repair of this pass changed the chain
        std::vector<uint16_t> shared, copy;
        for (ChainCursor c(im, f.cluster); c.atCluster(); c.advance()) shared.push_back(c.cluster());
        FolderSlots root;
        loadFolderSlots(im, 0, &root);
        bool copied = !isFolderEntry(slot) &&
                      findFreeClusters(im, root, static_cast<int>(shared.size()), &copy);
        uint16_t next = kEndOfChainMark;
        if (copied) {
            for (size_t i = 0; i < shared.size(); ++i)
                std::memcpy(im.clusterData(copy[i]), im.clusterData(shared[i]), im.clusterBytes);
            linkClusters(im, copy.data(), static_cast<int>(copy.size()));
            next = copy[0];
        } else if (!isFolderEntry(slot) && notes != nullptr) {
            notes->push_back(f.path + ": no free clusters for a copy; cut before cluster " +
                             std::to_string(f.cluster));
        }
        if (previous != 0) im.setLink(previous, next);
        else if (copied) setFirstCluster(slot, next);
        else if (isFolderEntry(slot)) slot[0] = de::kDeleted;
        else setFirstCluster(slot, 0);
    }
}

// The size follows a short chain; a long chain is cut to the size and its rest freed.
void mendSizes(VolumeImage& im, const DiskCheck& check) {
    for (const DiskFinding& f : check.findings) {
        if (f.kind != kFindSize) continue;
        uint8_t* slot = slotAt(im, f.slotCluster, f.slotIndex);
        if (slot == nullptr) continue;
        uint16_t first = entryFirstCluster(slot);
        if (isFolderEntry(slot)) {
            writeLe32(slot + de::kFileSize, 0);
            continue;
        }
        ChainFacts chain = followChain(im, first);
        if (chain.clusters < f.count) {
            writeLe32(slot + de::kFileSize, chain.clusters * im.clusterBytes);
            continue;
        }
        if (f.count == 0) {
            freeChain(im, first);
            setFirstCluster(slot, 0);
            continue;
        }
        ChainCursor c(im, first);
        for (uint32_t i = 1; i < f.count && c.atCluster(); ++i) c.advance();
        if (!c.atCluster()) continue;
        uint16_t last = c.cluster();
        ChainLink rest = c.link();
        im.setLink(last, kEndOfChainMark);
        if (rest.kind == kLinkData) freeChain(im, rest.next);
    }
}

// Lost chains become FOUND.nnn\FILEnnnn.CHK in the root; what finds no room there is freed.
void mendLostChains(VolumeImage& im, std::vector<std::string>* notes) {
    ClusterOwners owners;
    clusterOwners(im, &owners);
    std::vector<LostChain> chains = lostChains(im, owners);
    for (const LostChain& c : chains)
        if (c.needsEnd) im.setLink(c.last, kEndOfChainMark);
    if (chains.empty()) return;
    uint16_t date = 0, time = 0, folder = 0;
    currentLocalFatDateTime(&date, &time);
    int result = kResultNameExists;
    for (int n = 0; n < 1000 && result == kResultNameExists; ++n)
        result = im.createFolder(0, format("FOUND.%03d", n).c_str(), date, time, &folder);
    size_t room = 0;
    FolderSlots slots;
    if (result == kResultOk && loadFolderSlots(im, folder, &slots)) {
        size_t perCluster = im.entriesPerCluster;
        size_t need = (chains.size() + 2 + perCluster - 1) / perCluster;
        std::vector<uint16_t> more;
        int free = im.countFreeClusters();
        int grow = static_cast<int>(need - 1) < free ? static_cast<int>(need - 1) : free;
        while (grow > 0 && !findFreeClusters(im, slots, grow, &more)) grow /= 2;
        if (grow > 0) growFolder(im, &slots, more.data(), grow);
        room = static_cast<size_t>(slots.slotCount) - 2;
    }
    im.clear();  // names taken and refusals: the notes say what became of the chains
    for (size_t i = 0; i < chains.size(); ++i) {
        const LostChain& c = chains[i];
        if (i >= room) {
            freeChain(im, c.head);
            continue;
        }
        uint8_t* s = folderSlot(im, slots, static_cast<int>(i + 2));
        std::memset(s, 0, de::kSize);
        std::memcpy(s, format("FILE%04uCHK", unsigned(i % 10000)).c_str(), 11);
        s[de::kAttributes] = de::kAttrArchive;
        writeLe16(s + de::kDate, date);
        writeLe16(s + de::kTime, time);
        setFirstCluster(s, c.head);
        writeLe32(s + de::kFileSize, c.count * im.clusterBytes);
    }
    if (room < chains.size() && notes != nullptr)
        notes->push_back(format("%u lost chain%s freed: no room for them in a FOUND folder",
                                unsigned(chains.size() - room),
                                chains.size() - room == 1 ? "" : "s"));
}

int groupOf(DiskFindingKind kind) {
    switch (kind) {
    case kFindBootSector:
    case kFindMediaByte:
    case kFindFatCopies: return 0;
    case kFindBadLink:
    case kFindLoop: return 2;
    case kFindCrossLink: return 3;
    case kFindSize: return 4;
    case kFindLostChain: return 5;
    default: return 1;
    }
}

const int kRepairPasses = 32;

}  // namespace

int repairImage(VolumeImage& image, DiskCheck* before, std::vector<std::string>* notes) {
    VolumeImage& im = image;
    DiskCheck check;
    checkImage(im, &check);
    if (before != nullptr) *before = check;
    if (check.clean()) return kResultOk;
    if (!im.saveBackup()) {
        im.queueMessage("Not enough memory to keep the image while it is repaired!");
        return kResultHostIo;
    }
    for (int pass = 0; pass < kRepairPasses && !check.clean(); ++pass) {
        int group = 5;
        for (const DiskFinding& f : check.findings)
            group = groupOf(f.kind) < group ? groupOf(f.kind) : group;
        switch (group) {
        case 0: {
            VolumeLayout layout;
            readVolumeLayout(im.bootSector, &layout);
            if (im.keptBytes.size() < layout.keptBytes) im.keptBytes.resize(layout.keptBytes, 0);
            mendFatCopies(im);
            im.fat1[0] = im.bootSector[bs::kMediaDescriptor];
            im.fat1[1] |= 0x0F;
            im.encodeFat();
            break;
        }
        case 1: mendEntries(im, check); break;
        case 2: mendChainEnds(im, check); break;
        case 3: mendCrossLinks(im, check, notes); break;
        case 4: mendSizes(im, check); break;
        default: mendLostChains(im, notes); break;
        }
        im.encodeFat();
        checkImage(im, &check);
    }
    if (!check.clean()) {
        im.restoreBackup();
        im.queueMessage("The image could not be repaired: %s", findingLine(check.findings[0]).c_str());
        return kResultDamaged;
    }
    im.dropBackup();
    return kResultOk;
}
