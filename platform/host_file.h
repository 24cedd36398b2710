// Host files and folders as the core sees them. The Win32 build uses kernel32 (CreateFileA and
// friends); every other host uses POSIX calls. Paths are ANSI on Windows and UTF-8 elsewhere.
#ifndef TOLVEN_PLATFORM_HOST_FILE_H
#define TOLVEN_PLATFORM_HOST_FILE_H

#include <cstddef>
#include <cstdint>

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
    // Reads up to `count` bytes; `*got` receives how many arrived (0 at end of file).
    // Returns false only when the read call itself failed.
    bool read(void* buffer, uint32_t count, uint32_t* got);
    // Writes all `count` bytes. A short write counts as a failure: a caller must never believe
    // data is on the disk that is not.
    bool write(const void* buffer, uint32_t count);
    // Closes the file; returns false when buffered data could not be flushed.
    bool close();
    bool isOpen() const;

private:
    intptr_t handle_;
};

// The separator of the host's paths: '\\' on Windows, '/' elsewhere.
char hostPathSeparator();
// Creates a folder; fails when it already exists or cannot be made.
bool hostCreateFolder(const char* path);
bool hostDeleteFile(const char* path);
// Puts `from` in the place of `to`, replacing `to` if it exists, in one step where the host allows.
bool hostReplaceFile(const char* from, const char* to);
bool hostFileExists(const char* path);
// The folder for temporary files, ending in a separator. False when the host gives none.
bool hostTempPath(char* buffer, size_t capacity);

#endif
