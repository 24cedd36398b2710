// Where a folder sits in the image, for showing to the user.
#ifndef TOLVEN_DIRECTORY_FOLDER_PATH_H
#define TOLVEN_DIRECTORY_FOLDER_PATH_H

#include <cstdint>
#include <string>

#include "image/volume_image.h"

// The path from the root to the folder whose chain starts at `cluster`, named as the file list
// names folders: "\" for the root (cluster 0), else "\NAME\NAME" with each folder's long name,
// or its 8.3 display name where it has none. Found by walking up the ".." entries and looking
// each folder up in its parent; where that fails (no "..", no entry in the parent, a loop of a
// damaged image) the path starts with "..." (U+2026) and holds the names found below.
// Leaves a walk in progress where it was.
std::u16string folderPath(VolumeImage& image, uint16_t cluster);

#endif
