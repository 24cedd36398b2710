// Where the cluster map draws: the outer frame, the cells and their colours. Pure arithmetic on
// the window's sizes, kept apart from the painting so that it can be checked without a window.
#ifndef TOLVEN_UI_CLUSTER_MAP_LAYOUT_H
#define TOLVEN_UI_CLUSTER_MAP_LAYOUT_H

#include <cstdint>

#include "image/volume_image.h"

struct MapRect {
    int left;
    int top;
    int right;   // excluded
    int bottom;  // excluded
};

const int kCellPitch = 8;  // a 7-pixel cell and a one-pixel gap
const int kCellSize = 7;
const int kCellOrigin = 5;

// The frame around the cells, from the outer window size (W x H), the caption height K and the
// dialog frame thickness F.
inline MapRect clusterMapFrame(int windowWidth, int windowHeight, int captionHeight,
                               int frameThickness) {
    MapRect frame = {3, 3, windowWidth - 2 * frameThickness - 3,
                     windowHeight - captionHeight - frameThickness - 35};
    return frame;
}

// Cells per row. At least one, so that a window narrower than one cell still has rows to fill
// rather than a division by zero.
inline int clusterMapCellsPerRow(int windowWidth, int frameThickness) {
    int n = (windowWidth - 2 * frameThickness - 7) / kCellPitch;
    return n < 1 ? 1 : n;
}

// The cell of cluster index `index` (cluster number index + 2).
inline MapRect clusterMapCell(int index, int cellsPerRow) {
    int x = kCellOrigin + kCellPitch * (index % cellsPerRow);
    int y = kCellOrigin + kCellPitch * (index / cellsPerRow);
    MapRect cell = {x, y, x + kCellSize, y + kCellSize};
    return cell;
}

// Fill colour of a FAT entry as 0x00BBGGRR, the platform's colour order.
inline uint32_t clusterMapColour(uint16_t fatEntry) {
    switch (classifyFatEntry(fatEntry)) {
    case kFatFree: return 0xFFFFFFu;                      // white
    case kFatUsed: return 0x00C000u;                      // green (0, 192, 0)
    case kFatReserved: return 0xFF0000u;                  // blue (0, 0, 255)
    case kFatBad: return 0x0000FFu;                       // red (255, 0, 0)
    }
    return 0xFFFFFFu;
}

// How many cells are drawn: the record's count, bounded by the FAT table so that no entry past
// its end is read, whatever the count says.
inline int clusterMapCellCount(int clusterCount) {
    if (clusterCount < 0) return 0;
    return clusterCount > kFatTableEntries - 2 ? kFatTableEntries - 2 : clusterCount;
}

#endif
