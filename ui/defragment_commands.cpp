// Image > Defragment and Image > Wipe free space...: the whole volume rearranged or cleaned by
// the core (directory/defragment.h), each one undo step, with what was done said afterwards.
#include <windows.h>

#include <cstdio>
#include <string>

#include "directory/defragment.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

void ImageEditor::defragmentCommand() {
    if (editsRefused()) return;
    DefragmentOutcome done;
    if (defragmentImage(*this, &done) != kResultOk) {
        showErrorReport();
        return;
    }
    char text[160];
    if (done.clustersMoved == 0) {
        std::snprintf(text, sizeof text, "Every file and folder is in one piece already.");
    } else {
        std::snprintf(text, sizeof text, "%d files and %d folders moved (%d clusters).",
                      done.filesMoved, done.foldersMoved, done.clustersMoved);
        recordEdit();
        rebuildViews();  // the records hold the first clusters the entries had
    }
    messageBoxUtf8(mainWindow, text, "Defragment", MB_ICONINFORMATION | MB_OK);
}

void ImageEditor::wipeFreeSpaceCommand() {
    if (editsRefused()) return;
    // Nothing deleted can be brought back afterwards (but by Undo, while the image is open).
    if (messageBoxUtf8(mainWindow,
                       "Zero the free clusters and the slack after each file, and clear the "
                       "deleted entries? Deleted files can then no longer be recovered.",
                       "Wipe free space", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return;
    WipeOutcome done;
    if (wipeFreeSpace(*this, &done) != kResultOk) {
        showErrorReport();
        return;
    }
    recordEdit();
    rebuildViews();  // the entries after a cleared slot moved up
    char text[200];
    std::snprintf(text, sizeof text,
                  "%d free clusters zeroed, slack of %d files zeroed, %d deleted entries "
                  "cleared.",
                  done.clustersZeroed, done.filesTrimmed, done.entriesCleared);
    messageBoxUtf8(mainWindow, text, "Wipe free space", MB_ICONINFORMATION | MB_OK);
}
