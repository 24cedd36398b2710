// Writing the image to a floppy (VolumeImage::writeToFloppy): how the disk is treated.
#ifndef TOLVEN_FLOPPY_WRITE_FLOPPY_H
#define TOLVEN_FLOPPY_WRITE_FLOPPY_H

// Formatted first, or written as it is (its geometry must be the image's), for drives that cannot
// format.
enum FloppyWriteMode : int { kFormatThenWrite, kWriteWithoutFormat };

#endif
