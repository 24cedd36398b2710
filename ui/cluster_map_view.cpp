#include "ui/cluster_map_view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include <windowsx.h>

#include "directory/disk_survey.h"
#include "resources/resource_ids.h"
#include "ui/screen_scale.h"
#include "ui/wide_text.h"

namespace {

ClusterMapView* gOpenView = nullptr;

struct LegendEntry {
    FatClass fatClass;
    int textId;
    const char* format;
};

// In the order the legend shows them, left to right.
const LegendEntry kLegend[] = {
    {kFatFree, IDC_CLUSTER_MAP_FREE, "Free: %i"},
    {kFatUsed, IDC_CLUSTER_MAP_USED, "Used: %i"},
    {kFatReserved, IDC_CLUSTER_MAP_RESERVED, "Reserved: %i"},
    {kFatBad, IDC_CLUSTER_MAP_BAD, "Bad: %i"},
};

COLORREF toColorRef(uint32_t bgr) { return static_cast<COLORREF>(bgr); }

MapRect childRect(HWND dialog, int id) {
    RECT rect = {0, 0, 0, 0};
    HWND child = GetDlgItem(dialog, id);
    if (child != nullptr) {
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    }
    MapRect out = {rect.left, rect.top, rect.right, rect.bottom};
    return out;
}

// A black outline filled with `colour`. Pen and brush are made and deleted per call, so that no
// drawing object outlives the paint request.
void drawCell(HDC dc, const MapRect& cell, uint32_t colour) {
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(0, 0, 0));
    HBRUSH brush = CreateSolidBrush(toColorRef(colour));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Rectangle(dc, cell.left, cell.top, cell.right, cell.bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

}  // namespace

bool ClusterMapView::show(HWND owner, VolumeImage& volume, const ClusterMapCounts& counts,
                          uint16_t cluster) {
    image = &volume;
    clusterCount = volume.getClusterCount();
    std::memcpy(fatTable, volume.fatTable, sizeof fatTable);
    // Sectors the container holds no readable data for show as bad clusters.
    for (uint16_t bad : volume.container.badClusters)
        if (bad < kFatTableEntries) fatTable[bad] = kBadClusterMark;
    legendCounts = counts;
    clusterOwners(volume, &owners);
    marked.assign(kFatTableEntries, 0);
    chosen = cluster;
    window = nullptr;
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CLUSTER_MAP), owner, dialogProc,
                    reinterpret_cast<LPARAM>(this));
    gOpenView = nullptr;  // the record may not outlive the next dialog's first messages
    return true;
}

void ClusterMapView::initDialog(HWND dialog) {
    window = dialog;
    for (const LegendEntry& entry : kLegend) {
        char text[40];
        std::snprintf(text, sizeof text, entry.format, legendCounts.perClass[entry.fatClass]);
        setWindowTextUtf8(GetDlgItem(dialog, entry.textId), text);
    }
    setWindowTextUtf8(GetDlgItem(dialog, IDC_CLUSTER_MAP_FRAGMENTED),
                      "Fragmented files: " + std::to_string(countFragmentedFiles(*image, owners)));
    if (chosen != 0) choose(chosen);
    // With the focus on OK the dialog manager gets Enter and Escape; with none, keys would come
    // to the dialog as system keys and do nothing.
    SetFocus(GetDlgItem(dialog, IDC_CLUSTER_MAP_OK));
}

void ClusterMapView::paint() {
    RECT outer;
    GetWindowRect(window, &outer);
    int width = outer.right - outer.left;

    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    int frameThickness = GetSystemMetrics(SM_CYDLGFRAME);  // serves for the sides as well

    // The context's default pen and brush: a black outline filled white.
    MapRect frame = clusterMapFrame(width, frameThickness,
                                    childRect(window, kLegend[0].textId).top);
    Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);

    int dpi = screenDpi();
    int perRow = clusterMapCellsPerRow(width, frameThickness, dpi);
    int cells = clusterMapCellCount(clusterCount);
    for (int j = 0; j < cells; ++j)
        drawCell(dc, clusterMapCell(j, perRow, dpi),
                 marked[static_cast<size_t>(j) + 2] ? kClusterMapMarkColour
                                                    : clusterMapColour(fatTable[j + 2]));
    for (const LegendEntry& entry : kLegend)
        drawCell(dc, clusterMapSwatch(childRect(window, entry.textId), dpi),
                 clusterMapClassColour(entry.fatClass));
    EndPaint(window, &ps);
}

uint16_t ClusterMapView::clusterAt(int x, int y) const {
    RECT outer;
    GetWindowRect(window, &outer);
    int dpi = screenDpi();
    int perRow = clusterMapCellsPerRow(outer.right - outer.left, GetSystemMetrics(SM_CYDLGFRAME),
                                       dpi);
    int index = clusterMapHit(x, y, perRow, clusterMapCellCount(clusterCount), dpi);
    return static_cast<uint16_t>(index < 0 ? 0 : index + 2);
}

void ClusterMapView::choose(uint16_t cluster) {
    std::fill(marked.begin(), marked.end(), 0);
    chosen = cluster;
    std::string line;
    uint32_t first = 0;
    if (image->isDataCluster(cluster) && clusterFirstSector(*image, cluster, &first)) {
        for (uint16_t c : ownerClusters(*image, owners, cluster)) marked[c] = 1;
        uint32_t last = first + image->sectorsPerCluster() - 1;
        line = "Cluster " + std::to_string(cluster) +
               (last > first ? ": sectors " + std::to_string(first) + "-" + std::to_string(last)
                             : ": sector " + std::to_string(first)) +
               ", " + clusterOwnerText(*image, owners, cluster);
    }
    setWindowTextUtf8(GetDlgItem(window, IDC_CLUSTER_MAP_INFO), line);
    InvalidateRect(window, nullptr, FALSE);
}

INT_PTR CALLBACK ClusterMapView::dialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        gOpenView = reinterpret_cast<ClusterMapView*>(lParam);
        gOpenView->initDialog(dialog);
        return FALSE;  // the focus set stands
    }
    if (gOpenView == nullptr || gOpenView->window != dialog) return FALSE;

    switch (message) {
    case WM_PAINT: gOpenView->paint(); return TRUE;
    case WM_LBUTTONDOWN: {
        uint16_t cluster = gOpenView->clusterAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (cluster != 0) gOpenView->choose(cluster);
        return TRUE;
    }
    case WM_LBUTTONDBLCLK: {
        ClusterMapView& view = *gOpenView;
        uint16_t cluster = view.clusterAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        uint32_t sector = 0;
        if (cluster == 0 || view.sectorView == nullptr ||
            !clusterFirstSector(*view.image, cluster, &sector))
            return TRUE;
        view.choose(cluster);
        view.sectorView->show(dialog, *view.image, sector);
        return TRUE;
    }
    case WM_COMMAND:
        // OK, Enter (IDOK when no button is the default) and Escape end it alike.
        if (LOWORD(wParam) == IDC_CLUSTER_MAP_OK || LOWORD(wParam) == IDOK ||
            LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    case WM_DESTROY: gOpenView->window = nullptr; return TRUE;
    default: return FALSE;
    }
}
