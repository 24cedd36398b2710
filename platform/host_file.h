// Host files and folders as the core sees them. Paths are UTF-8 on every host: the Win32 build
// hands them to kernel32's wide calls (CreateFileW and friends, platform/host_wide_win32.h);
// every other host uses POSIX calls.
// Every failure and refusal is noted with its path and the system's reason (platform/host_error.h).
#ifndef TOLVEN_PLATFORM_HOST_FILE_H
#define TOLVEN_PLATFORM_HOST_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

class HostFile {
public:
    HostFile();
    ~HostFile();
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;

    // Opens an existing file for reading; other readers may open it too.
    bool openForReading(const char* path);
    // Creates the file, replacing any existing one, for writing; no sharing.
    bool createAlways(const char* path);
    // Creates a new file, or empties an existing plain one: a regular file with no other name.
    // Fails, leaving everything as it was, when the name is held by a symbolic link or junction
    // (never written through), a file with other hard links, a folder or anything else.
    bool createPlain(const char* path);
    // Reads up to `count` bytes; `*got` receives how many arrived (0 at end of file).
    // Returns false only when the read call itself failed.
    bool read(void* buffer, uint32_t count, uint32_t* got);
    // The same at `offset` bytes into the file.
    bool readAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* got);
    // The first stretch of data at or after `offset`: [*start, *end). Where the host keeps holes
    // (runs of zeros never written) they are passed over; elsewhere all the rest of the file is
    // data. *start and *end are the file's length when nothing follows. False when the host
    // could not say.
    bool nextData(uint64_t offset, uint64_t* start, uint64_t* end);
    // Writes all `count` bytes. A short write counts as a failure: a caller must never believe
    // data is on the disk that is not. `*written` (may be null) receives how many bytes went.
    bool write(const void* buffer, uint32_t count, uint32_t* written = nullptr);
    // Moves the position `count` bytes on without writing. In a file being written anew the bytes
    // passed over read as zeros (a hole, where the file system has them) once a later write or
    // endHere takes the file past them.
    bool skip(uint32_t count);
    // Ends the file at the position, with zeros up to it.
    bool endHere();
    // Closes the file; returns false when buffered data could not be flushed.
    bool close();
    bool isOpen() const;

private:
    friend class HostReplacement;
    friend class HostSource;
    // Keeps `handle` as the open file of `path`; an invalid one is noted as the failed open.
    bool adopt(intptr_t handle, const char* path);
    intptr_t handle_;
    std::string path_;  // what a failed read, write or close is noted against
};

enum ReplaceResult { kReplaceDone, kReplaceWriteFailed, kReplaceRenameFailed };

// A file written under a fresh name beside the file it replaces and put in its place only when
// complete. Whatever fails, the target stays as it was and the new file is removed (also when the
// object goes away uncommitted).
class HostReplacement {
public:
    HostReplacement();
    ~HostReplacement();
    HostReplacement(const HostReplacement&) = delete;
    HostReplacement& operator=(const HostReplacement&) = delete;

    // The target is `path`, or the file a symbolic link there leads to. False, creating nothing,
    // when the target exists but is not a regular file or is read-only (no write permission bit,
    // or not writable for this user; the read-only attribute on Windows), when the link leads
    // nowhere, or when the new file cannot be made. The new file is created exclusively (an
    // existing name, a link included, is never opened) and gets the target's permissions and
    // owner (POSIX) or attributes (Windows).
    bool begin(const char* path);
    HostFile& file() { return file_; }
    // Flushes the new file to the disk, closes it and puts it in the target's place. Windows
    // keeps the target's security and attributes through ReplaceFile.
    ReplaceResult commit();

private:
    void abandon();
    HostFile file_;
    std::string target_;
    std::string temp_;
    bool targetExists_;
};

// The separator of the host's paths: '\\' on Windows, '/' elsewhere.
char hostPathSeparator();
// Creates a folder; fails when it already exists or cannot be made.
bool hostCreateFolder(const char* path);
bool hostDeleteFile(const char* path);
bool hostFileExists(const char* path);
// True when both paths name one existing file (through links and other spellings of the path).
bool hostSameFile(const char* a, const char* b);
// The folder for temporary files, ending in a separator. False when the host gives none.
bool hostTempPath(char* buffer, size_t capacity);

#endif
