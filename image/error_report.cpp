#include "image/error_report.h"

#include <cstring>

#include "image/message_list.h"
#include "image/volume_image.h"
#include "platform/host_error.h"

std::vector<std::string> composeErrorReport(MessageList& messages, const char* path, int code,
                                            size_t messageBytes) {
    std::vector<std::string> lines;
    // A message can be as long as the image's format buffer; one byte more keeps it terminated
    // even if a caller queued an unterminated block.
    char message[kMessageTextSize + 1];
    size_t used = 0;
    bool any = false, full = false;
    for (;;) {
        std::memset(message, 0, sizeof message);
        if (!messages.popFront(message, kMessageTextSize)) break;
        size_t need = (any ? 1 : 0) + std::strlen(message);
        any = true;
        // Once full, later messages are dropped, not split.
        full = full || need > messageBytes - used;
        if (full) continue;
        used += need;
        lines.push_back(message);
        std::string reason = hostFailureReason(message);
        if (!reason.empty()) lines.push_back(reason);
    }
    if (any || code != kNoErrorCode) {
        std::string last = path != nullptr ? hostExplainedPath(path) : std::string();
        if (!last.empty()) lines.push_back(last);
        if (code != kNoErrorCode) lines.push_back("error " + std::to_string(code));
    }
    hostForgetFailures();
    return lines;
}
