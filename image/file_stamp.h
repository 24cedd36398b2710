// What a save checks before writing over the file an image came from: that the file on the disk
// is still the one that was read. Its length and last write time, and a hash of its bytes, since
// a write within the file system's time granularity leaves the time as it was.
#ifndef TOLVEN_IMAGE_FILE_STAMP_H
#define TOLVEN_IMAGE_FILE_STAMP_H

#include <cstdint>

#include "platform/host_file.h"

struct FileStamp {
    bool known = false;  // false: no file to compare with (a new image, or one from a floppy)
    HostFileFacts facts = {};
    uint64_t hash = 0;
};

// Reads the open file to its end and stamps it; false when the host could not say or a read
// failed.
bool stampFile(HostFile& file, FileStamp* out);
// The same for the file now at `path`; false as above or when there is none.
bool stampPath(const char* path, FileStamp* out);
// Same length, time and bytes.
bool sameContent(const FileStamp& a, const FileStamp& b);

#endif
