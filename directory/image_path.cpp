#include "directory/image_path.h"

#include <cstring>

#include "directory/name_case.h"
#include "image/boot_sector.h"
#include "platform/host_text.h"

namespace {

bool sameName(const uint16_t* a, const uint16_t* b) {
    return sameNameIgnoringCase(a, b, kLongNameUnits);
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Copies the next name of `path` from `*pos` into `name` (host text); false when none is left.
bool nextName(const char* path, size_t* pos, char* name, size_t capacity, bool* tooLong) {
    size_t i = *pos;
    while (path[i] != '\0' && isSeparator(path[i])) ++i;
    if (path[i] == '\0') return false;
    size_t n = 0;
    *tooLong = false;
    while (path[i] != '\0' && !isSeparator(path[i])) {
        if (n + 1 < capacity) name[n++] = path[i];
        else *tooLong = true;
        ++i;
    }
    name[n] = '\0';
    *pos = i;
    return true;
}

bool isDotName(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

void setRoot(ImagePathEntry* out) {
    std::memset(out, 0, sizeof *out);
    out->isRoot = true;
    out->entryCluster = out->entryIndex = out->longNameCluster = out->longNameIndex = -1;
}

}  // namespace

uint16_t folderContentCluster(const VolumeImage& image, const uint8_t* entry) {
    uint16_t first = entryFirstCluster(entry);
    return image.isDataCluster(first) ? first : kNoContent;
}

bool imageNameMatches(const uint8_t* entry, const uint16_t* longName, const uint16_t* name) {
    if (longName[0] != 0 && sameName(longName, name)) return true;
    uint16_t shortName[kShortNameUnits];
    shortNameUnits(entry, shortName);
    return sameNameIgnoringCase(shortName, name, kShortNameUnits);
}

bool findImageEntry(VolumeImage& image, uint16_t folder, const uint16_t* name,
                    ImagePathEntry* out) {
    return forEachEntry(image, folder, [&](const WalkedEntry& e) {
        if (isDotEntry(e.entry) || !imageNameMatches(e.entry, e.longName, name)) return false;
        static_cast<WalkedEntry&>(*out) = e;
        out->isRoot = false;
        out->parentCluster = folder;
        out->contentCluster = isFolderEntry(e.entry) ? folderContentCluster(image, e.entry)
                                                     : kNoContent;
        return true;
    });
}

std::string imageEntryName(const uint8_t* entry, const uint16_t* longName) {
    char text[kLongNameUnits * 3 + 1];
    if (longName[0] != 0 && utf16ToUtf8(longName, kLongNameUnits, text, sizeof text) > 0)
        return text;
    uint16_t shortName[kShortNameUnits];
    shortNameAsShown(entry, shortName);
    utf16ToUtf8(shortName, kShortNameUnits, text, sizeof text);
    return text;
}

int resolveImagePath(VolumeImage& image, const char* path, ImagePathEntry* out,
                     std::string* spelled) {
    setRoot(out);
    if (spelled != nullptr) spelled->clear();
    size_t pos = 0;
    char name[1024];
    bool tooLong = false;
    while (nextName(path, &pos, name, sizeof name, &tooLong)) {
        uint16_t wide[kLongNameUnits + 1];
        if (tooLong || isDotName(name) || hostTextToUtf16(name, wide, kLongNameUnits + 1) <= 0)
            return isDotName(name) ? kImagePathNotFound : kImagePathBadName;
        if (!out->isRoot && !isFolderEntry(out->entry)) return kImagePathNotFolder;
        uint16_t folder = out->contentCluster;
        if (!findImageEntry(image, folder, wide, out)) return kImagePathNotFound;
        if (spelled != nullptr) *spelled += "/" + imageEntryName(out->entry, out->longName);
    }
    return kImagePathFound;
}

int resolveImageParent(VolumeImage& image, const char* path, uint16_t* folder, char* lastName,
                       size_t capacity) {
    // Everything up to the last separator that is followed by a name is the parent.
    size_t end = std::strlen(path);
    while (end > 0 && isSeparator(path[end - 1])) --end;
    if (end == 0 || capacity == 0) return kImagePathNotFound;
    size_t start = end;
    while (start > 0 && !isSeparator(path[start - 1])) --start;
    if (end - start + 1 > capacity) return kImagePathBadName;
    std::memcpy(lastName, path + start, end - start);
    lastName[end - start] = '\0';
    if (isDotName(lastName)) return kImagePathNotFound;

    char parent[1024];
    if (start >= sizeof parent) return kImagePathBadName;
    std::memcpy(parent, path, start);
    parent[start] = '\0';
    ImagePathEntry e;
    int result = resolveImagePath(image, parent, &e);
    if (result != kImagePathFound) return result;
    if (!e.isRoot && !isFolderEntry(e.entry)) return kImagePathNotFolder;
    *folder = e.contentCluster;
    return kImagePathFound;
}
