#include "directory/entry_names.h"

#include <cstring>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "directory/long_name.h"
#include "directory/short_name.h"
#include "platform/host_text.h"

void collectNames(VolumeImage& image, uint16_t folderCluster, const NameOwner* owner,
                  FolderNames* names) {
    forEachEntry(image, folderCluster, [&](const WalkedEntry& e) {
        if (owner != nullptr && owner->entryCluster == e.entryCluster &&
            owner->entryIndex == e.entryIndex)
            return;
        std::u16string name;
        for (int i = 0; i < kLongNameUnits && e.longName[i] != 0; ++i)
            name += static_cast<char16_t>(e.longName[i]);
        names->add(e.entry, name);
    });
}

int refuseEntry(VolumeImage& image, int code, const char* format, const char* subject) {
    image.queueMessage(format, subject);
    return code;
}

int checkEntryName(VolumeImage& image, const char* name, EntryName* out) {
    // A host name never has more UTF-16 units than bytes.
    std::vector<uint16_t> units(std::strlen(name) + 1);
    int length = hostTextToUtf16(name, units.data(), static_cast<int>(units.size()));
    if (length < 0) return refuseEntry(image, kResultBadName, "Invalid file name \"%s\"!", name);
    std::u16string hostName(units.begin(), units.begin() + length);
    LongNameCheck check = cleanLongName(hostName, &out->longName);
    if (check == kLongNameTooLong)
        return refuseEntry(image, kResultNameTooLong, "File name \"%s\" is too long!", name);
    if (check != kLongNameOk)
        return refuseEntry(image, kResultBadName, "Invalid file name \"%s\"!", name);
    return kResultOk;
}

int placeEntryName(VolumeImage& image, const FolderNames& names, const char* name, EntryName* out) {
    if (names.hasName(out->longName))
        return refuseEntry(image, kResultNameExists, "File \"%s\" already exists!", name);
    out->withLongName = !isPlainShortName(out->longName, out->shortName) ||
                        names.hasShortName(out->shortName);
    if (out->withLongName && !pickShortName(makeBasisName(out->longName), names, out->shortName))
        return refuseEntry(image, kResultDirectoryFull,
                           "Directory is full, could not insert \"%s\"!", name);
    out->longSlots = out->withLongName ? longNameSlotCount(out->longName.size()) : 0;
    return kResultOk;
}

int planEntryName(VolumeImage& image, uint16_t folderCluster, const char* name,
                  const NameOwner* owner, EntryName* out) {
    int checked = checkEntryName(image, name, out);
    if (checked != kResultOk) return checked;
    FolderNames names;
    collectNames(image, folderCluster, owner, &names);
    return placeEntryName(image, names, name, out);
}

void buildEntrySlots(const EntryName& name, const uint8_t* shortEntry, uint8_t* slots) {
    if (name.withLongName)
        buildLongNameSlots(name.longName, shortNameChecksum(name.shortName), slots);
    uint8_t* entry = slots + name.longSlots * de::kSize;
    std::memcpy(entry, shortEntry, de::kSize);
    std::memcpy(entry + de::kName, name.shortName, 11);
    // Byte 12 tells some systems to show the stored name in lower case; the new name is stored
    // as it is to be shown (or carried by the long name), so no flag may change it.
    entry[12] = 0;
}
