// What insertion needs from the host beyond reading and writing files: what a path is, how big,
// when it was last written, which names a folder holds, and a file's contents read into place.
// Paths and names are UTF-8 on every host (platform/host_file.h).
#ifndef TOLVEN_PLATFORM_HOST_FOLDER_H
#define TOLVEN_PLATFORM_HOST_FOLDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_file.h"

// What insertion may take: regular files and folders. FIFOs, devices, sockets, links that lead
// nowhere and links to folders that are not followed are "other".
enum HostFileKind { kHostRegularFile, kHostFolder, kHostOther };

struct HostFileInfo {
    HostFileKind kind;
    bool isFolder;     // kind == kHostFolder
    uint64_t size;     // 0 for anything but a regular file
    uint16_t fatDate;  // last write, in the host's local time
    uint16_t fatTime;
};

// False when the path does not exist or cannot be queried. A symbolic link (or a junction) to a
// file is taken as the file it leads to; a link to a folder is taken as that folder only with
// `followFolderLinks` (a path the user named), else it is kHostOther, so that inserting a tree
// never leaves it through a link (nor loops through one).
bool hostQueryFile(const char* path, HostFileInfo* info, bool followFolderLinks);

// One name in a folder and what the listing already tells of it: a plain file (a regular file, not
// a link) may be opened at once (HostSource::open).
struct HostFolderEntry {
    std::string name;
    bool plainFile;
};

// The names in a folder, without "." and "..", in byte order so that every host inserts a tree
// in the same order. False when the folder cannot be listed.
bool hostListFolder(const char* path, std::vector<HostFolderEntry>* entries);

// A host file or folder to be inserted, looked up by its path once and then described and read
// through the open handle.
class HostSource {
public:
    // Describes `path` as hostQueryFile does and keeps a regular file open; false (noted) as
    // there, or when the regular file cannot be opened. With `openFirst` the path is opened at
    // once and described from the open handle (Windows asks by name first all the same); use it
    // for a path the user named and for a plain file of a listing. Anything else is queried by
    // name first and opened only when it is a regular file, so that a FIFO or a device met in a
    // folder is never opened.
    bool open(const char* path, bool followFolderLinks, bool openFirst, HostFileInfo* info);
    // Reads the open file's first `size` bytes (the size open reported) straight into `count`
    // buffers of `pieceBytes` each, one read for buffers that follow one another in memory.
    // `*got` receives how many arrived: fewer when the file has shrunk since it was opened.
    // False (noted) when a read failed; the buffers then hold what arrived.
    bool read(uint8_t* const* pieces, int count, uint32_t pieceBytes, uint64_t size, uint64_t* got);

private:
    HostFile file_;
};

// The last part of a host path: "c.txt" for "a/b/c.txt", "b" for "a/b/"; both separators count
// on Windows.
std::string hostBaseName(const char* path);
// The folder part of a host path to a file: "a/b" for "a/b/c.txt", "/" for "/c.txt", and on
// Windows "C:\" for "C:\c.txt" ("C:" alone would be the drive's current folder); empty when the
// path names no folder.
std::string hostFolderOf(const char* path);
// `folder` and `name` joined with the host's separator (none added when `folder` ends in one).
std::string hostJoinPath(const std::string& folder, const std::string& name);

#endif
