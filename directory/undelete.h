// Deleted entries (first byte 0xE5) and their recovery by the rule DOS UNDELETE used on FAT12
// disks, where deletion frees the chain and keeps everything else: a file's chain is taken to be
// its first cluster and the next free clusters in order until its size is covered; a folder's is
// its first cluster, then the next free cluster for as long as the one before is full of slots (a
// cluster with a free slot ends a folder). A folder comes back with its own deleted contents.
#ifndef TOLVEN_DIRECTORY_UNDELETE_H
#define TOLVEN_DIRECTORY_UNDELETE_H

#include <cstdint>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "image/volume_image.h"

// A deleted entry as it can be known.
struct DeletedEntry {
    uint8_t entry[de::kSize];  // as stored: its first byte 0xE5
    // Spelled by the deleted long-name slots right before it whose checksum matches the entry
    // with some first byte; empty when there are none.
    std::u16string longName;
    uint8_t firstByte;  // the lost first byte the long name's checksum gives; 0 when unknown
    int32_t entryCluster, entryIndex;  // where the walker would locate it (0: the root)
    int longSlots;                     // the slots that spell longName
    // Every cluster it needs is free now: free in the FAT and reached by no live chain (for a
    // folder: its own chain, not its contents).
    bool recoverable;
    // The clusters recovery takes; when it is not recoverable, those that can still be read.
    std::vector<uint16_t> chain;
};

// The deleted entries of the folder whose chain begins at `folderCluster` (0: the root), in slot
// order, up to the slot that ends the folder. `deletedFolder` reads the folder as a deleted folder
// entry with that first cluster (its chain by the rule above) instead of along the FAT.
std::vector<DeletedEntry> listDeleted(VolumeImage& image, uint16_t folderCluster,
                                      bool deletedFolder = false);

// The name an entry is shown and found by: its long name, else its 8.3 name with "?" for the
// lost character (UTF-8).
std::string deletedEntryName(const DeletedEntry& entry);
// True when `name` (UTF-16, zero-terminated) is deletedEntryName's, ignoring case.
bool deletedNameMatches(const DeletedEntry& entry, const uint16_t* name);

// A valid first byte of an 8.3 name from a character the user gives: upper-cased printable
// ASCII other than blank and the characters 8.3 names cannot hold; 0 when refused.
uint8_t firstByteFromChar(char c);

// What one recovery did, a line per entry of the tree.
struct UndeleteLine {
    enum Kind {
        kRecovered,
        kGivenUnderscore,  // inside a folder: the first character unknown, "_" put there
        kPartial,          // only what could be read (allowPartial)
        kLeftOverwritten,  // inside a folder: left deleted, its clusters are taken
        kLeftNameTaken,    // inside a folder: left deleted, its name is taken
    };
    Kind kind;
    std::string path;  // `basePath` + "/" + its name as recovered
};

// Recovers `target` (from listDeleted of the folder `folderCluster`, a live one) with
// `firstByte` (0: from the long name), and a folder's deleted contents after it. Refusals change
// nothing and queue one message: 750 the first character is needed, 751 clusters are taken,
// 752 an invalid first character, 620 the name is taken in the folder (as insertion refuses it),
// 660 the slot holds no deleted entry any more, 680 the folder does not own its clusters alone
// or lacks "." and ".." (insertion's rule). `allowPartial` recovers a file whose clusters are
// taken from those still free, its size cut to them (for copying out of a scratch image only).
// On 0 `*placedCluster`, `*placedIndex` locate the recovered entry.
int undeleteEntry(VolumeImage& image, uint16_t folderCluster, const DeletedEntry& target,
                  uint8_t firstByte, bool allowPartial, const std::string& basePath,
                  std::vector<UndeleteLine>* lines, int32_t* placedCluster = nullptr,
                  int32_t* placedIndex = nullptr);

#endif
