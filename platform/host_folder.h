// What insertion needs from the host beyond reading and writing files: what a path is, how big,
// when it was last written, which names a folder holds and the whole contents of a file. Paths are ANSI on Windows and UTF-8 elsewhere.
#ifndef TOLVEN_PLATFORM_HOST_FOLDER_H
#define TOLVEN_PLATFORM_HOST_FOLDER_H

#include <cstdint>
#include <string>
#include <vector>

struct HostFileInfo {
    bool isFolder;
    uint64_t size;     // 0 for folders
    uint16_t fatDate;  // last write, in the host's local time
    uint16_t fatTime;
};

// False when the path does not exist or cannot be queried.
bool hostQueryFile(const char* path, HostFileInfo* info);

// The names in a folder, without "." and "..", in byte order so that every host inserts a tree
// in the same order. False when the folder cannot be listed.
bool hostListFolder(const char* path, std::vector<std::string>* names);

enum HostReadResult { kHostReadOk, kHostReadFailed, kHostReadTooBig };
// Reads the whole file into `data`. Stops with kHostReadTooBig as soon as the file proves longer
// than `maxBytes`, so a huge host file is never read just to be refused.
HostReadResult hostReadWholeFile(const char* path, uint64_t maxBytes, std::vector<uint8_t>* data);

// The last part of a host path: "c.txt" for "a/b/c.txt", "b" for "a/b/"; both separators count
// on Windows.
std::string hostBaseName(const char* path);
// `folder` and `name` joined with the host's separator (none added when `folder` ends in one).
std::string hostJoinPath(const std::string& folder, const std::string& name);

#endif
