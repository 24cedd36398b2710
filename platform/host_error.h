// Why a host call failed. The file seams (host_file, host_folder) note each failure with the path
// they were given and the system's error code, so that a report can add the system's own reason
// ("Access is denied.", "The disk is full.") to a message that only says what failed. The notes
// belong to the process; a command forgets them before it starts.
#ifndef TOLVEN_PLATFORM_HOST_ERROR_H
#define TOLVEN_PLATFORM_HOST_ERROR_H

#include <string>

// Refusals of the seams themselves, noted as the system error the system would have given.
enum HostRefusal {
    kHostRefusedReadOnly,    // a read-only target
    kHostRefusedFolder,      // a folder where a file was wanted
    kHostRefusedNotAFile,    // a device, FIFO, link or file with other names where a plain file was
                             // wanted
    kHostRefusedNoTarget,    // a symbolic link that leads nowhere
    kHostRefusedShortWrite,  // fewer bytes written than asked, without an error: the disk is full
};

// Notes the system's last error (GetLastError, errno) for `path`. Called right after the failed
// call, before anything else can change that error.
void hostNoteFailure(const char* path);
void hostNoteRefusal(const char* path, HostRefusal why);
void hostForgetFailures();

// The system's reason for the failure noted for a path that `message` names in double quotes
// ("Could not read file \"%s\"!"), the newest such note; empty when there is none. The note is
// used up.
std::string hostFailureReason(const std::string& message);
// "PATH: REASON" for the newest note left, with the path the caller worked on (the image file
// rather than the partial file saving went through); empty when nothing is noted. Forgets every
// note.
std::string hostExplainedPath(const char* path);

// The system's text for an error code, without a line end: FormatMessage on Windows ("Access is
// denied."), strerror elsewhere ("Permission denied").
std::string hostErrorText(int code);

#endif
