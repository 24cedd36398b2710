// How a walk reads the slots of a folder, written once: the walker lists entries with it, and
// insertion finds with it where the walker stops listing, so that a new entry is never placed
// where it would not be listed.
#ifndef TOLVEN_DIRECTORY_SLOT_SCAN_H
#define TOLVEN_DIRECTORY_SLOT_SCAN_H

#include <cstdint>

#include "directory/dir_entry.h"

enum ScanStop {
    kScanEntry,    // the current slot is an entry to list
    kScanEnd,      // the slots ran out
    kScanEndMark,  // the current slot is a free slot that ends the folder
};

// A slot the walk passes over. The root skips deleted slots and those with the label bits (free
// ones too); a subfolder skips free and deleted slots and the entry that names the cluster it
// lies in (the ".", which names the folder itself). Labels in subfolders are listed.
template <typename Slots>
bool scanSkips(const Slots& slots, const uint8_t* slot) {
    SlotKind kind = slotKind(slot);
    if (slots.isRoot()) return kind == kSlotDeleted || hasLabelAttributes(slot);
    return kind == kSlotFree || kind == kSlotDeleted ||
           entryFirstCluster(slot) == slots.currentCluster();
}

// From the current slot (which must exist) to the next entry. Every slot of a long-name run is
// given to `piece`; a run that ends in a slot the walk passes over calls `reset`. A free slot ends
// the root wherever the walk meets it, and a subfolder only right after a long-name run (else it
// is passed over). `Slots` has current(), advance() (false past the last slot), isRoot() and
// currentCluster().
template <typename Slots, typename Piece, typename Reset>
ScanStop scanToEntry(Slots& slots, Piece piece, Reset reset) {
    for (;;) {
        while (scanSkips(slots, slots.current()))
            if (!slots.advance()) return kScanEnd;
        while (hasLongNameAttributes(slots.current())) {
            piece(slots.current());
            if (!slots.advance()) return kScanEnd;
        }
        if (slotKind(slots.current()) == kSlotFree) return kScanEndMark;
        if (!scanSkips(slots, slots.current())) return kScanEntry;
        reset();
    }
}

#endif
