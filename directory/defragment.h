// Rearranging and cleaning a volume as a whole: defragmenting puts every chain in one run of
// clusters, wiping clears what deleted files and short files left behind. Both read the tree once
// (clusterOwners) and refuse, before touching anything, an image whose chains they cannot trust.
#ifndef TOLVEN_DIRECTORY_DEFRAGMENT_H
#define TOLVEN_DIRECTORY_DEFRAGMENT_H

#include "image/volume_image.h"

struct DefragmentOutcome {
    int filesMoved = 0;    // files whose clusters changed place
    int foldersMoved = 0;  // folders whose clusters changed place
    int clustersMoved = 0;
};

// Every folder, in the order of the tree (depth first, each folder's entries in walk order), then
// every file in the same order, each in consecutive clusters from cluster 2 on; clusters marked
// bad or reserved stay where they are (a chain steps over them), free space ends up last. Names,
// attributes, dates, sizes, contents and the boot sector stay; the first-cluster fields of the
// entries and of "." and ".." follow their chains. 0 (an image already in order is left as it
// is); 680 with a queued message, the image untouched, when a chain is cross-linked, loops,
// breaks off or a used cluster belongs to no entry.
int defragmentImage(VolumeImage& image, DefragmentOutcome* outcome);

struct WipeOutcome {
    int clustersZeroed = 0;  // free clusters that held bytes other than zero
    int filesTrimmed = 0;    // files with bytes other than zero after their last byte
    int entriesCleared = 0;  // deleted slots (8.3 entries and long-name pieces) taken out
};

// Zeroes every free cluster and every byte of a file's chain after its size, and takes the
// deleted slots (8.3 entries and long-name pieces) out of every folder: the slots after them move
// up, in order, and the folder ends in zeroed slots. Nothing deleted can be recovered afterwards.
// 0; 680 (the image untouched) when chains are cross-linked, where zeroing one file's slack
// would hit another.
int wipeFreeSpace(VolumeImage& image, WipeOutcome* outcome);

#endif
