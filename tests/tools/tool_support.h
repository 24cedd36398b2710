// Running the tools users trust (mkfs.fat, mtools, fsck.fat) and tolven-cli from tests.
#ifndef TOLVEN_TESTS_TOOL_SUPPORT_H
#define TOLVEN_TESTS_TOOL_SUPPORT_H

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <string>

#include "../unit/test_support.h"

namespace tool_support {

struct CommandResult {
    int status;          // exit status, or -1 when the command did not exit normally
    std::string output;  // standard output and standard error together
};

// Runs `command` through the shell with MTOOLS_SKIP_CHECK set (tests build odd images on purpose).
inline CommandResult run(const std::string& command) {
    std::string full = "MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=0 " + command + " 2>&1";
    CommandResult result{-1, ""};
    FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// Single-quoted for the shell.
inline std::string quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

inline std::string cli() { return quote(TOLVEN_CLI_PATH); }

inline std::string mkfsFat() {
    return run("command -v mkfs.fat").status == 0 ? "mkfs.fat" : "/usr/sbin/mkfs.fat";
}
inline std::string fsckFat() {
    return run("command -v fsck.fat").status == 0 ? "fsck.fat" : "/usr/sbin/fsck.fat";
}

// fsck.fat -n: read-only check; true when it found nothing to repair.
inline bool fsckClean(const std::string& image, std::string* report = nullptr) {
    CommandResult r = run(fsckFat() + " -n " + quote(image));
    if (report != nullptr) *report = r.output;
    return r.status == 0;
}

// Every file and folder below `root`: relative path ('/'-separated, UTF-8) -> bytes (folders:
// "<dir>").
inline std::map<std::string, std::vector<uint8_t>> treeOf(const std::filesystem::path& root) {
    std::map<std::string, std::vector<uint8_t>> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(root)) {
        std::string rel = std::filesystem::relative(e.path(), root).generic_u8string();
        if (e.is_directory()) out[rel] = {'<', 'd', 'i', 'r', '>'};
        else out[rel] = testing_support::readFile(e.path().string());
    }
    return out;
}

}  // namespace tool_support

#endif
