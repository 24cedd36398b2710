// The text of the error box: every queued message, oldest first, joined by single line feeds.
#ifndef TOLVEN_IMAGE_ERROR_REPORT_H
#define TOLVEN_IMAGE_ERROR_REPORT_H

#include <cstddef>

class MessageList;

// Room of the report: 3999 characters and the terminator.
const size_t kErrorReportCapacity = 4000;

// Pops every message of `messages` into `report` (at least kErrorReportCapacity bytes).
// Returns false, with `report` empty, when nothing was queued. Messages that no longer fit are
// still popped but left out, so the queue is always empty afterwards and nothing is written past
// the report.
bool buildErrorReport(MessageList& messages, char* report);

#endif
