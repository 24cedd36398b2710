// One pass of a floppy transfer over the disk areas (floppy/disk_areas.h), front to back in one
// stream. The read, the write and the verify pass differ only in the words of their steps and
// messages, their result codes and what they do with each area; the step itself is written once.
#ifndef TOLVEN_FLOPPY_AREA_PASS_H
#define TOLVEN_FLOPPY_AREA_PASS_H

#include <cstdint>

#include "floppy/floppy_device.h"
#include "floppy/disk_areas.h"

class VolumeImage;

struct AreaPass {
    const char* verb;          // steps: "Reading first FAT", "Reading data sectors (%i/%i)"
    const char* failedBefore;  // an area's message: failedBefore, its name, failedAfter
    const char* failedAfter;
    const char* clusterFailed;  // a cluster's message: clusterFailed, then " (%i/%i)!"
    int areaResult;             // the result after a failed area
    int clusterResult;          // the result after a failed cluster
    // A reading pass (read, verify) shows the first FAT's step even after an earlier failure,
    // shows "... data sectors" before the first cluster and each cluster's step once it has been
    // read. The write shows each cluster's step before writing it, and writes the clusters of a
    // cylinder in one device call where the device allows.
    bool reads;
    // Moves the area (for the data clusters, cluster `index`); false when that failed.
    bool (*move)(VolumeImage& image, FloppyDevice& device, const DiskArea& area, int index);
};

// Runs the pass over the areas from table entry `first` on (the read pass takes the boot sector
// itself), starting from `result`: an area is moved only while the result is 0, and a check point
// follows each area but the data clusters, which are checked after every cluster read and every
// batch written. Returns the result.
int runAreaPass(VolumeImage& image, FloppyDevice& device, const AreaPass& pass, int first,
                int result);

// True when the call worked and every byte asked for came.
bool readWhole(FloppyDevice& device, void* buffer, uint32_t count);

// Queues the message of a drive that did not open for a transfer: no disk, access denied (with
// the remedy), or anything else (another program may hold it).
void queueOpenFailure(VolumeImage& image, FloppyOpenError error);

// Queues `before` and the remedy for a lock that other programs kept from being taken.
void queueLockFailure(VolumeImage& image, const char* before, const char* driveName);

// Tells the device the geometry of a boot sector that carries the signature.
void tellGeometry(FloppyDevice& device, const uint8_t* bootSector);

#endif
