// The "Sector view" dialog: one sector of the volume at a time as a hex dump, read-only, with its
// area and owner in the title (directory/disk_survey.h). Beside the bytes, the boot sector's
// fields or a directory sector's slots decoded. Page Up and Page Down (or Previous and Next) move
// by a sector; the "Go to" box takes a sector or a cluster number.
#ifndef TOLVEN_UI_SECTOR_VIEW_H
#define TOLVEN_UI_SECTOR_VIEW_H

#include <windows.h>

#include <cstdint>

#include "directory/cluster_owners.h"
#include "image/volume_image.h"

class SectorView {
public:
    void setInstance(HINSTANCE moduleInstance) { instance = moduleInstance; }
    // Runs the dialog modally on `sector` of the image, which does not change meanwhile.
    void show(HWND owner, VolumeImage& image, uint32_t sector);
    // Shows `sector` when the volume has it; false (nothing changed) otherwise.
    bool showSector(uint32_t sector);

    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    VolumeImage* image = nullptr;
    ClusterOwners owners;
    uint32_t current = 0;
    uint32_t sectorCount = 0;

private:
    void initDialog(HWND dialog);
    void goTo();
    HFONT font = nullptr;
};

#endif
