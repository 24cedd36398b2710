// Command routing: one table for menu items, toolbar buttons and control notifications, one for
// the items of the file list's context menu, and the keyboard shortcuts, which run table entries
// by command id. A command id without a row here does nothing.
#include <windows.h>
#include <commctrl.h>

#include "resources/resource_ids.h"
#include "ui/image_editor.h"

namespace {

enum RouteSource { kFromCommand, kFromListMenu };
const int kAnyNotification = -1;

struct CommandRoute {
    RouteSource source;
    int id;
    int notification;  // the WM_COMMAND notification code that must come with it, or any
    void (*run)(ImageEditor& editor);
};

// Menu items and toolbar buttons send notification 0, accelerators 1: only control ids filter.
const CommandRoute kRoutes[] = {
    {kFromCommand, ID_FILE_NEW, kAnyNotification, [](ImageEditor& e) { e.newImageCommand(); }},
    {kFromCommand, ID_FILE_OPEN, kAnyNotification, [](ImageEditor& e) { e.openCommand(); }},
    {kFromCommand, ID_FILE_SAVE, kAnyNotification, [](ImageEditor& e) { e.saveCommand(); }},
    {kFromCommand, ID_FILE_SAVE_AS, kAnyNotification, [](ImageEditor& e) { e.saveAsCommand(); }},
    {kFromCommand, ID_FILE_QUIT, kAnyNotification, [](ImageEditor& e) { e.quitCommand(); }},
    {kFromCommand, ID_EXPORT_BOOTSECTOR, kAnyNotification,
     [](ImageEditor& e) { e.bootFileCommand(kBootFileExport, kBootSectorFile); }},
    {kFromCommand, ID_IMPORT_BOOTSECTOR, kAnyNotification,
     [](ImageEditor& e) { e.bootFileCommand(kBootFileImport, kBootSectorFile); }},
    {kFromCommand, ID_EXPORT_BOOTCODE, kAnyNotification,
     [](ImageEditor& e) { e.bootFileCommand(kBootFileExport, kBootCodeFile); }},
    {kFromCommand, ID_IMPORT_BOOTCODE, kAnyNotification,
     [](ImageEditor& e) { e.bootFileCommand(kBootFileImport, kBootCodeFile); }},
    {kFromCommand, ID_CLUSTER_MAP, kAnyNotification, [](ImageEditor& e) { e.clusterMapCommand(); }},
    {kFromCommand, ID_SECTOR_VIEW, kAnyNotification, [](ImageEditor& e) { e.sectorViewCommand(); }},
    {kFromCommand, ID_IMAGE_CHANGE_FORMAT, kAnyNotification,
     [](ImageEditor& e) { e.changeFormatCommand(); }},
    {kFromCommand, ID_IMAGE_DEFRAGMENT, kAnyNotification,
     [](ImageEditor& e) { e.defragmentCommand(); }},
    {kFromCommand, ID_IMAGE_WIPE_FREE_SPACE, kAnyNotification,
     [](ImageEditor& e) { e.wipeFreeSpaceCommand(); }},
    {kFromCommand, ID_IMAGE_CHECK_DISK, kAnyNotification,
     [](ImageEditor& e) { e.checkDiskCommand(); }},
    {kFromCommand, ID_HELP_ABOUT, kAnyNotification, [](ImageEditor& e) { e.aboutCommand(); }},
    {kFromCommand, IDC_VOLUME_LABEL, EN_KILLFOCUS, [](ImageEditor& e) { e.checkVolumeLabel(); }},
    {kFromCommand, ID_IMAGE_EXTRACT, kAnyNotification,
     [](ImageEditor& e) { e.extractCommand(true); }},
    {kFromCommand, ID_IMAGE_EXTRACT_SELECTED, kAnyNotification,
     [](ImageEditor& e) { e.extractCommand(false); }},
    {kFromCommand, ID_EXTRACT_BUTTON, kAnyNotification,
     [](ImageEditor& e) { e.extractCommand(!e.hasSelection()); }},
    {kFromCommand, ID_IMAGE_INSERT, kAnyNotification, [](ImageEditor& e) { e.insertCommand(); }},
    {kFromCommand, ID_IMAGE_INSERT_FOLDER, kAnyNotification,
     [](ImageEditor& e) { e.insertFolderCommand(); }},
    {kFromCommand, ID_IMAGE_NEW_FOLDER, kAnyNotification,
     [](ImageEditor& e) { e.newFolderCommand(); }},
    {kFromCommand, ID_IMAGE_RENAME, kAnyNotification, [](ImageEditor& e) { e.renameCommand(); }},
    {kFromCommand, ID_IMAGE_PROPERTIES, kAnyNotification,
     [](ImageEditor& e) { e.propertiesCommand(); }},
    {kFromCommand, ID_LOAD_FROM_DISK, kAnyNotification,
     [](ImageEditor& e) { e.loadFromDiskCommand(); }},
    {kFromCommand, ID_WRITE_TO_DISK, kAnyNotification,
     [](ImageEditor& e) { e.writeToDiskCommand(); }},
    {kFromCommand, ID_EDIT_UNDO, kAnyNotification, [](ImageEditor& e) { e.undoCommand(); }},
    {kFromCommand, ID_EDIT_REDO, kAnyNotification, [](ImageEditor& e) { e.redoCommand(); }},
    {kFromCommand, ID_EDIT_COPY, kAnyNotification, [](ImageEditor& e) { e.copyCommand(); }},
    {kFromCommand, ID_EDIT_PASTE, kAnyNotification, [](ImageEditor& e) { e.pasteCommand(); }},
    {kFromCommand, ID_EDIT_DELETE, kAnyNotification, [](ImageEditor& e) { e.deleteCommand(); }},
    {kFromCommand, ID_EDIT_UNDELETE, kAnyNotification, [](ImageEditor& e) { e.undeleteCommand(); }},
    {kFromCommand, ID_VIEW_SHOW_DELETED, kAnyNotification,
     [](ImageEditor& e) { e.showDeletedCommand(); }},
    {kFromCommand, ID_EDIT_SELECT_ALL, kAnyNotification,
     [](ImageEditor& e) { e.selectAllCommand(); }},
    {kFromCommand, ID_IMAGE_OPEN_SELECTED, kAnyNotification,
     [](ImageEditor& e) { e.viewCommand(); }},
    {kFromCommand, ID_IMAGE_SHOW_IN_MAP, kAnyNotification,
     [](ImageEditor& e) { e.showInMapCommand(); }},
    {kFromCommand, ID_GO_UP, kAnyNotification, [](ImageEditor& e) { e.openParentFolder(); }},
    {kFromListMenu, ID_LIST_OPEN, 0, [](ImageEditor& e) { e.viewCommand(); }},
    {kFromListMenu, ID_LIST_INSERT, 0, [](ImageEditor& e) { e.insertCommand(); }},
    {kFromListMenu, ID_LIST_EXTRACT, 0, [](ImageEditor& e) { e.extractCommand(false); }},
    {kFromListMenu, ID_LIST_DELETE, 0, [](ImageEditor& e) { e.deleteCommand(); }},
    {kFromListMenu, ID_LIST_UNDELETE, 0, [](ImageEditor& e) { e.undeleteCommand(); }},
    {kFromListMenu, ID_LIST_COPY, 0, [](ImageEditor& e) { e.copyCommand(); }},
    {kFromListMenu, ID_LIST_PASTE, 0, [](ImageEditor& e) { e.pasteCommand(); }},
    {kFromListMenu, ID_LIST_INSERT_FOLDER, 0, [](ImageEditor& e) { e.insertFolderCommand(); }},
    {kFromListMenu, ID_LIST_NEW_FOLDER, 0, [](ImageEditor& e) { e.newFolderCommand(); }},
    {kFromListMenu, ID_LIST_RENAME, 0, [](ImageEditor& e) { e.renameCommand(); }},
    {kFromListMenu, ID_LIST_PROPERTIES, 0, [](ImageEditor& e) { e.propertiesCommand(); }},
    {kFromListMenu, ID_LIST_SHOW_IN_MAP, 0, [](ImageEditor& e) { e.showInMapCommand(); }},
};

struct Shortcut {
    UINT message;
    WPARAM key;     // virtual key for WM_KEYDOWN, control character for WM_CHAR with Ctrl down
    int commandId;  // run as if the command had come from the menu
};

const Shortcut kShortcuts[] = {
    {WM_KEYDOWN, VK_F3, ID_IMAGE_INSERT},   {WM_KEYDOWN, VK_F4, ID_IMAGE_EXTRACT},
    {WM_KEYDOWN, VK_F7, ID_LOAD_FROM_DISK}, {WM_KEYDOWN, VK_F8, ID_WRITE_TO_DISK},
    {WM_CHAR, 0x0E, ID_FILE_NEW},        // Ctrl+N
    {WM_CHAR, 0x05, ID_EXTRACT_BUTTON},  // Ctrl+E
    {WM_CHAR, 0x0F, ID_FILE_OPEN},       // Ctrl+O
    {WM_CHAR, 0x13, ID_FILE_SAVE},       // Ctrl+S
    {WM_CHAR, 0x1A, ID_EDIT_UNDO},       // Ctrl+Z
    {WM_CHAR, 0x19, ID_EDIT_REDO},       // Ctrl+Y
};

// Keys of the file list, acting only while it has the keyboard focus (elsewhere Backspace,
// Delete and Ctrl+A edit text). The modifiers must be exactly those given.
enum KeyModifiers { kNoModifier = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

struct ListKey {
    WPARAM key;
    int modifiers;
    void (*run)(ImageEditor& editor, HWND list);
};

int selectedCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
}

const ListKey kListKeys[] = {
    // Enter acts on the item with the selection mark, and only when something is selected.
    {VK_RETURN, kNoModifier,
     [](ImageEditor& e, HWND list) {
         if (selectedCount(list) > 0)
             e.activateItem(static_cast<int>(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0)));
     }},
    {VK_BACK, kNoModifier, [](ImageEditor& e, HWND) { e.openParentFolder(); }},
    {VK_DELETE, kNoModifier,
     [](ImageEditor& e, HWND list) {
         if (selectedCount(list) > 0) e.deleteCommand();
     }},
    {VK_APPS, kNoModifier, [](ImageEditor& e, HWND) { e.showListPopupMenuAtFocus(); }},
    {VK_F10, kShift, [](ImageEditor& e, HWND) { e.showListPopupMenuAtFocus(); }},
    {'A', kCtrl, [](ImageEditor& e, HWND) { e.selectAllEntries(); }},
    {VK_F2, kNoModifier, [](ImageEditor& e, HWND) { e.renameCommand(); }},
    // In the label field and the rename edit, Ctrl+C and Ctrl+V copy and paste text.
    {'C', kCtrl, [](ImageEditor& e, HWND) { e.runCommand(ID_EDIT_COPY, 0); }},
    {'V', kCtrl, [](ImageEditor& e, HWND) { e.runCommand(ID_EDIT_PASTE, 0); }},
};

// Keys with modifiers that act wherever the focus is in the main window, as their menu items do.
// Ctrl+Shift+N goes before Ctrl+N's character is made of it.
struct ChordKey {
    WPARAM key;
    int modifiers;
    int commandId;
};

const ChordKey kChordKeys[] = {
    {'N', kCtrl | kShift, ID_IMAGE_NEW_FOLDER},
    {'H', kCtrl, ID_SECTOR_VIEW},
    {VK_RETURN, kAlt, ID_IMAGE_PROPERTIES},  // a system key: it comes with Alt
    {VK_UP, kAlt, ID_GO_UP},
};

int modifiersDown() {
    auto down = [](int key) { return (GetKeyState(key) & 0x8000) != 0; };
    return (down(VK_SHIFT) ? kShift : 0) | (down(VK_CONTROL) ? kCtrl : 0) |
           (down(VK_MENU) ? kAlt : 0);
}

bool route(ImageEditor& editor, RouteSource source, int id, int notification) {
    for (const CommandRoute& r : kRoutes) {
        if (r.source != source || r.id != id) continue;
        if (r.notification != kAnyNotification && r.notification != notification) continue;
        // A rename or label being typed goes in first; the label field's own notification is
        // that very step.
        if (id != IDC_VOLUME_LABEL && !editor.commitPendingEdits()) return true;
        r.run(editor);
        return true;
    }
    return false;
}

}  // namespace

bool ImageEditor::runCommand(int id, int notification) {
    int recentSlot = id - ID_FILE_RECENT_FIRST;
    if (recentSlot >= 0 && recentSlot < static_cast<int>(RecentFiles::kMaxFiles)) {
        if (commitPendingEdits()) openRecentCommand(recentSlot);
        return true;
    }
    return route(*this, kFromCommand, id, notification);
}

bool ImageEditor::runListMenuCommand(int id) { return route(*this, kFromListMenu, id, 0); }

bool ImageEditor::decodeShortcut(const MSG& message) {
    HWND list = control(IDC_FILE_LIST);
    // F10 comes as a system key.
    bool keyDown = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    if (keyDown && list != nullptr && GetFocus() == list) {
        for (const ListKey& k : kListKeys) {
            if (k.key != message.wParam || k.modifiers != modifiersDown()) continue;
            k.run(*this, list);
            return true;
        }
    }
    // Enter in the label field applies the label, as leaving the field does.
    HWND label = control(IDC_VOLUME_LABEL);
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
        modifiersDown() == kNoModifier && label != nullptr && GetFocus() == label) {
        if (checkVolumeLabel()) SendMessageW(label, EM_SETSEL, 0, -1);
        return true;
    }
    if (keyDown) {
        for (const ChordKey& k : kChordKeys) {
            if (k.key != message.wParam || k.modifiers != modifiersDown()) continue;
            runCommand(k.commandId, 0);
            return true;
        }
    }
    if (message.message == WM_CHAR && (GetKeyState(VK_CONTROL) & 0x8000) == 0) return false;
    // In the label field and the in-place rename, Ctrl+Z and Ctrl+Y undo typing, as in Explorer.
    HWND focus = GetFocus();
    bool typing = focus != nullptr &&
                  (focus == control(IDC_VOLUME_LABEL) ||
                   focus == reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0)));
    for (const Shortcut& s : kShortcuts) {
        if (s.message != message.message || s.key != message.wParam) continue;
        if (typing && (s.commandId == ID_EDIT_UNDO || s.commandId == ID_EDIT_REDO)) return false;
        runCommand(s.commandId, 0);
        return true;
    }
    return false;
}
