// Where the cluster map draws: the outer frame, the cells, their colours and the legend's
// swatches. Pure arithmetic on the window's sizes, kept apart from the painting so that it can be
// checked without a window.
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

const int kLegendGap = 4;  // between the frame and the legend's texts

// The frame around the cells, from the outer window width W, the dialog frame thickness F and
// the top of the legend row below it (client coordinates).
inline MapRect clusterMapFrame(int windowWidth, int frameThickness, int legendTop) {
    MapRect frame = {3, 3, windowWidth - 2 * frameThickness - 3, legendTop - kLegendGap};
    return frame;
}

// The colour swatch of a legend entry: a cell just left of its text, centred on it.
inline MapRect clusterMapSwatch(const MapRect& text) {
    int top = (text.top + text.bottom - kCellSize) / 2;
    MapRect swatch = {text.left - kCellSize - 4, top, text.left - 4, top + kCellSize};
    return swatch;
}

// The legend's counts, indexed by FatClass.
struct ClusterMapCounts {
    int perClass[4];
};

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

// The cluster index whose cell (with the gap after it) holds client point (x, y), or -1 outside
// the cells of `cellCount`: the inverse of clusterMapCell for clicks.
inline int clusterMapHit(int x, int y, int cellsPerRow, int cellCount) {
    if (x < kCellOrigin || y < kCellOrigin) return -1;
    int column = (x - kCellOrigin) / kCellPitch;
    if (column >= cellsPerRow) return -1;
    int index = (y - kCellOrigin) / kCellPitch * cellsPerRow + column;
    return index < cellCount ? index : -1;
}

// The fill of the cells of the chosen owner's chain: yellow.
const uint32_t kClusterMapMarkColour = 0x00FFFFu;

// Fill colour of a class of FAT entries as 0x00BBGGRR, the platform's colour order.
inline uint32_t clusterMapClassColour(FatClass fatClass) {
    switch (fatClass) {
    case kFatFree: return 0xFFFFFFu;      // white
    case kFatUsed: return 0x00C000u;      // green (0, 192, 0)
    case kFatReserved: return 0xFF0000u;  // blue (0, 0, 255)
    case kFatBad: return 0x0000FFu;       // red (255, 0, 0)
    }
    return 0xFFFFFFu;
}

// Fill colour of a FAT entry's cell.
inline uint32_t clusterMapColour(uint16_t fatEntry) {
    return clusterMapClassColour(classifyFatEntry(fatEntry));
}

// How many cells are drawn: the record's count, bounded by the FAT table so that no entry past
// its end is read, whatever the count says.
inline int clusterMapCellCount(int clusterCount) {
    if (clusterCount < 0) return 0;
    return clusterCount > kFatTableEntries - 2 ? kFatTableEntries - 2 : clusterCount;
}

#endif
