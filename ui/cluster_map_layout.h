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

const int kCellPitch = 8;  // a 7-pixel cell and a one-pixel gap, at 96 dots per inch
const int kCellSize = 7;
const int kCellOrigin = 5;

// The cells' lengths on a screen of `dpi` dots per inch: scaled as the dialog's text is, the gap
// staying one pixel.
struct CellMetrics {
    int pitch;
    int size;
    int origin;
};
inline CellMetrics clusterMapMetrics(int dpi) {
    int pitch = (kCellPitch * dpi + 48) / 96;
    if (pitch < 2) pitch = 2;
    CellMetrics metrics = {pitch, pitch - 1, (kCellOrigin * dpi + 48) / 96};
    return metrics;
}

const int kLegendGap = 4;  // between the frame and the legend's texts

// The frame around the cells, from the outer window width W, the dialog frame thickness F and
// the top of the legend row below it (client coordinates).
inline MapRect clusterMapFrame(int windowWidth, int frameThickness, int legendTop) {
    MapRect frame = {3, 3, windowWidth - 2 * frameThickness - 3, legendTop - kLegendGap};
    return frame;
}

// The colour swatch of a legend entry: a cell just left of its text, centred on it.
inline MapRect clusterMapSwatch(const MapRect& text, int dpi = 96) {
    int size = clusterMapMetrics(dpi).size, gap = (4 * dpi + 48) / 96;
    int top = (text.top + text.bottom - size) / 2;
    MapRect swatch = {text.left - size - gap, top, text.left - gap, top + size};
    return swatch;
}

// The legend's counts, indexed by FatClass.
struct ClusterMapCounts {
    int perClass[4];
};

// Cells per row. At least one, so that a window narrower than one cell still has rows to fill
// rather than a division by zero.
// The last cell ends at the frame's right edge at the latest.
inline int clusterMapCellsPerRow(int windowWidth, int frameThickness, int dpi = 96) {
    CellMetrics m = clusterMapMetrics(dpi);
    int n = (windowWidth - 2 * frameThickness - 2 - m.origin) / m.pitch;
    return n < 1 ? 1 : n;
}

// The cell of cluster index `index` (cluster number index + 2).
inline MapRect clusterMapCell(int index, int cellsPerRow, int dpi = 96) {
    CellMetrics m = clusterMapMetrics(dpi);
    int x = m.origin + m.pitch * (index % cellsPerRow);
    int y = m.origin + m.pitch * (index / cellsPerRow);
    MapRect cell = {x, y, x + m.size, y + m.size};
    return cell;
}

// The cluster index whose cell (with the gap after it) holds client point (x, y), or -1 outside
// the cells of `cellCount`: the inverse of clusterMapCell for clicks.
inline int clusterMapHit(int x, int y, int cellsPerRow, int cellCount, int dpi = 96) {
    CellMetrics m = clusterMapMetrics(dpi);
    if (x < m.origin || y < m.origin) return -1;
    int column = (x - m.origin) / m.pitch;
    if (column >= cellsPerRow) return -1;
    int index = (y - m.origin) / m.pitch * cellsPerRow + column;
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
