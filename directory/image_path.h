// Paths inside an image: names from the root separated by '/' or '\', each matched against an
// entry's long name or its 8.3 name (shortNameUnits), ignoring case as name_case.h folds it. The
// root is "/" or "". The CLI resolves its arguments with these; the window can find entries too.
#ifndef TOLVEN_DIRECTORY_IMAGE_PATH_H
#define TOLVEN_DIRECTORY_IMAGE_PATH_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "image/volume_image.h"

// A folder entry whose first cluster names no data cluster (0 included) has this as its content
// cluster: walking it yields nothing, where a first cluster of 0 would walk the root.
const uint16_t kNoContent = 0xFFFF;

// One entry of the image as the walker reported it, with where it lives; for the root itself,
// zero bytes and -1 locations.
struct ImagePathEntry : WalkedEntry {
    bool isRoot;              // the path named the root itself
    uint16_t parentCluster;   // first cluster of the folder holding it (0: root)
    uint16_t contentCluster;  // for folders: what to walk (0 root, kNoContent none)
};

enum ImagePathResult {
    kImagePathFound = 0,
    kImagePathNotFound,   // a name is not in its folder
    kImagePathNotFolder,  // a name before the last one is a file
    kImagePathBadName,    // a name is not valid in the host's encoding or too long
};

// Resolves `path` (host text). ".", ".." and empty names are not matched: a path only goes down.
// `spelled`, when given, receives the path as the image spells it ("/DOCS/read me.txt", UTF-8).
int resolveImagePath(VolumeImage& image, const char* path, ImagePathEntry* out,
                     std::string* spelled = nullptr);

// An entry's name in UTF-8: its long name, else its 8.3 name as shown (shortNameAsShown).
std::string imageEntryName(const uint8_t* entry, const uint16_t* longName);

// Resolves all but the last name of `path` to a folder, for commands that create the last one:
// `*folder` is the folder's content cluster (0 root, kNoContent for a folder without content)
// and `lastName` receives the last name (host text). A path without any name gives
// kImagePathNotFound.
int resolveImageParent(VolumeImage& image, const char* path, uint16_t* folder, char* lastName,
                       size_t capacity);

// Finds the entry called `name` (UTF-16, zero-terminated) in the folder walked from `folder`.
// Leaves a walk in progress where it was.
bool findImageEntry(VolumeImage& image, uint16_t folder, const uint16_t* name, ImagePathEntry* out);

// True when `name` equals the entry's long name or its 8.3 name, ignoring case.
bool imageNameMatches(const uint8_t* entry, const uint16_t* longName, const uint16_t* name);

// The content cluster of a folder entry (see kNoContent).
uint16_t folderContentCluster(const VolumeImage& image, const uint8_t* entry);

#endif
