// The tree is copied in two passes with one walk: the first only counts the clusters and root
// slots it would take, so a tree that does not fit is refused before anything is written, and the
// second, taking the same steps, is then sure to fit.
#include "directory/convert_image.h"

#include <cstring>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "directory/long_name.h"
#include "image/boot_sector.h"
#include "image/disk_types.h"

namespace {

const uint8_t kExtendedBootSignature = 0x29;
const int kHighClusterWord = 20;  // FAT32's upper half of the first cluster; 0 on FAT12

std::u16string walkedLongName(const WalkedEntry& e) {
    std::u16string name;
    for (int i = 0; i < kLongNameUnits && e.longName[i] != 0; ++i)
        name.push_back(static_cast<char16_t>(e.longName[i]));
    return name;
}

int slotsOf(const WalkedEntry& e) { return longNameSlotCount(walkedLongName(e).size()) + 1; }

// The root's first label entry before its end mark, as DOS reads the volume's label.
const uint8_t* rootLabelEntry(const VolumeImage& image) {
    int slots = image.rootEntryCount() < kMaxRootEntries ? image.rootEntryCount() : kMaxRootEntries;
    for (int i = 0; i < slots; ++i) {
        const uint8_t* slot = image.rootDir + i * de::kSize;
        SlotKind kind = slotKind(slot);
        if (kind == kSlotFree) break;
        if (kind == kSlotLabel) return slot;
    }
    return nullptr;
}

// Where the jump at the start of the boot sector leads, or -1 for no jump the program knows.
int bootJumpTarget(const uint8_t* sector) {
    if (sector[0] == 0xEB) return 2 + static_cast<int8_t>(sector[1]);
    if (sector[0] == 0xE9) return 3 + static_cast<int16_t>(readLe16(sector + 1));
    return -1;
}

class Converter {
public:
    Converter(VolumeImage& source, VolumeImage& target)
        : src_(source), dst_(target), writing_(false), next_(2), result_(kResultOk) {}

    // One pass over the whole tree; the root's entries start at root slot `rootStart`.
    void run(bool writing, int rootStart) {
        writing_ = writing;
        next_ = 2;
        entered_.assign(static_cast<size_t>(src_.clusterCount) + 2, false);
        rootSlot_ = rootStart;
        copyFolder(0, 0, 0, 0);
    }
    uint32_t clustersTaken() const { return next_ - 2; }
    int result() const { return result_; }
    int countSlots(uint16_t srcFirst) {
        int slots = 0;
        forEachEntry(src_, srcFirst, [&](WalkedEntry& e) {
            if (!isDotEntry(e.entry)) slots += slotsOf(e);
        });
        return slots;
    }

private:
    uint16_t take(uint32_t count) {
        uint16_t first = static_cast<uint16_t>(next_);
        next_ += count;
        if (writing_) {
            for (uint32_t i = 0; i < count; ++i)
                dst_.setLink(first + i, i + 1 < count ? static_cast<uint16_t>(first + i + 1)
                                                      : kEndOfChainMark);
        }
        return first;
    }

    uint8_t* slotAt(uint16_t dstFirst, int index) {
        if (dstFirst == 0) return dst_.rootDir + index * de::kSize;
        return dst_.clusterData(dstFirst + static_cast<uint32_t>(index / dst_.entriesPerCluster)) +
               (index % dst_.entriesPerCluster) * de::kSize;
    }

    // A source folder is entered once, when its first cluster is a data cluster.
    bool mayEnter(uint16_t srcFirst) {
        if (!src_.isDataCluster(srcFirst) || entered_[srcFirst]) return false;
        entered_[srcFirst] = true;
        return true;
    }

    uint16_t copyFolderEntry(const uint8_t* entry, uint16_t dstParent, int depth) {
        uint16_t srcFirst = entryFirstCluster(entry);
        bool enter = mayEnter(srcFirst);
        if (enter && depth >= kMaxInsertDepth) {
            if (result_ == kResultOk) {
                src_.queueMessage("The folders of the image are nested too deeply to be copied!");
                result_ = kResultTooDeep;
            }
            enter = false;
        }
        int slots = 2 + (enter ? countSlots(srcFirst) : 0);
        uint32_t bytes = static_cast<uint32_t>(slots) * de::kSize;
        uint16_t first = take((bytes + dst_.clusterBytes - 1) / dst_.clusterBytes);
        if (writing_) {
            // "." and ".." with the folder's own times, as a new folder gets them.
            for (int i = 0; i < 2; ++i) {
                uint8_t* dot = slotAt(first, i);
                std::memcpy(dot, entry, de::kSize);
                std::memcpy(dot + de::kName, i == 0 ? ".          " : "..         ", 11);
                dot[de::kAttributes] = de::kAttrDirectory;
                dot[de::kNameCase] = 0;
                writeLe16(dot + kHighClusterWord, 0);
                writeLe16(dot + de::kFirstCluster, i == 0 ? first : dstParent);
                writeLe32(dot + de::kFileSize, 0);
            }
        }
        if (enter) copyFolder(srcFirst, first, 2, depth + 1);
        return first;
    }

    // The file's bytes as its chain holds them, up to its size, into a new chain; `*size` gets
    // how many there were.
    uint16_t copyFileData(const uint8_t* entry, uint32_t* size) {
        uint16_t srcFirst = entryFirstCluster(entry);
        uint32_t srcBytes = src_.clusterBytes;
        uint32_t chained = 0;
        uint32_t wanted = readLe32(entry + de::kFileSize);
        for (ChainCursor c(src_, srcFirst); c.atCluster() && chained < wanted; c.advance())
            chained += srcBytes;
        *size = chained < wanted ? chained : wanted;
        uint32_t count = (*size + dst_.clusterBytes - 1) / dst_.clusterBytes;
        if (count == 0) return 0;
        uint16_t first = take(count);
        if (!writing_) return first;
        uint32_t left = *size, at = 0;
        for (ChainCursor c(src_, srcFirst); c.atCluster() && left > 0; c.advance()) {
            const uint8_t* from = src_.clusterData(c.cluster());
            uint32_t piece = left < srcBytes ? left : srcBytes;
            for (uint32_t done = 0; done < piece;) {
                uint32_t offset = at % dst_.clusterBytes;
                uint32_t chunk = dst_.clusterBytes - offset;
                if (chunk > piece - done) chunk = piece - done;
                std::memcpy(dst_.clusterData(first + at / dst_.clusterBytes) + offset, from + done,
                            chunk);
                done += chunk;
                at += chunk;
            }
            left -= piece;
        }
        return first;
    }

    // Copies the entries of the source folder into the target folder from slot `slot` on (the
    // root: from rootSlot_).
    void copyFolder(uint16_t srcFirst, uint16_t dstFirst, int slot, int depth) {
        if (dstFirst == 0) slot = rootSlot_;
        WalkedEntry e;
        forEachEntry(src_, srcFirst, e, [&](WalkedEntry& walked) {
            if (isDotEntry(walked.entry)) return;
            uint8_t entry[de::kSize];
            std::memcpy(entry, walked.entry, de::kSize);
            std::u16string longName = walkedLongName(walked);
            uint16_t first = 0;
            uint32_t size = 0;
            if (slotKind(entry) == kSlotEntry && isFolderEntry(entry))
                first = copyFolderEntry(entry, dstFirst, depth);
            else if (slotKind(entry) == kSlotEntry) first = copyFileData(entry, &size);
            int longSlots = longNameSlotCount(longName.size());
            if (writing_) {
                writeLe16(entry + kHighClusterWord, 0);
                writeLe16(entry + de::kFirstCluster, first);
                writeLe32(entry + de::kFileSize, size);
                if (longSlots > 0) {
                    std::vector<uint8_t> pieces(static_cast<size_t>(longSlots) * de::kSize);
                    buildLongNameSlots(longName, shortNameChecksum(entry), pieces.data());
                    for (int i = 0; i < longSlots; ++i)
                        std::memcpy(slotAt(dstFirst, slot + i), pieces.data() + i * de::kSize,
                                    de::kSize);
                }
                std::memcpy(slotAt(dstFirst, slot + longSlots), entry, de::kSize);
            }
            slot += longSlots + 1;
        });
    }

    VolumeImage& src_;
    VolumeImage& dst_;
    bool writing_;
    uint32_t next_;  // the next free cluster of the target
    int rootSlot_ = 0;
    int result_;
    std::vector<bool> entered_;
};

void copyBootFields(VolumeImage& source, VolumeImage& target, const uint8_t* labelEntry,
                    ConvertOutcome* outcome) {
    const uint8_t* from = source.bootSector;
    uint8_t* to = target.bootSector;
    std::memcpy(to + bs::kOemId, from + bs::kOemId, 8);
    if (from[bs::kExtendedSignature] == kExtendedBootSignature)
        std::memcpy(to + bs::kSerialNumber, from + bs::kSerialNumber, 4);
    const void* label = labelEntry;
    if (label == nullptr) label = "NO NAME    ";
    std::memcpy(to + bs::kVolumeLabel, label, 11);
    // The code is kept when it starts where the new parameter block ends or later: the new boot
    // sector always has the extended block, which would overwrite code that begins inside it.
    int jump = bootJumpTarget(from);
    bool keep = readLe16(from + bs::kSignature) == bs::kSignatureValue && jump >= bs::kBootCode &&
                jump < bs::kSignature;
    if (keep) {
        std::memcpy(to + bs::kJump, from + bs::kJump, 3);
        std::memcpy(to + bs::kBootCode, from + bs::kBootCode, bs::kSignature - bs::kBootCode);
    } else {
        source.queueMessage(
            "The boot code of the image does not fit the new boot sector; the new image has the "
            "standard boot code.");
    }
    if (outcome != nullptr) outcome->standardBootCode = !keep;
}

}  // namespace

int convertImage(VolumeImage& source, ModuleHandle module, int diskType, VolumeImage& target,
                 ConvertOutcome* outcome) {
    int created = target.createImage(module, diskType, "", "");
    if (created != kResultOk) {
        char text[kMessageTextSize];
        while (target.popFront(text, sizeof text) != 0) {
            text[sizeof text - 1] = '\0';
            source.queueMessage("%s", text);
        }
        return created;
    }

    const uint8_t* label = rootLabelEntry(source);
    int rootStart = label != nullptr ? 1 : 0;
    Converter converter(source, target);
    int rootSlots = rootStart + converter.countSlots(0);
    if (rootSlots > target.rootEntryCount()) {
        source.queueMessage(
            "The root folder of the image holds %d entries; the new disk type's "
            "root has room for %d!",
            rootSlots, target.rootEntryCount());
        return kResultDirectoryFull;
    }
    converter.run(false, rootStart);
    if (converter.result() != kResultOk) return converter.result();
    if (converter.clustersTaken() > static_cast<uint32_t>(target.clusterCount)) {
        source.queueMessage(
            "The contents of the image need %u clusters of %u bytes; the new disk "
            "type has %d!",
            converter.clustersTaken(), static_cast<unsigned>(target.clusterBytes),
            target.clusterCount);
        return kResultNoSpace;
    }
    converter.run(true, rootStart);
    if (label != nullptr) {
        std::memcpy(target.rootDir, label, de::kSize);
        writeLe16(target.rootDir + de::kFirstCluster, 0);
        writeLe32(target.rootDir + de::kFileSize, 0);
    }
    copyBootFields(source, target, label != nullptr ? label + de::kName : nullptr, outcome);
    return kResultOk;
}
