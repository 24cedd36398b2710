// Looking inside a volume without changing it: a chain as runs of clusters, who owns a cluster,
// which area a sector lies in, a sector's bytes as the image would save them, the classic hex
// dump line and the boot sector and directory slots decoded. `tolven-cli owner|chain|dump|map`
// and the window's cluster map and sector view read the volume only through these.
#ifndef TOLVEN_DIRECTORY_DISK_SURVEY_H
#define TOLVEN_DIRECTORY_DISK_SURVEY_H

#include <cstdint>
#include <string>
#include <vector>

#include "directory/cluster_owners.h"
#include "image/volume_image.h"

// Consecutive clusters of a chain: `first` to `last`, both included.
struct ClusterRun {
    uint16_t first;
    uint16_t last;
};

// The chain from `first` as runs, in chain order (a backward step starts a new run); empty when
// `first` names no data cluster. Its size is the chain's fragment count.
std::vector<ClusterRun> chainRuns(const VolumeImage& image, uint16_t first);
// "2-17, 40-41"; a run of one cluster is its number alone.
std::string runsText(const std::vector<ClusterRun>& runs);
// Files (not folders) whose chain has more than one run.
int countFragmentedFiles(const VolumeImage& image, const ClusterOwners& owners);
// The most consecutive free clusters.
int largestFreeRun(const VolumeImage& image);

// "free", "reserved", "bad", "lost", the owner's path, or "shared: /A, /B" (every owner).
std::string clusterOwnerText(VolumeImage& image, const ClusterOwners& owners, uint16_t cluster);
// The clusters a view marks with `cluster`: every cluster of the chains of its owners; for a
// lost cluster, the chain that goes on from it; else the cluster alone.
std::vector<uint16_t> ownerClusters(const VolumeImage& image, const ClusterOwners& owners,
                                    uint16_t cluster);

// Where a sector lies. Sectors are counted from the boot sector, in the boot sector's size.
struct SectorPlace {
    VolumeArea area;      // the area holding the sector's first byte
    uint32_t sector;      // the sector itself
    uint32_t inArea;      // its number within the area (0 first)
    uint32_t areaSectors; // the area's sectors (a part sector counts)
    uint16_t cluster;     // the data cluster holding it, else 0
};

// The volume's sectors, the kept bytes after it included.
uint32_t volumeSectorCount(const VolumeImage& image);
// False for a sector past the end (or a boot sector the image does not take).
bool locateSector(const VolumeImage& image, uint32_t sector, SectorPlace* place);
// The first sector of an area (`kind`, FAT `copy`) or of data cluster `cluster`; false when the
// volume has no such area or cluster.
bool areaFirstSector(const VolumeImage& image, VolumeAreaKind kind, int copy, uint32_t* sector);
bool clusterFirstSector(const VolumeImage& image, uint16_t cluster, uint32_t* sector);
// The sector's bytes as a save would write them now: FAT copy 1 (and any after the second)
// from the table, copy 2 as last read or written. False past the end.
bool readVolumeSector(const VolumeImage& image, uint32_t sector, std::vector<uint8_t>* out);
// "boot sector", "FAT copy 2", "root directory", "cluster 40 of /DOCS/A.TXT", "cluster 7
// (free)", "cluster 9, shared by /A, /B", "reserved sectors"; with " (sector 2 of 9)" when the
// area or cluster has more than one.
std::string sectorAreaText(VolumeImage& image, const ClusterOwners& owners,
                           const SectorPlace& place);
// True for a sector of the root directory or of a cluster a folder's chain reaches.
bool isDirectorySector(const ClusterOwners& owners, const SectorPlace& place);

// "00000200  EB 3C 90 4D 53 44 4F 53  35 2E 30 00 02 01 01 00  |.<.MSDOS5.0.....|": the offset,
// up to 16 bytes in hex (blanks for missing ones) and as text of the OEM code page (oem_text.h)
// in UTF-8, control bytes as '.'.
std::string hexDumpLine(uint32_t offset, const uint8_t* bytes, int count);

// The boot sector's fields, one line each: offset, size, name and value ("0x00B  2  bytes per
// sector  512").
std::vector<std::string> bootSectorLines(const uint8_t* bootSector);
// The 32-byte slots of a directory sector as a table with a heading line: slot number, kind
// (entry, folder, label, long name, deleted, free), name, attributes, first cluster, size; a
// long-name slot shows its order (with "last" on the piece that ends the name) and checksum,
// and whether that checksum matches the short entry after the run. `firstSlot` numbers the
// first slot. Free slots after the first are folded into one line.
std::vector<std::string> directorySlotLines(const uint8_t* bytes, uint32_t size,
                                            uint32_t firstSlot);

#endif
