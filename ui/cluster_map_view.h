// The "Cluster organisation" dialog: one coloured cell per data cluster, drawn from a snapshot
// of the FAT taken when the dialog opens, and under the cells a legend of the four classes with
// their colours and counts. Enter and Escape close it.
#ifndef TOLVEN_UI_CLUSTER_MAP_VIEW_H
#define TOLVEN_UI_CLUSTER_MAP_VIEW_H

#include <windows.h>

#include <cstdint>

#include "image/volume_image.h"
#include "ui/cluster_map_layout.h"

class ClusterMapView {
public:
    void setInstance(HINSTANCE moduleInstance) { instance = moduleInstance; }
    // Keeps the count, a copy of `table` (kFatTableEntries entries) and the legend's counts and
    // runs the dialog modally. Returns true.
    bool show(HWND owner, int count, const uint16_t* table, const ClusterMapCounts& counts);
    // Draws the frame, every cell and the legend's swatches; each paint request redraws them all.
    void paint();

    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance;
    HWND window;
    int32_t clusterCount;
    uint16_t fatTable[kFatTableEntries];
    ClusterMapCounts legendCounts;

private:
    void initDialog(HWND dialog);
};

#endif
