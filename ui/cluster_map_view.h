// The "Cluster organisation" dialog: one coloured cell per data cluster, drawn from a snapshot
// of the FAT taken when the dialog opens, and under the cells a legend of the four classes with
// their colours and counts, and the count of fragmented files. Clicking a cell names its cluster, sectors and owner in the line
// under the legend and marks every cell of that owner's chain; double-clicking opens the sector
// view on it. Enter and Escape close it.
#ifndef TOLVEN_UI_CLUSTER_MAP_VIEW_H
#define TOLVEN_UI_CLUSTER_MAP_VIEW_H

#include <windows.h>

#include <cstdint>
#include <vector>

#include "image/volume_image.h"
#include "directory/cluster_owners.h"
#include "ui/cluster_map_layout.h"
#include "ui/sector_view.h"

class ClusterMapView {
public:
    void setInstance(HINSTANCE moduleInstance) { instance = moduleInstance; }
    void setSectorView(SectorView* view) { sectorView = view; }
    // Keeps the count, a copy of the image's FAT and the legend's counts, finds the clusters'
    // owners and runs the dialog modally, with `cluster` chosen as a click would choose it (0:
    // none). The image does not change meanwhile. Returns true.
    bool show(HWND owner, VolumeImage& image, const ClusterMapCounts& counts,
              uint16_t cluster = 0);
    // Chooses `cluster`: the line under the map and the marked cells.
    void choose(uint16_t cluster);
    // Draws the frame, every cell and the legend's swatches; each paint request redraws them all.
    void paint();

    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance;
    HWND window;
    int32_t clusterCount;
    uint16_t fatTable[kFatTableEntries];
    ClusterMapCounts legendCounts;
    VolumeImage* image = nullptr;
    ClusterOwners owners;
    std::vector<uint8_t> marked;  // by cluster number: 1 for the cells of the chosen chain
    uint16_t chosen = 0;

private:
    void initDialog(HWND dialog);
    // The cluster under client point (x, y), or 0.
    uint16_t clusterAt(int x, int y) const;
    SectorView* sectorView = nullptr;
};

#endif
