// Entries leaving the window as host files: dragged onto Explorer or the desktop, or copied to
// the clipboard. Both extract the selection into a folder of the program's own below the host's
// temporary folder and hand the shell a CF_HDROP data object naming what was made there.
#ifndef TOLVEN_UI_DRAG_OUT_H
#define TOLVEN_UI_DRAG_OUT_H

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

// The folders the copies go into: "<temp>\Tolven drag out\<process id>-<n>", one per copy or
// drag, so that a later copy never changes the files an earlier one handed out.
class DragOutFolders {
public:
    // Removes the folders of earlier runs whose process has ended, except one the clipboard
    // still names (copied before that run ended).
    void removeLeftovers();
    // A fresh, empty folder (a UTF-8 path); empty when it cannot be made.
    std::string makeFolder();
    // True when every path lies in a folder of this process: the program's own copies dropped
    // back onto its window.
    bool holdsAll(const std::vector<std::string>& paths) const;
    // Removes the folders this editor made, except `keep` (a path in it; empty: none kept).
    void removeOwn(const std::string& keep);

private:
    std::vector<std::wstring> made_;
};

// A data object offering `paths` (UTF-8) as CF_HDROP, with copy as the preferred effect so that
// Explorer's paste never moves the copies away. Returned with one reference held.
IDataObject* createFileDataObject(const std::vector<std::string>& paths);
// Drags `object`, offering copy only; returns when it was dropped or the drag was cancelled.
void dragFiles(IDataObject* object);
// The paths (UTF-8) a shell drop or the CF_HDROP of a data object names.
std::vector<std::string> hdropPaths(HDROP drop);
std::vector<std::string> dataObjectPaths(IDataObject* object);

#endif
