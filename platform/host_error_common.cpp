#include "platform/host_error.h"

#include <mutex>
#include <vector>

// Platform part: the system's last error, and the code a refusal stands for.
int hostLastErrorCode();
int hostRefusalCode(HostRefusal why);

namespace {

struct Note {
    std::string path;
    int code;
};

// A report shows some dozens of messages at most; later failures of a long run go unexplained
// rather than growing the list without bound.
const size_t kMaxNotes = 64;

std::mutex gNotesMutex;
std::vector<Note> gNotes;

void addNote(const char* path, int code) {
    std::lock_guard<std::mutex> guard(gNotesMutex);
    if (gNotes.size() < kMaxNotes) gNotes.push_back({path != nullptr ? path : "", code});
}

}  // namespace

void hostNoteFailure(const char* path) {
    int code = hostLastErrorCode();  // first: the calls below may change it
    addNote(path, code);
}

void hostNoteRefusal(const char* path, HostRefusal why) { addNote(path, hostRefusalCode(why)); }

void hostForgetFailures() {
    std::lock_guard<std::mutex> guard(gNotesMutex);
    gNotes.clear();
}

std::string hostFailureReason(const std::string& message) {
    int code = 0;
    {
        std::lock_guard<std::mutex> guard(gNotesMutex);
        auto note = gNotes.rbegin();
        for (; note != gNotes.rend(); ++note)
            if (!note->path.empty() && message.find('"' + note->path + '"') != std::string::npos)
                break;
        if (note == gNotes.rend()) return std::string();
        code = note->code;
        gNotes.erase(std::next(note).base());
    }
    return hostErrorText(code);
}

std::string hostExplainedPath(const char* path) {
    int code = 0;
    {
        std::lock_guard<std::mutex> guard(gNotesMutex);
        if (gNotes.empty()) return std::string();
        code = gNotes.back().code;
        gNotes.clear();
    }
    return std::string(path) + ": " + hostErrorText(code);
}
