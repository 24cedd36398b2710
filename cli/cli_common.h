// Shared plumbing of tolven-cli's commands: usage errors, failure reports, image load and save.
#ifndef TOLVEN_CLI_CLI_COMMON_H
#define TOLVEN_CLI_CLI_COMMON_H

#include <string>

#include "image/volume_image.h"

// Exit statuses: 0 success, 1 an operation failed, 2 wrong usage.
const int kExitOk = 0;
const int kExitFailure = 1;
const int kExitUsage = 2;

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
// Loads IMAGE; on failure reports it and returns false.
bool loadImage(VolumeImage& image, const char* path);
// Saves the image back (atomically); returns kExitOk or the reported failure.
int saveImage(VolumeImage& image, const char* path);

#endif
