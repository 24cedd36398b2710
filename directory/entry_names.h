// The names an entry gets when it is inserted or renamed: the one place where a host name is
// checked, compared with the folder's names and given its 8.3 name and long-name slots.
#ifndef TOLVEN_DIRECTORY_ENTRY_NAMES_H
#define TOLVEN_DIRECTORY_ENTRY_NAMES_H

#include <cstdint>
#include <string>

#include "directory/folder_names.h"
#include "image/volume_image.h"

struct EntryName {
    std::u16string longName;  // the host name with trailing dots and blanks dropped
    uint8_t shortName[11];
    bool withLongName;  // false for a name that is a free upper-case 8.3 name
    int longSlots;      // long-name slots before the entry
};

// The slot of an entry that a rename leaves, so that its own names do not clash with the new one.
struct NameOwner {
    int32_t entryCluster;
    int32_t entryIndex;
};

// Names `name` (host text) for the folder: 0, or one queued message and 640 (invalid), 630 (too
// long), 620 (taken, ignoring case, by another entry than `owner`, which may be null) or 610
// (every 8.3 tail taken). Changes nothing.
int planEntryName(VolumeImage& image, uint16_t folderCluster, const char* name,
                  const NameOwner* owner, EntryName* out);
// The long and 8.3 names already in the folder, read with the walker, all but the owner's (may be
// null).
void collectNames(VolumeImage& image, uint16_t folderCluster, const NameOwner* owner,
                  FolderNames* names);
// The two steps of planEntryName, for a caller that keeps the folder's names itself: the name
// alone (0, or 640 or 630 with `out->longName` unset), then the name against the folder's names
// (0, or 620 or 610).
int checkEntryName(VolumeImage& image, const char* name, EntryName* out);
int placeEntryName(VolumeImage& image, const FolderNames& names, const char* name, EntryName* out);

// The long-name slots followed by `shortEntry` with the planned 8.3 name and its name case flags
// cleared, (longSlots + 1) * 32 bytes at `slots`.
void buildEntrySlots(const EntryName& name, const uint8_t* shortEntry, uint8_t* slots);

// The slot of the file or folder entry at (cluster, index) as the walker names it; else null.
uint8_t* entrySlot(VolumeImage& image, int32_t cluster, int32_t index);

// Queues `format` with `subject` and returns `code`: the refusals of insertion and renaming.
int refuseEntry(VolumeImage& image, int code, const char* format, const char* subject);

#endif
