// Checking a volume for damage and mending it, as CHKDSK and fsck.fat do: checkImage reads only;
// repairImage applies one rule per kind of finding (docs/check.md) until a check finds nothing.
#ifndef TOLVEN_DIRECTORY_DISK_CHECK_H
#define TOLVEN_DIRECTORY_DISK_CHECK_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image/volume_image.h"

// The kinds, in the order a repair mends them: what a later kind's rule reads must be sound.
enum DiskFindingKind {
    kFindBootSector,   // the boot sector declares more sectors than the image file holds
    kFindMediaByte,    // the FAT's first byte is not the boot sector's media byte
    kFindFatCopies,    // the FAT copies differ
    kFindName,         // an 8.3 name with characters a name may not hold
    kFindAttributes,   // attribute bits no entry may have
    kFindFirstCluster, // a first cluster that names no data cluster, or a free one
    kFindLabel,        // a label entry outside the root, or a second one in it
    kFindOrphanSlots,  // long-name slots whose checksum or order matches no entry
    kFindDots,         // a folder without valid "." and ".."
    kFindBadLink,      // a link out of range, to a free cluster, or from a cluster marked bad
    kFindLoop,         // a chain that comes back to one of its clusters
    kFindCrossLink,    // a chain that runs into another entry's
    kFindSize,         // a file whose chain is shorter or longer than its size, a folder's size
    kFindLostChain,    // clusters marked used that no entry's chain reaches
};

struct DiskFinding {
    DiskFinding(DiskFindingKind k, std::string p, std::string w)
        : kind(k), path(std::move(p)), what(std::move(w)) {}
    DiskFindingKind kind;
    std::string path;  // "/DOCS/A.TXT", "/" (the root), "FAT", "boot sector", "cluster 57"
    std::string what;
    // Where the repair acts: the entry's short slot (cluster 0: the root), the folder it lies in,
    // the cluster whose link ends the chain (0: the entry's first cluster goes), the cross-link's
    // first shared cluster, or a lost chain's head. `count` is the clusters the chain keeps.
    int32_t slotCluster = -1, slotIndex = -1;
    uint16_t folder = 0;
    uint16_t cluster = 0;
    uint32_t count = 0;
    std::vector<std::pair<int32_t, int32_t>> slots;  // orphan slots
};

struct DiskCheck {
    std::vector<DiskFinding> findings;
    bool clean() const { return findings.empty(); }
};

// Fills `out` with every finding; changes nothing in the image (the walker's cursor is restored).
void checkImage(VolumeImage& image, DiskCheck* out);

// Mends every finding, the image's FAT copies written alike from the one kept. `before` gets the
// findings of the first check, `notes` one line for each repair that could not keep data (a lost
// chain freed when no FOUND.nnn folder or slot could be had, a cross-linked file cut where no
// free clusters were left for its copy). 0 with the image clean afterwards; 680 (kResultDamaged)
// when it could not be made clean, the image then exactly as before.
int repairImage(VolumeImage& image, DiskCheck* before = nullptr,
                std::vector<std::string>* notes = nullptr);

// "path: what"
std::string findingLine(const DiskFinding& finding);

#endif
