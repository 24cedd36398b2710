// The File menu's list of recently used images: most recent first, each image once whatever the
// case of its path, at most eight, and the menu texts that show them. Plain C++ without the
// window, so that the rules are checked natively.
#ifndef TOLVEN_UI_RECENT_FILES_H
#define TOLVEN_UI_RECENT_FILES_H

#include <cstddef>
#include <string>
#include <vector>

class RecentFiles {
public:
    static const size_t kMaxFiles = 8;

    // `path` (UTF-8, full) goes to the top; an entry naming the same file leaves its old place,
    // and the oldest falls off beyond kMaxFiles.
    void add(const std::string& path);
    // False when no entry names that file.
    bool remove(const std::string& path);
    // Replaces the list with stored paths, most recent first: empty ones and repeats are left
    // out, and the list is cut to kMaxFiles.
    void assign(const std::vector<std::string>& paths);
    const std::vector<std::string>& paths() const { return paths_; }

private:
    std::vector<std::string> paths_;
};

// True when both paths name the same file as Windows compares them: ASCII letters in either case
// and either slash.
bool sameFilePath(const std::string& a, const std::string& b);

// The menu item text of entry `index` (0 for the most recent): "&1 " and the path, shortened to
// about `maxChars` characters by putting "..." for folders in the middle (the drive or share and
// the file name stay), with every '&' doubled so that it shows as itself.
std::string recentMenuText(size_t index, const std::string& path, size_t maxChars = 48);

#endif
