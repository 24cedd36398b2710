// Where the file and folder choosers start: the folder last chosen for that kind of file in this
// run, else the folder of the current image, else wherever the system starts them.
#ifndef TOLVEN_UI_CHOOSER_FOLDERS_H
#define TOLVEN_UI_CHOOSER_FOLDERS_H

#include <string>

enum ChooserKind {
    kImageFileChooser,  // Open, Save As
    kBootFileChooser,   // boot sector and boot code files, both ways
    kInsertChooser,     // files to insert
    kExtractChooser,    // the folder to extract to
    kChooserKinds
};

class ChooserFolders {
public:
    // The folder for a chooser of `kind`; empty when none is known. `imagePath` is the current
    // image's file, or null when it has none.
    std::string startFolder(ChooserKind kind, const char* imagePath) const;
    // A chooser of `kind` was answered in `folder` (hostFolderOf a chosen file).
    void remember(ChooserKind kind, const std::string& folder) { last_[kind] = folder; }

private:
    std::string last_[kChooserKinds];
};

#endif
