// Shared plumbing of tolven-cli's commands: usage errors, failure reports, image load and save.
#ifndef TOLVEN_CLI_CLI_COMMON_H
#define TOLVEN_CLI_CLI_COMMON_H

#include <string>

#include "image/volume_image.h"

// Exit statuses: 0 success, 1 an operation failed, 2 wrong usage, 3 the image is locked by
// another program, 4 the image was changed by another program since this command loaded it.
const int kExitOk = 0;
const int kExitFailure = 1;
const int kExitUsage = 2;
const int kExitLocked = 3;
const int kExitChanged = 4;

// Prints "usage: tolven-cli USAGE" on standard error; returns kExitUsage.
int usageError(const char* usage);
// True when the first argument after the command is --help or -h; the caller then prints its
// usage on standard output. Later ones are arguments: attrib's "-h" clears the hidden bit.
bool wantsHelp(int argc, char** argv);
int printUsage(const char* usage, const char* summary);
// Prints the image's error report (composeErrorReport: the queued messages with the system's
// reasons, `path` the file the operation worked on, then "error N") on standard error, a line
// each with its control characters escaped; returns kExitFailure.
int reportFailure(VolumeImage& image, int result, const char* path = nullptr);
// Prints the image's queued notes of an operation that succeeded (composeErrorReport without a
// code) on standard error, escaped as reportFailure does.
void printNotes(VolumeImage& image);
// Prints the failure of a path resolve (directory/image_path.h) on standard error ("Path \"%s\"
// not found in image!" and the like) and returns kExitFailure.
int reportImagePathError(const char* path, int result);
// `text` with its control characters (C0, DEL, C1), format characters (bidirectional marks and
// overrides, zero-width ones: Unicode's Cf) and line separators, and every byte of invalid UTF-8,
// written as \xNN escapes, byte by byte: a name from an image or an argument can neither forge
// output lines, reorder what the terminal shows, nor send it a control sequence.
std::string escapeControls(const std::string& text);
// The command's exit status for a failure: kExitLocked or kExitChanged when a report was of that
// kind, else `status`.
int commandExitStatus(int status);
// Set by --in-place: a save whose folder refuses the replacement writes over the image instead.
void allowInPlaceSaves();
// The global options, taken out of the arguments before a command sees them: --member NAME
// chooses the image of a ZIP archive of several, --container KIND the container of a new image.
struct GlobalOptions {
    const char* member = nullptr;
    const char* container = nullptr;
};
GlobalOptions& globalOptions();
// Removes the global options from argv; false (after printing why) on a bad one.
bool takeGlobalOptions(int* argc, char** argv);
// How long a command waits for another holder of an image's lock: TOLVEN_LOCK_WAIT seconds,
// 5 by default.
int lockWaitMs();
// Locks IMAGE for the rest of the command (waiting TOLVEN_LOCK_WAIT seconds, 5 by default, for
// another holder) and loads it (the --member one of an archive); on failure reports it, and the
// member names of an archive of several images, and returns false. A read-only image gets a note
// on stderr.
bool loadImage(VolumeImage& image, const char* path);
// Saves the image to IMAGE in its container under the command's lock (taken now when the command
// loaded nothing), after checking that a loaded image's file is still the one that was read; in
// place with --in-place where the replacement is refused. Returns kExitOk or the reported failure.
int saveImage(VolumeImage& image, const char* path);
// Saves a new image as saveImage does, in the --container kind, else the one its name suggests
// (containerForNewFile).
int saveNewImage(VolumeImage& image, const char* path);

#endif
