// What insertion needs from the host beyond reading and writing files: what a path is, how big,
// when it was last written, which names a folder holds and the whole contents of a file. Paths
// and names are UTF-8 on every host (platform/host_file.h).
#ifndef TOLVEN_PLATFORM_HOST_FOLDER_H
#define TOLVEN_PLATFORM_HOST_FOLDER_H

#include <cstdint>
#include <string>
#include <vector>

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

// The names in a folder, without "." and "..", in byte order so that every host inserts a tree
// in the same order. False when the folder cannot be listed.
bool hostListFolder(const char* path, std::vector<std::string>* names);

enum HostReadResult { kHostReadOk, kHostReadFailed, kHostReadTooBig };
// Reads the whole file into `data`; only a regular file is opened
// (HostFile::openRegularForReading). Stops with kHostReadTooBig as soon as the file proves longer
// than `maxBytes`, so a huge host file is never read just to be refused.
HostReadResult hostReadWholeFile(const char* path, uint64_t maxBytes, std::vector<uint8_t>* data);

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
