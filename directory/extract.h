// Host names for extracted entries, and the clean-up of viewing's temporary copies.
#ifndef TOLVEN_DIRECTORY_EXTRACT_H
#define TOLVEN_DIRECTORY_EXTRACT_H

#include <cstddef>
#include <cstdint>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "directory/name_clash.h"

class MessageList;

// What an extraction made on the host, for the report after it.
struct ExtractCount {
    int files = 0;
    int folders = 0;
    int skipped = 0;  // files left as the host had them (Skip)
};

// A host file of an entry's name that the extraction did not write itself is refused, replaced,
// skipped or asked about (directory/name_clash.h; keeping both is insertion's alone).

// A file reaches this many host files in one extraction at most: cross-linked chains (a damaged
// image) cannot make an extraction write without bound.
const int kMaxCopiesOfCluster = 4;

// One extraction: the entries handed to extractEntry one after another share it, so that what
// one of them wrote is never written over by another and the bounds hold for the whole.
struct ExtractJob {
    ClashPolicy policy = kClashRefuse;
    // Asked under kClashAsk with the existing file's host path. Setting *forAll makes Replace or
    // Skip the policy for the rest of the job; Cancel ends the job (200, nothing more written).
    std::function<ClashAnswer(const char* path, bool* forAll)> ask;
    ExtractCount count;
    // A line for each entry that took a distinct name because an earlier entry of the job had
    // its name (duplicate entries of a damaged folder, names the host cannot tell apart).
    std::vector<std::string> renamed;

    // Kept by the extraction: the host paths it made or entered (hostPathKey), the number to try
    // next for each path taken twice, how many files each cluster went into, the folders already
    // extracted by first cluster.
    std::set<std::string> made;
    std::map<std::string, int> nextNumber;
    std::vector<uint8_t> copies;
    std::vector<uint8_t> entered;
    bool cancelled = false;
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
