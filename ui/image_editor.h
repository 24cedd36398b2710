// The application object: the editor is the in-memory image (VolumeImage) plus the main window
// that shows it. The one instance lives for the whole process; its window procedure, views and
// commands are spread over ui/*.cpp by concern and declared here once.
#ifndef TOLVEN_UI_IMAGE_EDITOR_H
#define TOLVEN_UI_IMAGE_EDITOR_H

#include <windows.h>

#include <cstdint>

#include "ui/drive_dialog.h"
#include "image/message_list.h"
#include "image/volume_image.h"
#include "ui/cluster_map_view.h"
#include "ui/new_image_dialog.h"

const int kPathSize = 260;
const int kLongNameChars = 260;

// One entry of the folder shown in the file list, in the order the walker returned it.
struct DirListEntry {
    uint8_t rawEntry[32];
    wchar_t longName[kLongNameChars];
    int32_t entryCluster;
    int32_t entryIndex;
    int32_t longNameCluster;
    int32_t longNameIndex;
    DirListEntry* next;
};

// What bootFileCommand moves, and which way.
enum BootFileDirection { kBootFileImport, kBootFileExport };
enum BootFileKind { kBootSectorFile, kBootCodeFile };

class ImageEditor : public VolumeImage {
public:
    ImageEditor();
    ~ImageEditor();

    // --- start-up, window, loop (ui/image_editor.cpp, ui/main_window.cpp) ---------------------
    void init(HINSTANCE instance);
    // Creates the main window and runs the message loop. Returns the quit message's exit value,
    // or 1 without looping when the window cannot be created.
    int runMainWindow();
    void updateTitle();
    void layoutControls();
    void createListPopupMenu();
    void quitCommand();
    // Pops every queued message of the image and shows them in one error box; nothing when none.
    void showErrorReport();
    // Deletes the files listed in tempFiles (viewed entries), ignoring files still in use.
    void deleteTempFiles();
    static INT_PTR CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // --- command routing (ui/commands.cpp) ------------------------------------------------------
    // Runs the handler routed to a WM_COMMAND id (with its notification code), or to an item of
    // the list's context menu. Returns false when nothing is routed to it.
    bool runCommand(int id, int notification);
    bool runListMenuCommand(int id);
    // The loop's keyboard shortcuts: true when `message` was a shortcut that ran a command.
    bool decodeShortcut(const MSG& message);

    // --- file commands (ui/file_commands.cpp, ui/image_menu_commands.cpp) ----------------------
    // Asks whether a changed image is saved first: IDYES saved, IDNO nothing to save or No,
    // IDCANCEL stop (Cancel, or the save cancelled or failed).
    int askSaveChanges();
    void openCommand();
    // IDYES when the image was written, IDCANCEL when the dialog was cancelled or writing failed.
    int saveCommand();
    void saveAsCommand();
    void newImageCommand();
    void aboutCommand();
    void checkVolumeLabel();
    void bootFileCommand(BootFileDirection direction, BootFileKind kind);
    void clusterMapCommand();

    // --- commands on entries (ui/entry_commands.cpp) ---------------------------------------------
    // Each acts on exactly the records that the selected list items stand for.
    void extractCommand(bool allEntries);
    void viewCommand();
    void deleteCommand();
    void insertCommand();

    // --- floppy commands (ui/disk_commands.cpp) -------------------------------------------------
    void loadFromDiskCommand();
    void writeToDiskCommand();

    // --- views (ui/views_tree.cpp, ui/views_list.cpp) -------------------------------------------
    void setupViews();
    void fillTree();
    void freeEntries();
    void readEntries();
    void fillList();
    void makeShortName(DirListEntry* record);
    int32_t openEntry(int index);
    void rebuildViews();
    void refreshDirectory();
    // The record that list item `index` stands for, or null when there is none.
    DirListEntry* entryForItem(int index) const;
    // Selects and focuses every list item whose entry starts at `cluster` (Enter on a folder).
    void selectItemsOfCluster(int32_t cluster);

    // --- state ----------------------------------------------------------------------------------
    HWND mainWindow;
    HINSTANCE instance;
    HWND toolbar;
    HMENU popupMenu;
    NewImageDialog newImageDialog;
    DriveDialog driveDialog;
    ClusterMapView clusterMap;
    MessageList tempFiles;
    uint8_t modified;
    uint8_t hasPath;
    char imagePath[kPathSize];
    char imageName[kPathSize];
    int32_t currentDirCluster;
    DirListEntry* entries;

private:
    void initMainWindow(HWND window);
    void createToolbar();
    void handleNotify(const NMHDR* header);
    void showListPopupMenu();
    HWND control(int id) const { return GetDlgItem(mainWindow, id); }
};

#endif
