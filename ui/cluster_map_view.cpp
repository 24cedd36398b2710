#include "ui/cluster_map_view.h"

#include <cstring>

#include "resources/resource_ids.h"
#include "ui/cluster_map_layout.h"

namespace {

ClusterMapView* gOpenView = nullptr;

COLORREF toColorRef(uint32_t bgr) { return static_cast<COLORREF>(bgr); }

}  // namespace

bool ClusterMapView::show(HWND owner, int count, const uint16_t* table) {
    clusterCount = count;
    std::memcpy(fatTable, table, sizeof fatTable);
    window = nullptr;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CLUSTER_MAP), owner, dialogProc,
                    reinterpret_cast<LPARAM>(this));
    gOpenView = nullptr;  // the record may not outlive the next dialog's first messages
    return true;
}

void ClusterMapView::paint() {
    RECT outer;
    GetWindowRect(window, &outer);
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;

    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    int captionHeight = GetSystemMetrics(SM_CYCAPTION);
    int frameThickness = GetSystemMetrics(SM_CYDLGFRAME);  // serves for the sides as well

    // The context's default pen and brush: a black outline filled white.
    MapRect frame = clusterMapFrame(width, height, captionHeight, frameThickness);
    Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);

    int perRow = clusterMapCellsPerRow(width, frameThickness);
    int cells = clusterMapCellCount(clusterCount);
    for (int j = 0; j < cells; ++j) {
        MapRect cell = clusterMapCell(j, perRow);
        // Made and deleted per cell, so that no drawing object outlives the paint request.
        HPEN pen = CreatePen(PS_SOLID, 0, RGB(0, 0, 0));
        HBRUSH brush = CreateSolidBrush(toColorRef(clusterMapColour(fatTable[j + 2])));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        Rectangle(dc, cell.left, cell.top, cell.right, cell.bottom);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
    EndPaint(window, &ps);
}

INT_PTR CALLBACK ClusterMapView::dialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        gOpenView = reinterpret_cast<ClusterMapView*>(lParam);
        gOpenView->window = dialog;
        return FALSE;
    }
    if (gOpenView == nullptr || gOpenView->window != dialog) return FALSE;

    switch (message) {
    case WM_PAINT:
        gOpenView->paint();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CLUSTER_MAP_OK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_DESTROY:
        gOpenView->window = nullptr;
        return TRUE;
    default:
        return FALSE;
    }
}
