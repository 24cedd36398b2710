// The report of a failed command, composed once for the window's error box and the CLI's
// standard error: the queued messages with the system's reasons, and the result code.
#ifndef TOLVEN_IMAGE_ERROR_REPORT_H
#define TOLVEN_IMAGE_ERROR_REPORT_H

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class MessageList;

// For a report without the code line: the window shows none.
const int kNoErrorCode = INT_MIN;
// How much of the messages themselves (joined by line feeds) a report takes: the window's box
// 3999 characters, the CLI all of them.
const size_t kErrorBoxMessageBytes = 3999;
const size_t kEveryMessage = SIZE_MAX;

// Pops every message of `messages`, oldest first, into the report's lines: each message, followed
// by the system's reason when a host call on a path it names in double quotes failed; then, with
// `path` (the file the command worked on), "PATH: REASON" for a host failure no message named;
// last "error CODE" unless `code` is kNoErrorCode. Messages beyond `messageBytes` are popped but
// left out, whole, so the queue is always empty afterwards. No lines when nothing was queued and
// no code is given. The host's failure notes are forgotten either way.
std::vector<std::string> composeErrorReport(MessageList& messages, const char* path, int code,
                                            size_t messageBytes);

#endif
