#include "directory/folder_path.h"

#include <cstring>

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"

namespace {

// Longer than any path Windows can name; a way up that grows beyond it is a loop.
const size_t kMaxPathUnits = 260;
const char16_t kEllipsis = 0x2026;

std::u16string shownName(const WalkedEntry& e) {
    uint16_t units[kLongNameUnits];
    if (e.longName[0] == 0) shortDisplayName(e.entry, units);
    else std::memcpy(units, e.longName, sizeof units);
    std::u16string name;
    for (int i = 0; i < kLongNameUnits && units[i] != 0; ++i)
        name += static_cast<char16_t>(units[i]);
    return name;
}

}  // namespace

std::u16string folderPath(VolumeImage& image, uint16_t cluster) {
    std::u16string path;
    while (cluster != 0) {
        uint16_t parent = 0;
        bool up = path.size() <= kMaxPathUnits &&
                  forEachEntry(image, cluster, [&](const WalkedEntry& e) {
                      if (!isDotEntry(e.entry) || e.entry[1] != de::kDotName) return false;
                      parent = entryFirstCluster(e.entry);
                      return true;
                  });
        std::u16string name;
        bool named = up && forEachEntry(image, parent, [&](const WalkedEntry& e) {
                         if (!isFolderEntry(e.entry) || isDotEntry(e.entry) ||
                             entryFirstCluster(e.entry) != cluster)
                             return false;
                         name = shownName(e);
                         return true;
                     });
        if (!named) {
            path.insert(path.begin(), kEllipsis);
            break;
        }
        path = u"\\" + name + path;
        cluster = parent;
    }
    return path.empty() ? std::u16string(u"\\") : path;
}
