// The main window: a modeless dialog with a toolbar, the views and the list's context menu, and
// the message loop that decodes the keyboard shortcuts before the dialog manager sees a message.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "resources/resource_ids.h"
#include "ui/image_editor.h"
#include "ui/screen_scale.h"

namespace {

const int kToolbarBitmapCount = 12;  // as declared to the toolbar; the strip holds 8 pictures
const int kToolbarPictureCount = 8;
const int kToolbarPicture = 16;  // the side of a picture in the strip, at 96 dots per inch

const TBBUTTON kToolbarButtons[] = {
    {0, ID_FILE_NEW, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
    {0, 0, 0, BTNS_SEP, {0}, 0, 0},
    {1, ID_FILE_OPEN, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
    {2, ID_FILE_SAVE, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
    {0, 0, 0, BTNS_SEP, {0}, 0, 0},
    {3, ID_IMAGE_INSERT, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
    {4, ID_EXTRACT_BUTTON, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
    {0, 0, 0, BTNS_SEP, {0}, 0, 0},
    {5, ID_LOAD_FROM_DISK, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
    {6, ID_WRITE_TO_DISK, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
    {0, 0, 0, BTNS_SEP, {0}, 0, 0},
    {7, ID_HELP_ABOUT, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
};

struct Tooltip {
    UINT_PTR commandId;
    const wchar_t* text;
};
const Tooltip kTooltips[] = {
    {ID_FILE_NEW, L"Create new image"},
    {ID_FILE_OPEN, L"Open image file"},
    {ID_FILE_SAVE, L"Save image file"},
    {ID_IMAGE_INSERT, L"Insert files into image"},
    {ID_EXTRACT_BUTTON, L"Extract selection or all"},
    {ID_LOAD_FROM_DISK, L"Read image from floppy"},
    {ID_WRITE_TO_DISK, L"Write image to floppy"},
    {ID_HELP_ABOUT, L"Show Tolven info"},
};

struct PopupItem {
    UINT type;
    UINT state;
    UINT id;
    const wchar_t* text;
};
const PopupItem kListPopupItems[] = {
    {MFT_STRING, MFS_DEFAULT, ID_LIST_OPEN, L"&Open"},
    {MFT_SEPARATOR, 0, 0, nullptr},
    {MFT_STRING, MFS_ENABLED, ID_LIST_INSERT, L"&Insert..."},
    {MFT_STRING, MFS_ENABLED, ID_LIST_INSERT_FOLDER, L"Insert fo&lder..."},
    {MFT_STRING, MFS_ENABLED, ID_LIST_EXTRACT, L"&Extract selected..."},
    {MFT_STRING, MFS_ENABLED, ID_LIST_DELETE, L"&Delete selected..."},
    {MFT_STRING, MFS_ENABLED, ID_LIST_UNDELETE, L"&Undelete..."},
    {MFT_STRING, MFS_ENABLED, ID_LIST_COPY, L"&Copy"},
    {MFT_STRING, MFS_ENABLED, ID_LIST_PASTE, L"P&aste"},
    {MFT_SEPARATOR, 0, 0, nullptr},
    {MFT_STRING, MFS_ENABLED, ID_LIST_NEW_FOLDER, L"&New folder..."},
    {MFT_STRING, MFS_ENABLED, ID_LIST_RENAME, L"&Rename"},
    {MFT_STRING, MFS_ENABLED, ID_LIST_PROPERTIES, L"&Properties"},
    {MFT_SEPARATOR, 0, 0, nullptr},
    {MFT_STRING, MFS_ENABLED, ID_LIST_SHOW_IN_MAP, L"Show in cluster &map"},
};

const char kDefaultLabel[] = "NO NAME";
const char kDefaultOemId[] = "TOLVEN";
const int kStartDiskType = 2;  // 1440KB, 3.5-inch

}  // namespace

int ImageEditor::runMainWindow() {
    beginDragOut();
    // A Unicode window, so that its title and controls show every name as it is.
    HWND window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr,
                                     mainDialogProc, reinterpret_cast<LPARAM>(this));
    // Without a window no quit message would ever arrive: do not enter the loop.
    if (window == nullptr) {
        endDragOut();
        return 1;
    }
    showAtStoredPlace();
    // The list has the focus at start, as in Explorer, though the label field comes first in Tab's
    // reading order.
    SetFocus(GetDlgItem(window, IDC_FILE_LIST));

    MSG message;
    BOOL got;
    // GetMessage gives -1 on an invalid call; ending then beats spinning on the error forever.
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        // A key that ran a command goes no further, as an accelerator's would not: Enter must not
        // also press a default button, Shift+F10 not also open the menu bar.
        if (decodeShortcut(message)) continue;
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    endDragOut();
    return got == 0 ? static_cast<int>(message.wParam) : 1;
}

INT_PTR CALLBACK ImageEditor::mainDialogProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    // The editor comes with WM_INITDIALOG; messages before it (WM_SETFONT, an early WM_SIZE) are
    // left to the dialog manager.
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<ImageEditor*>(lParam)->initMainWindow(window);
        return FALSE;
    }
    ImageEditor* editor = reinterpret_cast<ImageEditor*>(GetWindowLongPtrW(window, DWLP_USER));
    if (editor == nullptr) return FALSE;

    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) editor->layoutControls();
        break;
    case WM_GETMINMAXINFO: editor->limitTrackSize(reinterpret_cast<MINMAXINFO*>(lParam)); break;
    case WM_COMMAND: editor->runCommand(LOWORD(wParam), HIWORD(wParam)); break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (editor->handleLabelEdit(header, &result) || editor->drawListItem(header, &result)) {
            SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
            return TRUE;
        }
        editor->handleNotify(reinterpret_cast<const NMHDR*>(lParam));
        break;
    }
    case WM_DROPFILES: editor->dropFiles(reinterpret_cast<HDROP>(wParam)); break;
    case kRenameEndedMessage: editor->finishRename(); break;
    case kOpenStartupImageMessage: editor->openStartupImage(); break;
    case kSelectionChangedMessage:
        if (editor->statusPending) editor->showStatus();
        break;
    case WM_CLOSE: editor->quitCommand(); break;
    default: break;
    }
    // Every message also goes on to the dialog manager, as if not handled.
    return FALSE;
}

void ImageEditor::initMainWindow(HWND window) {
    mainWindow = window;
    updateTitle();
    SetClassLongPtrW(
        window, GCLP_HICON,
        reinterpret_cast<LONG_PTR>(LoadIconW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON))));
    createToolbar();
    createListPopupMenu();
    loadRecentFiles();
    setupViews();
    layoutControls();
    fillList();  // the still empty list: the status line shows three zeros

    // A failure here is not reported: the window opens with empty views.
    if (createImage(instance, kStartDiskType, kDefaultLabel, kDefaultOemId) == kResultOk) {
        fillTree();
        refreshDirectory();
    }
    // The start image is as created: nothing to save until it is edited.
    journal.reset(*this);
    updateTitle();
    // Files dropped from the shell, and the image named on the command line once it is shown.
    DragAcceptFiles(window, TRUE);
    if (startupImage[0] != '\0') PostMessageW(window, kOpenStartupImageMessage, 0, 0);
}

void ImageEditor::createToolbar() {
    // Loaded with both flags, the strip's first-pixel colour (magenta) becomes the button face.
    // Asked for at the screen's scale, the 16-pixel pictures come stretched to it, so that the
    // buttons grow with the text on a screen of more dots per inch.
    int side = scaleToScreen(kToolbarPicture);
    HBITMAP strip = static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_TOOLBAR), IMAGE_BITMAP,
                   side * kToolbarPictureCount, side, LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT));
    toolbar = CreateToolbarEx(
        mainWindow, WS_CHILD | WS_VISIBLE | WS_BORDER | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS,
        IDC_TOOLBAR, kToolbarBitmapCount, nullptr, reinterpret_cast<UINT_PTR>(strip),
        kToolbarButtons, sizeof kToolbarButtons / sizeof kToolbarButtons[0], side, side, side, side,
        sizeof(TBBUTTON));
}

void ImageEditor::createListPopupMenu() {
    popupMenu = CreatePopupMenu();
    UINT position = 0;
    for (const PopupItem& item : kListPopupItems) {
        MENUITEMINFOW info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        info.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID;
        info.fType = item.type;
        info.fState = item.state;
        info.wID = item.id;
        info.dwTypeData = const_cast<wchar_t*>(item.text);
        InsertMenuItemW(popupMenu, position++, TRUE, &info);
    }
}

// The layout in pixels at 96 dots per inch, scaled to the screen, below the toolbar (whose height
// is measured, its pictures being scaled as well): a left column with the label field above the tree,
// a right column with the status line, the folder path and the list.
namespace {
const int kMargin = 5;
const int kLeftWidth = 235;
const int kLabelCaption = 40;  // "Label:" left of its field
const int kRightColumn = 250;
const int kBelowToolbar = 7;
const int kRowHeight = 20;
const int kRowStep = 25;
const int kSmallestList[] = {200, 100};  // width, height

// The first row's top in the main window's client area.
int firstRow(HWND window, HWND toolbar) {
    RECT bar = {};
    if (toolbar != nullptr) {
        GetWindowRect(toolbar, &bar);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bar), 2);
    }
    return std::max(0, static_cast<int>(bar.bottom)) + scaleToScreen(kBelowToolbar);
}
}  // namespace

void ImageEditor::layoutControls() {
    // The toolbar sizes itself along the top edge.
    SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
    RECT client;
    GetClientRect(mainWindow, &client);
    auto at = [](int pixels) { return scaleToScreen(pixels); };
    int row = firstRow(mainWindow, toolbar), step = at(kRowStep), height = at(kRowHeight);
    int right = at(kRightColumn);
    int rightWidth = std::max(0, static_cast<int>(client.right) - right - at(kMargin));
    int bottom = client.bottom - at(kMargin);
    struct Place {
        int id;
        int x, y, width, height;
    };
    const Place places[] = {
        {IDC_VOLUME_LABEL_CAPTION, at(kMargin), row, at(kLabelCaption), height},
        {IDC_VOLUME_LABEL, at(kMargin + kLabelCaption), row, at(kLeftWidth - kLabelCaption),
         height},
        {IDC_INFO_TREE, at(kMargin), row + step, at(kLeftWidth), bottom - row - step},
        {IDC_STATUS_LINE, right, row, rightWidth, height},
        {IDC_FOLDER_PATH, right, row + step, rightWidth, height},
        {IDC_FILE_LIST, right, row + 2 * step, rightWidth, bottom - row - 2 * step},
    };
    HDWP moves = BeginDeferWindowPos(static_cast<int>(sizeof places / sizeof places[0]));
    for (const Place& p : places) {
        HWND child = control(p.id);
        if (moves != nullptr && child != nullptr)
            moves = DeferWindowPos(moves, child, nullptr, p.x, p.y, p.width, std::max(0, p.height),
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves != nullptr) EndDeferWindowPos(moves);
    // The list is not refilled: its records have not changed.
}

void ImageEditor::limitTrackSize(MINMAXINFO* limits) const {
    RECT outer, client;
    if (!GetWindowRect(mainWindow, &outer) || !GetClientRect(mainWindow, &client)) return;
    int frameWidth = (outer.right - outer.left) - client.right;
    int frameHeight = (outer.bottom - outer.top) - client.bottom;
    int listTop = firstRow(mainWindow, toolbar) + 2 * scaleToScreen(kRowStep);
    limits->ptMinTrackSize.x = scaleToScreen(kRightColumn + kSmallestList[0] + kMargin) +
                               frameWidth;
    limits->ptMinTrackSize.y = listTop + scaleToScreen(kSmallestList[1] + kMargin) + frameHeight;
}

void ImageEditor::handleNotify(const NMHDR* header) {
    // The toolbar of a Unicode window asks for its tooltips in UTF-16.
    if (header->code == TTN_NEEDTEXTW) {
        NMTTDISPINFOW* request = reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(header));
        for (const Tooltip& tip : kTooltips) {
            if (tip.commandId != header->idFrom) continue;
            lstrcpynW(request->szText, tip.text,
                      static_cast<int>(sizeof request->szText / sizeof request->szText[0]));
        }
        return;
    }
    if (header->idFrom != IDC_FILE_LIST) return;  // the tree is information only
    if (header->code == static_cast<UINT>(NM_DBLCLK)) {
        const NMITEMACTIVATE* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
        if (click->iItem >= 0) activateItem(click->iItem);
    } else if (header->code == static_cast<UINT>(NM_RCLICK)) {
        showListPopupMenu();
    } else if (header->code == static_cast<UINT>(LVN_BEGINDRAG)) {
        dragOutCommand();
    } else if (header->code == static_cast<UINT>(LVN_COLUMNCLICK)) {
        sortByColumn(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
    } else if (header->code == static_cast<UINT>(LVN_ITEMCHANGED)) {
        // Selecting all of a long folder changes every item: the status line is redone once, after.
        const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) != 0 &&
            ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) != 0 && !statusPending) {
            statusPending = true;
            PostMessageW(mainWindow, kSelectionChangedMessage, 0, 0);
        }
    }
}

void ImageEditor::showListPopupMenu() {
    POINT cursor;
    GetCursorPos(&cursor);
    showListPopupMenu(cursor, TPM_BOTTOMALIGN | TPM_RIGHTALIGN);
}

void ImageEditor::showListPopupMenuAtFocus() {
    HWND list = control(IDC_FILE_LIST);
    POINT corner = {0, 0};
    int focused = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
    RECT item = {};
    item.left = LVIR_LABEL;
    if (focused >= 0) {
        SendMessageW(list, LVM_ENSUREVISIBLE, focused, FALSE);
        if (SendMessageW(list, LVM_GETITEMRECT, focused, reinterpret_cast<LPARAM>(&item)))
            corner = {item.left, item.bottom};
    }
    ClientToScreen(list, &corner);
    showListPopupMenu(corner, TPM_TOPALIGN | TPM_LEFTALIGN);
}

void ImageEditor::showListPopupMenu(POINT screen, UINT alignment) {
    // The menu opens also with nothing selected; each handler deals with an empty selection.
    int chosen = TrackPopupMenu(popupMenu, TPM_RETURNCMD | alignment, screen.x, screen.y, 0,
                                mainWindow, nullptr);
    if (chosen != 0) runListMenuCommand(chosen);
}
