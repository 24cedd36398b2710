#include "directory/folder_path.h"

#include "directory/dir_entry.h"
#include "image/boot_sector.h"

namespace {

// Longer than any path Windows can name; a way up that grows beyond it is a loop.
const size_t kMaxPathUnits = 260;
const char16_t kEllipsis = 0x2026;

struct WalkedEntry {
    uint8_t raw[de::kSize];
    uint8_t longName[kLongNameBytes];
};

// Calls `visit` on each entry of the folder at `cluster` until it returns true; true when it did.
template <typename Visit>
bool findEntry(VolumeImage& image, uint16_t cluster, Visit visit) {
    WalkedEntry e;
    int32_t entryCluster, entryIndex, longNameCluster, longNameIndex;
    uint8_t found = image.startWalk(cluster, e.raw, e.longName, kLongNameBytes, entryCluster,
                                    entryIndex, longNameCluster, longNameIndex);
    for (; found == 1; found = image.nextEntry(e.raw, e.longName, kLongNameBytes, entryCluster,
                                               entryIndex, longNameCluster, longNameIndex)) {
        if (visit(e)) return true;
    }
    return false;
}

bool isFolderEntry(const uint8_t* raw) {
    return (raw[de::kAttributes] & de::kAttrDirectory) != 0;
}

std::u16string shownName(const WalkedEntry& e) {
    uint16_t units[kLongNameUnits];
    if (readLe16(e.longName) == 0) {
        shortDisplayName(e.raw, units);
    } else {
        for (int i = 0; i < kLongNameUnits; ++i) units[i] = readLe16(e.longName + 2 * i);
    }
    std::u16string name;
    for (int i = 0; i < kLongNameUnits && units[i] != 0; ++i) name += static_cast<char16_t>(units[i]);
    return name;
}

}  // namespace

std::u16string folderPath(VolumeImage& image, uint16_t cluster) {
    WalkCursor outer = image.saveCursor();
    std::u16string path;
    while (cluster != 0) {
        uint16_t parent = 0;
        bool up = path.size() <= kMaxPathUnits && findEntry(image, cluster, [&](const WalkedEntry& e) {
            if (!isDotEntry(e.raw) || e.raw[1] != '.') return false;
            parent = readLe16(e.raw + de::kFirstCluster);
            return true;
        });
        std::u16string name;
        bool named = up && findEntry(image, parent, [&](const WalkedEntry& e) {
            if (!isFolderEntry(e.raw) || isDotEntry(e.raw) ||
                readLe16(e.raw + de::kFirstCluster) != cluster)
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
    image.restoreCursor(outer);
    return path.empty() ? std::u16string(u"\\") : path;
}
