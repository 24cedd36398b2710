#include "image/error_report.h"

#include <cstring>

#include "image/message_list.h"
#include "image/volume_image.h"

bool buildErrorReport(MessageList& messages, char* report) {
    std::memset(report, 0, kErrorReportCapacity);
    // A message can be as long as the image's format buffer; one byte more keeps it terminated
    // even if a caller queued an unterminated block.
    char message[kMessageTextSize + 1];
    size_t used = 0;
    bool any = false;
    for (;;) {
        std::memset(message, 0, sizeof message);
        if (!messages.popFront(message, kMessageTextSize)) break;
        size_t len = std::strlen(message);
        size_t need = (any ? 1 : 0) + len;
        if (used + need <= kErrorReportCapacity - 1) {
            if (any) report[used++] = '\n';
            std::memcpy(report + used, message, len);
            used += len;
        } else {
            used = kErrorReportCapacity - 1;  // full: later messages are dropped, not split
        }
        any = true;
    }
    return any;
}
