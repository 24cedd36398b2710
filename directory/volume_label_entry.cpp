// Writing the volume label: the root's label entry, which DOS and Windows read, and the copy in
// the boot sector, which fsck.fat compares with it.
#include <cstring>

#include "directory/dir_entry.h"
#include "directory/insert_space.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"
#include "image/volume_label.h"

namespace {

const uint8_t kExtendedBootSignature = 0x29;

// The first label entry of the root before its end mark, as the walker passes over it.
uint8_t* findLabelEntry(const VolumeImage& image) {
    int slots = image.rootEntryCount() < kMaxRootEntries ? image.rootEntryCount() : kMaxRootEntries;
    for (int i = 0; i < slots; ++i) {
        uint8_t* slot = const_cast<uint8_t*>(image.rootDir) + i * de::kSize;
        SlotKind kind = slotKind(slot);
        if (kind == kSlotFree) break;
        if (kind == kSlotLabel) return slot;
    }
    return nullptr;
}

}  // namespace

bool VolumeImage::readLabelEntry(uint8_t* label) const {
    const uint8_t* entry = findLabelEntry(*this);
    if (entry == nullptr) return false;
    std::memcpy(label, entry + de::kName, 11);
    return true;
}

int VolumeImage::setVolumeLabel(const char* text) {
    uint8_t stored[11];
    LabelCheck check = readVolumeLabel(text, stored);
    if (check == kLabelInvalid) {
        queueMessage("Invalid character in volume label!");
        return kResultBadLabel;
    }
    if (check == kLabelTooLong) {
        queueMessage("Volume label \"%s\" is too long!", text);
        return kResultBadLabel;
    }

    uint8_t* entry = findLabelEntry(*this);
    if (check == kLabelEmpty) {
        // No entry: eleven blanks would be a label that DOS and fsck.fat refuse.
        if (entry != nullptr) entry[0] = de::kDeleted;
    } else {
        if (entry == nullptr) {
            FolderSlots root;
            SlotRun run;
            loadFolderSlots(*this, 0, &root);
            if (!findSlotRun(*this, root, 1, &run)) {
                queueMessage("Directory is full, could not insert \"%s\"!", text);
                return kResultDirectoryFull;
            }
            entry = folderSlot(*this, root, run.start);
            std::memset(entry, 0, de::kSize);
            entry[de::kAttributes] = de::kAttrVolumeLabel;
            keepRootEnd(*this, root, run.start, 1);
        }
        writeLabelEntry(entry, stored, labelStampNow());
    }
    if (bootSector[bs::kExtendedSignature] == kExtendedBootSignature)
        std::memcpy(bootSector + bs::kVolumeLabel, stored, 11);
    return kResultOk;
}
