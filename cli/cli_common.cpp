#include "cli/cli_common.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "directory/image_path.h"
#include "image/error_report.h"
#include "platform/host_lock.h"

namespace {
// The image's lock, held from the load (or the save of a new image) to the end of the process.
HostLock g_imageLock;
bool g_inPlace = false;
int g_exitStatus = kExitFailure;

int lockWaitMs() {
    const char* text = std::getenv("TOLVEN_LOCK_WAIT");
    if (text == nullptr || *text == '\0') return 5000;
    long seconds = std::strtol(text, nullptr, 10);
    return seconds <= 0 ? 0 : seconds > 3600 ? 3600000 : static_cast<int>(seconds * 1000);
}

// The image's lock for this command; 0 or 700.
int lockForCommand(VolumeImage& image, const char* path) {
    if (g_imageLock.held()) return kResultOk;
    return image.lockImageFile(g_imageLock, path, lockWaitMs());
}
}  // namespace

int commandExitStatus(int status) { return status == kExitFailure ? g_exitStatus : status; }

void allowInPlaceSaves() { g_inPlace = true; }

int usageError(const char* usage) {
    std::fprintf(stderr, "usage: tolven-cli %s\n", usage);
    return kExitUsage;
}

bool wantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

int printUsage(const char* usage, const char* summary) {
    std::printf("usage: tolven-cli %s\n%s\n", usage, summary);
    return kExitOk;
}

// The length of the control character at text[i] (0: none): one byte, or two for a C1 control.
static int controlLength(const std::string& text, size_t i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c < 0x20 || c == 0x7F) return 1;
    return c == 0xC2 && next >= 0x80 && next <= 0x9F ? 2 : 0;
}

std::string escapeControls(const std::string& text) {
    std::string out;
    size_t copied = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        int n = controlLength(text, i);
        if (n == 0) continue;
        out.append(text, copied, i - copied);
        for (int k = 0; k < n; ++k) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x",
                          static_cast<unsigned char>(text[i + k]));
            out += escape;
        }
        i += n - 1;
        copied = i + 1;
    }
    if (copied == 0) return text;
    return out.append(text, copied, std::string::npos);
}

int reportFailure(VolumeImage& image, int result, const char* path) {
    for (const std::string& line : composeErrorReport(image, path, result, kEveryMessage))
        std::fprintf(stderr, "%s\n", escapeControls(line).c_str());
    if (result == kResultReplaceRefused)
        std::fprintf(stderr,
                     "The image's folder lets no new file take its place; --in-place "
                     "writes over the image itself, which a failure half-way damages.\n");
    if (result == kResultImageLocked) g_exitStatus = kExitLocked;
    if (result == kResultChangedOnDisk) g_exitStatus = kExitChanged;
    return kExitFailure;
}

int reportImagePathError(const char* path, int result) {
    std::string shown = escapeControls(path);
    if (result == kImagePathNotFolder)
        std::fprintf(stderr, "Path \"%s\" goes through a file!\n", shown.c_str());
    else if (result == kImagePathBadName)
        std::fprintf(stderr, "Invalid name in path \"%s\"!\n", shown.c_str());
    else std::fprintf(stderr, "Path \"%s\" not found in image!\n", shown.c_str());
    return kExitFailure;
}

bool loadImage(VolumeImage& image, const char* path) {
    int result = lockForCommand(image, path);
    if (result == kResultOk) result = image.loadImageFile(path);
    if (result == kResultOk) return true;
    reportFailure(image, result, path);
    return false;
}

int saveImageResult(VolumeImage& image, const char* path) {
    int result = lockForCommand(image, path);
    if (result == kResultOk) result = image.checkImageFileUnchanged(path);
    if (result == kResultOk) result = image.saveImageFile(path);
    if (result == kResultReplaceRefused && g_inPlace) {
        // The refusal's reason is said once, then the save made in place.
        for (const std::string& line : composeErrorReport(image, path, kNoErrorCode, kEveryMessage))
            std::fprintf(stderr, "%s\n", escapeControls(line).c_str());
        result = image.saveImageFile(path, kSaveInPlace);
        if (result == kResultOk) std::fprintf(stderr, "The image was written in place.\n");
    }
    return result;
}

int saveImage(VolumeImage& image, const char* path) {
    int result = saveImageResult(image, path);
    return result == kResultOk ? kExitOk : reportFailure(image, result, path);
}
