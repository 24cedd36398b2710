#include "ui/sector_view.h"

#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "directory/disk_survey.h"
#include "resources/resource_ids.h"
#include "ui/wide_text.h"

namespace {

SectorView* gOpenView = nullptr;

const UINT kPageMessage = WM_APP + 40;  // wParam: 1 next sector, 0 previous

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// Page Up and Page Down page the sectors wherever the focus is in the dialog; the controls would
// otherwise take them (an edit scrolls, a button ignores them).
LRESULT CALLBACK pageKeys(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR) {
    if (message == WM_KEYDOWN && (wParam == VK_PRIOR || wParam == VK_NEXT)) {
        SendMessageW(GetParent(control), kPageMessage, wParam == VK_NEXT ? 1 : 0, 0);
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(control, pageKeys, 0);
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void SectorView::show(HWND owner, VolumeImage& volume, uint32_t sector) {
    image = &volume;
    clusterOwners(volume, &owners);
    sectorCount = volumeSectorCount(volume);
    current = sector < sectorCount ? sector : 0;
    window = nullptr;
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SECTOR_VIEW), owner, dialogProc,
                    reinterpret_cast<LPARAM>(this));
    gOpenView = nullptr;  // the record may not outlive the next dialog's first messages
    if (font != nullptr) DeleteObject(font);
    font = nullptr;
}

void SectorView::initDialog(HWND dialog) {
    window = dialog;
    // A fixed-pitch face with the code page's box and block characters, so the columns line up.
    font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       FIXED_PITCH | FF_MODERN, L"Lucida Console");
    for (int id : {IDC_SECTOR_HEX, IDC_SECTOR_DECODED})
        SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        SetWindowSubclass(child, pageKeys, 0, 0);
    CheckRadioButton(dialog, IDC_SECTOR_AS_SECTOR, IDC_SECTOR_AS_CLUSTER, IDC_SECTOR_AS_SECTOR);
    showSector(current);
    SetFocus(GetDlgItem(dialog, IDC_SECTOR_HEX));
}

bool SectorView::showSector(uint32_t sector) {
    SectorPlace place;
    std::vector<uint8_t> bytes;
    if (!locateSector(*image, sector, &place) || !readVolumeSector(*image, sector, &bytes))
        return false;
    current = sector;
    std::string area = sectorAreaText(*image, owners, place);
    setWindowTextUtf8(window, "Sector " + std::to_string(sector) + ": " + area);
    std::vector<std::string> lines;
    uint32_t start = sector * static_cast<uint32_t>(bytes.size());
    for (size_t o = 0; o < bytes.size(); o += 16)
        lines.push_back(hexDumpLine(start + static_cast<uint32_t>(o), &bytes[o],
                                    static_cast<int>(bytes.size() - o < 16 ? bytes.size() - o : 16)));
    setWindowTextUtf8(GetDlgItem(window, IDC_SECTOR_HEX), joinLines(lines));
    if (place.area.kind == kAreaBootSector) lines = bootSectorLines(bytes.data());
    else if (isDirectorySector(owners, place))
        lines = directorySlotLines(bytes.data(), static_cast<uint32_t>(bytes.size()),
                                   place.inArea * static_cast<uint32_t>(bytes.size()) / 32);
    else lines = {area};
    setWindowTextUtf8(GetDlgItem(window, IDC_SECTOR_DECODED), joinLines(lines));
    std::string position = "of " + std::to_string(sectorCount) + " sectors";
    setWindowTextUtf8(GetDlgItem(window, IDC_SECTOR_COUNT), position);
    EnableWindow(GetDlgItem(window, IDC_SECTOR_PREVIOUS), sector > 0);
    EnableWindow(GetDlgItem(window, IDC_SECTOR_NEXT), sector + 1 < sectorCount);
    return true;
}

// The number in the box as a sector, or as a cluster's first sector; a number the volume does
// not have leaves the view where it was and beeps.
void SectorView::goTo() {
    std::string text = windowTextUtf8(GetDlgItem(window, IDC_SECTOR_GOTO));
    char* end = nullptr;
    unsigned long number = std::strtoul(text.c_str(), &end, 10);
    bool ok = !text.empty() && *end == '\0' && number <= 0xFFFFFFu;
    uint32_t sector = static_cast<uint32_t>(number);
    if (ok && IsDlgButtonChecked(window, IDC_SECTOR_AS_CLUSTER) == BST_CHECKED)
        ok = number <= 0xFFFF && clusterFirstSector(*image, static_cast<uint16_t>(number), &sector);
    if (!ok || !showSector(sector)) MessageBeep(MB_ICONWARNING);
}

INT_PTR CALLBACK SectorView::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        gOpenView = reinterpret_cast<SectorView*>(lParam);
        gOpenView->initDialog(dialog);
        return FALSE;  // the focus set stands
    }
    if (gOpenView == nullptr || gOpenView->window != dialog) return FALSE;
    SectorView& view = *gOpenView;
    switch (message) {
    case kPageMessage:
        if (wParam == 1) view.showSector(view.current + 1);
        else if (view.current > 0) view.showSector(view.current - 1);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SECTOR_PREVIOUS: SendMessageW(dialog, kPageMessage, 0, 0); return TRUE;
        case IDC_SECTOR_NEXT: SendMessageW(dialog, kPageMessage, 1, 0); return TRUE;
        case IDC_SECTOR_GO:
        case IDOK: view.goTo(); return TRUE;  // Enter in the box
        case IDC_SECTOR_CLOSE:
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        default: return FALSE;
        }
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    case WM_DESTROY: view.window = nullptr; return TRUE;
    default: return FALSE;
    }
}
