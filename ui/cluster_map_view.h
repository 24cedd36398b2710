// The "Cluster organisation" dialog: one coloured cell per data cluster, drawn from a snapshot
// of the FAT taken when the dialog opens.
#ifndef TOLVEN_UI_CLUSTER_MAP_VIEW_H
#define TOLVEN_UI_CLUSTER_MAP_VIEW_H

#include <windows.h>

#include <cstdint>

#include "image/volume_image.h"

class ClusterMapView {
public:
    void setInstance(HINSTANCE moduleInstance) { instance = moduleInstance; }
    // Keeps the count and a copy of `table` (kFatTableEntries entries) and runs the dialog
    // modally. Returns true.
    bool show(HWND owner, int count, const uint16_t* table);
    // Draws the frame and every cell; each paint request redraws the whole grid.
    void paint();

    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance;
    HWND window;
    int32_t clusterCount;
    uint16_t fatTable[kFatTableEntries];
};

#endif
