// Matching a disk geometry with the image, and a look at the disk in a drive before a transfer:
// whether there is one, and whether it already has the image's geometry (so that a drive that
// cannot format may write it as it is). The look needs neither a disk nor administrative rights,
// and Windows never asks for a disk during it.
#ifndef TOLVEN_FLOPPY_DISK_PROBE_H
#define TOLVEN_FLOPPY_DISK_PROBE_H

#include <cstdint>

#include "platform/floppy_drive.h"

class VolumeImage;

// The last of `count` records whose sector size, track size and capacity equal the image's, or
// -1. The capacity is taken in 64 bits with each factor bounded first, so absurd records cannot
// wrap around into a match, and a record of zeros never matches.
int matchMediaRecord(const MediaGeometry* records, int count, uint16_t bytesPerSector,
                     uint16_t sectorsPerTrack, uint16_t totalSectors);

enum DiskCheck {
    kDriveUnreachable,  // the drive did not open even for its queries
    kNoDiskInDrive,
    kDiskOfOtherFormat,  // unformatted, unknown, or another geometry than the image's
    kDiskOfImageFormat,
};

DiskCheck checkDiskInDrive(const char* driveName, const VolumeImage& image);

#endif
