// Host names for extracted entries, and the clean-up of viewing's temporary copies.
#ifndef TOLVEN_DIRECTORY_EXTRACT_H
#define TOLVEN_DIRECTORY_EXTRACT_H

#include <cstddef>
#include <cstdint>

#include <vector>

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"

class MessageList;

// What an extraction made on the host, for the report after it.
struct ExtractCount {
    int files = 0;
    int folders = 0;
};

// An entry of a folder with its long name (all zero when it has none): what the Extract command
// hands to extractEntry.
struct ListedEntry {
    uint8_t entry[de::kSize];
    uint16_t longName[kLongNameUnits];
};
ListedEntry listedEntry(const WalkedEntry& e);
// Every entry of the folder, read whole first, since extracting walks with the image's cursor.
std::vector<ListedEntry> readListedEntries(VolumeImage& image, uint16_t folder);

// The host name of an extracted entry, at every depth, as Windows copies it: its long name, else
// its 8.3 name as shown (shortNameAsShown: stored case, lower-case flags applied), in UTF-8.
// Returns the length in bytes (0: no name), or -1 when it does not fit.
int entryHostName(const uint8_t* entry, const uint16_t* longName, char* out, size_t capacity);

// An image is untrusted: a name may only name a file inside the target folder. Refused are
// empty names, names of only dots and blanks ("." and ".." among them), names holding '/', '\',
// ':' or control characters, and the host's device names (CON, NUL, COM1 ... on Windows).
bool isSafeHostName(const char* name);

// Deletes every file listed in `tempFiles` (oldest first), ignoring failures: a viewer may still
// hold a file open. The list is empty afterwards.
void deleteTempFiles(MessageList& tempFiles);

#endif
