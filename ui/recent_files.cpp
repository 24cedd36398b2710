#include "ui/recent_files.h"

namespace {

char foldedChar(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c == '/' ? '\\' : c;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Characters of UTF-8 text: every byte but a continuation byte starts one.
size_t charCount(const std::string& text) {
    size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

// The part of a path that names its root and is never shortened: "C:\", "\\server\share\" or a
// leading slash; empty for a relative path.
size_t rootLength(const std::string& path) {
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        size_t at = 2;
        for (int part = 0; part < 2 && at < path.size(); ++part) {
            while (at < path.size() && !isSeparator(path[at])) ++at;
            if (at < path.size()) ++at;
        }
        return at;
    }
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && isSeparator(path[2]) ? 3 : 2;
    return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}

std::string shortenedPath(const std::string& path, size_t maxChars) {
    if (charCount(path) <= maxChars) return path;
    size_t root = rootLength(path);
    size_t nameStart = path.find_last_of("\\/");
    if (nameStart == std::string::npos || nameStart < root) return path;  // nothing to leave out
    // The file name always stays; the folders nearest to it follow while they fit.
    const char separator = path[nameStart];
    std::string head = path.substr(0, root) + "...";
    size_t tailStart = nameStart;
    while (tailStart > root) {
        size_t previous = path.find_last_of("\\/", tailStart - 1);
        size_t start = previous == std::string::npos || previous < root ? root : previous;
        if (start <= root) break;  // the whole path would be left: it did not fit
        if (charCount(head) + charCount(path.substr(start)) > maxChars) break;
        tailStart = start;
    }
    std::string tail = path.substr(tailStart);
    if (!isSeparator(tail[0])) tail = separator + tail;
    return head + tail;
}

}  // namespace

bool sameFilePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldedChar(a[i]) != foldedChar(b[i])) return false;
    return true;
}

void RecentFiles::add(const std::string& path) {
    if (path.empty()) return;
    remove(path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kMaxFiles) paths_.resize(kMaxFiles);
}

bool RecentFiles::remove(const std::string& path) {
    for (auto it = paths_.begin(); it != paths_.end(); ++it) {
        if (!sameFilePath(*it, path)) continue;
        paths_.erase(it);
        return true;
    }
    return false;
}

void RecentFiles::assign(const std::vector<std::string>& paths) {
    paths_.clear();
    // Oldest first through add, so that a repeat keeps its most recent place.
    for (auto it = paths.rbegin(); it != paths.rend(); ++it) add(*it);
}

std::string recentMenuText(size_t index, const std::string& path, size_t maxChars) {
    std::string text = "&" + std::to_string(index + 1) + " ";
    for (char c : shortenedPath(path, maxChars)) {
        if (c == '&') text += '&';
        text += c;
    }
    return text;
}
