#include "ui/chooser_folders.h"

#include "platform/host_folder.h"

std::string ChooserFolders::startFolder(ChooserKind kind, const char* imagePath) const {
    if (!last_[kind].empty()) return last_[kind];
    return imagePath != nullptr ? hostFolderOf(imagePath) : std::string();
}
