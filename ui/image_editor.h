// The application object: the editor is the in-memory image (VolumeImage) plus the main window
// that shows it. The one instance lives for the whole process; its window procedure, views and
// commands are spread over ui/*.cpp by concern and declared here once.
#ifndef TOLVEN_UI_IMAGE_EDITOR_H
#define TOLVEN_UI_IMAGE_EDITOR_H

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/drag_out.h"
#include "ui/drive_dialog.h"
#include "image/edit_journal.h"
#include "image/message_list.h"
#include "directory/name_clash.h"
#include "image/volume_image.h"
#include "ui/chooser_folders.h"
#include "ui/cluster_map_view.h"
#include "ui/member_dialog.h"
#include "ui/new_folder_dialog.h"
#include "ui/new_image_dialog.h"
#include "ui/properties_dialog.h"
#include "ui/recent_files.h"
#include "ui/sector_view.h"
#include "ui/settings_store.h"

const int kPathSize = 260 * 3;  // a path of MAX_PATH UTF-16 units, in UTF-8
const int kLongNameChars = 260;
const char kUntitledName[] = "untitled.img";  // a new image's name until it is saved

// One entry of the folder shown in the file list, in the order the walker returned it.
struct DirListEntry {
    uint8_t rawEntry[32];
    wchar_t longName[kLongNameChars];  // UTF-16: the core's names are written into it
    bool hasLongName;                  // false: longName gets the 8.3 display name
    int32_t entryCluster;
    int32_t entryIndex;
    int32_t longNameCluster;
    int32_t longNameIndex;
    bool deleted;  // shown by View > Show deleted entries: only Undelete acts on it
    DirListEntry* next;
};
// The record's long name for extraction: none (all zero) when the list shows the 8.3 name.
const uint16_t* longNameUnits(const DirListEntry* record);

// The columns of the file list, which are also the keys it can be sorted by.
enum ListColumn { kColumnName = 0, kColumnSize = 1, kColumnModified = 2, kColumnAttributes = 3 };

// Posted to the main window by its own commands, to act once the current message is done.
const UINT kRenameEndedMessage = WM_APP + 20;        // a list label edit has ended (see endRename)
const UINT kOpenStartupImageMessage = WM_APP + 21;   // the image named at start-up is opened
const UINT kSelectionChangedMessage = WM_APP + 140;  // the status line follows the selection

// saveChecked's answer when the user chose Save As over a file changed by another program.
const int kResultSaveAsWanted = -1;

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
    // The smallest outer size that keeps every control usable.
    void limitTrackSize(MINMAXINFO* limits) const;
    void createListPopupMenu();
    void quitCommand();
    // Shows the image's error report (composeErrorReport: the queued messages with the system's
    // reasons, and `path`, the file the command worked on) in one error box; nothing when no
    // message was queued.
    void showErrorReport(const char* path = nullptr);
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
    // Asks whether an image edited since it was opened, created or saved is saved first: IDYES
    // saved, IDNO nothing to save or No, IDCANCEL stop (Cancel, or the save cancelled or failed).
    int askSaveChanges();
    // Every command first takes in an in-place rename or a label being typed. False, after the
    // refusal was reported, when one was refused: the command does not run then.
    bool commitPendingEdits();
    // Another image is in memory (opened, created; `path` null: no file yet): its root from the
    // top, its name, and a fresh journal on which it counts as saved.
    void beginImage(const char* path, const char* title);
    // The image in memory is the one on disk now (saved): the change mark goes.
    void imageSaved();
    void openCommand();
    // IDYES when the image was written, IDCANCEL when the dialog was cancelled or writing failed.
    int saveCommand();
    void saveAsCommand();
    void newImageCommand();
    void aboutCommand();
    // The label field's text, when valid and other than the label stored, becomes the label
    // (setVolumeLabel). False, after telling the user and giving the field the focus, when the
    // label rule refuses it.
    bool checkVolumeLabel();
    void bootFileCommand(BootFileDirection direction, BootFileKind kind);
    void clusterMapCommand();
    // Image > Sector view (Ctrl+H): the sector view on the boot sector.
    void sectorViewCommand();
    // The list's "Show in cluster map": the map with the focused entry's chain marked.
    void showInMapCommand();
    // Image > Change format... (ui/change_format_command.cpp).
    void changeFormatCommand();
    // Image > Defragment and Image > Wipe free space... (ui/defragment_commands.cpp); the wipe
    // asks first.
    void defragmentCommand();
    void wipeFreeSpaceCommand();
    // Image > Check disk... (ui/check_disk_command.cpp): the findings, and Repair as one edit.
    void checkDiskCommand();
    // The image's file for the choosers, or null while it has none (new, or read from a floppy).
    const char* currentImagePath() const { return hasPath != 0 ? imagePath : nullptr; }

    // --- commands on entries (ui/entry_commands.cpp) ---------------------------------------------
    // Each acts on exactly the records that the selected list items stand for.
    // The whole image, or (allEntries false) the selected entries, into a folder the user picks.
    void extractCommand(bool allEntries);
    // True when the file list has a selected item.
    bool hasSelection();
    void viewCommand();
    // Asks first, naming the entry or the count, then deletes the selected entries.
    void deleteCommand();
    void deleteSelectedEntries();
    // The records of the selected list items, "." and ".." left out.
    std::vector<const DirListEntry*> selectedEntries() const;
    void insertCommand();
    // The window's one insertion: host files and folders into the shown folder as one undo step.
    // A name the folder holds is asked about (Replace, Skip, Keep both; "Do this for all") under
    // kClashAsk, else settled by `policy`. Insert, Insert folder, drops and paste come here.
    void insertHostPathsCommand(const std::vector<std::string>& paths,
                                ClashPolicy policy = kClashAsk);

    // --- deleted entries (ui/undelete_command.cpp) -----------------------------------------------
    // View > Show deleted entries: the list shows the folder's deleted entries too, greyed.
    void showDeletedCommand();
    // Undelete (Edit menu, context menu): the selected deleted entries come back, one undo step;
    // the lost first character of an 8.3-only name is asked for.
    void undeleteCommand();
    // Appends the shown folder's deleted entries to the records (readEntries, when shown).
    void readDeletedEntries(DirListEntry** last);

    // --- editing (ui/edit_commands.cpp) ----------------------------------------------------------
    // The one place every command's change to the image goes through: the journal records it as
    // one undo step (nothing when the bytes did not change), and the title shows the mark.
    void recordEdit();
    // True when the image differs from what was opened, created or last saved.
    bool hasUnsavedEdits() const { return !journal.atSavedState(); }
    // Ctrl+Z, Ctrl+Y and the Edit menu: the step before or after comes back and is shown.
    void undoCommand();
    void redoCommand();
    // Edit > Select all: the list's entries, with the focus in the list.
    void selectAllCommand();
    // True, after saying why, when the image opened read-only (tracks its container holds that
    // a FAT12 volume cannot): every edit and save is refused before it starts.
    bool editsRefused();
    void insertFolderCommand();
    void newFolderCommand();
    // Starts the in-place edit of the focused selected entry's name in the list.
    void renameCommand();
    void propertiesCommand();
    // The list's label edit notifications: true, with the dialog result in `*result`, when the
    // notification was one of them.
    bool handleLabelEdit(const NMHDR* header, LRESULT* result);
    // The list's custom draw: deleted, hidden and system entries dimmed. True, with the answer in
    // `*result`, when the notification was the list's.
    bool drawListItem(const NMHDR* header, LRESULT* result);
    // After a label edit: shows the renamed entry, or the refusal (false then). Nothing when no
    // ended rename waits for it.
    bool finishRename();
    // Files dropped from the shell: on the list they go into the shown folder, a single file that
    // looks like a disk image asking first whether to open it instead; a single file dropped
    // anywhere else is opened as an image. The program's own dragged-out copies are ignored.
    void dropFiles(HDROP drop);

    // --- the selection as host files, and back (ui/clipboard_commands.cpp) ----------------------
    // Ctrl+C, Edit > Copy: the selection extracted into a folder of its own, on the clipboard as
    // CF_HDROP.
    void copyCommand();
    // Ctrl+V, Edit > Paste: the host files the clipboard names, inserted as dropped files are.
    void pasteCommand();
    // A drag started on the list: the selection extracted as Copy does, then dragged.
    void dragOutCommand();
    // Start and end of the window's life: OLE on this thread, the folders of ended runs removed;
    // at the end the clipboard keeps a copy still on it (and its folder), the others go.
    void beginDragOut();
    void endDragOut();
    // The image named on the command line, opened once the window is shown.
    void setStartupImage(const char* path);
    void openStartupImage();
    // Loads an image file as Open does once a file is chosen: on success the file state and the
    // root folder, on failure the error box; the views are rebuilt either way.
    bool openImageFile(const char* path, const char* title);

    // --- kept between runs (ui/recent_commands.cpp) -------------------------------------------
    // The stored list of recent images, shown in the File menu.
    void loadRecentFiles();
    // An image opened or saved under `path` goes to the top of the list (and the store).
    void rememberRecent(const char* path);
    // The File menu's items for the list, numbered &1..&8, between Save As and Quit.
    void updateRecentMenu();
    // File menu item `slot` (0: the most recent): a file that is gone is said so and leaves the
    // list; another is opened as Open would.
    void openRecentCommand(int slot);
    // Shows the window where it was last closed, when that is on a monitor now; else where the
    // template puts it, inside the monitor's work area.
    void showAtStoredPlace();
    void fitToWorkArea();
    void storeWindowPlace();

    // --- beside other programs (ui/save_checks.cpp) ----------------------------------------------
    // loadImageFile (of `member` of an archive) under the image file's lock, held for the load
    // only (700 when another program kept it).
    int loadImageLocked(const char* path, const char* member = nullptr);
    // saveImageFile in `kind` under the lock. Over the file the image was opened from
    // (`overOpenedFile`), one changed by another program meanwhile is first put to the user:
    // Save As (kResultSaveAsWanted), Overwrite (saved) or Cancel (kResultCancelled). Where the
    // folder refuses the replacement the user may save in place (or kResultCancelled).
    int saveChecked(const char* path, ContainerKind kind, bool overOpenedFile);

    // --- floppy commands (ui/disk_commands.cpp) -------------------------------------------------
    void loadFromDiskCommand();
    void writeToDiskCommand();

    // --- views (ui/views_tree.cpp, ui/views_list.cpp) -------------------------------------------
    void setupViews();
    void fillTree();
    void freeEntries();
    void readEntries();
    // Refills the list and the status line from the records, in the list's sort order.
    void fillList();
    int32_t openEntry(int index);
    void rebuildViews();
    // Reads the shown folder again. When it is the folder the list already showed (after a
    // delete, an insert, a new label), the selected entries, the focused item and the scroll
    // position are kept; another folder starts at the top with nothing selected.
    void refreshDirectory();
    // The next refresh starts afresh although the folder is the same (another image).
    void forgetShownFolder();
    // The record of a live entry that list item `index` stands for, or null when there is none
    // (a deleted entry's item included: no command but Undelete acts on those).
    DirListEntry* entryForItem(int index) const;
    // The record of list item `index`, deleted or not; null when there is none.
    DirListEntry* recordForItem(int index) const;
    // Selects and focuses every list item whose entry starts at `cluster` (Enter on a folder).
    void selectItemsOfCluster(int32_t cluster);
    // Enter or double-click on item `index`: opens a folder (and after going up selects the
    // folder left), views the selected files when it is a file.
    void activateItem(int index);
    // Backspace and Alt+Up: shows the parent folder with the folder left selected; nothing in the
    // root.
    void openParentFolder();
    // The status line: the folder's counts, or the selection's count and size, and the free space.
    void showStatus();
    // Ctrl+A: selects every entry of the folder ("[ .. ]" is no entry of it).
    void selectAllEntries();
    // Sorts the list by `column`; the column it is sorted by already is reversed instead.
    void sortByColumn(int column);
    // Opens the list's context menu with its top left corner at the focused item (or the list's
    // top left corner), as Shift+F10 and the Menu key do.
    void showListPopupMenuAtFocus();

    // --- state ----------------------------------------------------------------------------------
    HWND mainWindow;
    HINSTANCE instance;
    HWND toolbar;
    HMENU popupMenu;
    NewImageDialog newImageDialog;
    DriveDialog driveDialog;
    ClusterMapView clusterMap;
    SectorView sectorView;
    ChooserFolders chooserFolders;
    NewFolderDialog newFolderDialog;
    MemberDialog memberDialog;
    PropertiesDialog propertiesDialog;
    MessageList tempFiles;
    // The folders of copies and drags, and the copy last put on the clipboard with its folder.
    DragOutFolders dragOut;
    IDataObject* copiedObject;
    std::string copiedFolder;
    RecentFiles recentFiles;
    SettingsStore settings;
    // The undo steps of the image in memory, and whether it is the state on disk.
    EditJournal journal;
    uint8_t hasPath;
    char imagePath[kPathSize];  // UTF-8, as every host path in the program
    char imageName[kPathSize];
    int32_t currentDirCluster;
    DirListEntry* entries;
    // The records in walk order; each list item's data is its record's place here.
    std::vector<DirListEntry*> listedRecords;
    // The folder the list shows, or -1 after forgetShownFolder and before the first fill.
    int32_t shownDirCluster;
    int sortColumn;  // a ListColumn
    bool sortDescending;
    bool showDeleted;  // View > Show deleted entries
    char startupImage[kPathSize];  // empty when none was named
    // The last label edit's outcome, for finishRename: the result code and the entry's new place.
    int renameResult;
    bool renamePending;  // an ended rename waits for finishRename
    bool labelBoxShown;  // checkVolumeLabel's refusal is on the screen
    int32_t renamedCluster;
    int32_t renamedIndex;
    bool statusPending;  // a selection change waits for kSelectionChangedMessage

private:
    // The unsaved-changes question and the save it may lead to (IDYES, IDNO, IDCANCEL).
    int askToSave();
    void initMainWindow(HWND window);
    // Undo (false) or redo (true), then the views; the shown folder when it is still there.
    void stepJournal(bool forward);
    // Undo and Redo grayed when there is nothing to undo or redo.
    void updateEditMenu();
    void createToolbar();
    void handleNotify(const NMHDR* header);
    void showListPopupMenu();
    void showListPopupMenu(POINT screen, UINT alignment);
    void fillItems();
    void showSortArrow();
    void showFolderPath();
    // The selection extracted into a fresh folder of dragOut: the paths made at its top (none,
    // after any report, when nothing was). `folder` receives the folder.
    std::vector<std::string> extractSelectionOut(std::string* folder);
    HWND control(int id) const { return GetDlgItem(mainWindow, id); }
};

#endif
