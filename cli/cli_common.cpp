#include "cli/cli_common.h"

#include <cstdint>
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
    return argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
}

int printUsage(const char* usage, const char* summary) {
    std::printf("usage: tolven-cli %s\n%s\n", usage, summary);
    return kExitOk;
}

namespace {

// Format characters (Unicode class Cf) and the line and paragraph separators: they reorder or
// hide what a terminal shows (U+202E turns "gpj.exe" round) or break a line.
bool isFormatCharacter(uint32_t c) {
    static const uint32_t kRanges[][2] = {
        {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
        {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
        {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
        {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
        {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
        {0xE0020, 0xE007F}};
    for (const auto& r : kRanges)
        if (c >= r[0] && c <= r[1]) return true;
    return false;
}

// The UTF-8 sequence at text[i]: its length, and whether it is shown escaped (a control or format
// character). A byte that begins no valid sequence (overlong, a surrogate, cut short) is one
// escaped byte, so invalid text from the command line reaches the terminal as escapes only.
int sequenceAt(const std::string& text, size_t i, bool* escape) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    *escape = true;
    if (c < 0x80) {
        *escape = c < 0x20 || c == 0x7F;
        return 1;
    }
    int length = c >= 0xC2 && c <= 0xDF   ? 2
                 : c >= 0xE0 && c <= 0xEF ? 3
                 : c >= 0xF0 && c <= 0xF4 ? 4
                                          : 0;
    if (length == 0 || i + static_cast<size_t>(length) > text.size()) return 1;
    uint32_t code = c & (0x7Fu >> length);
    for (int k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
        if ((next & 0xC0) != 0x80) return 1;
        code = code << 6 | (next & 0x3Fu);
    }
    static const uint32_t kLowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLowest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 1;
    *escape = code <= 0x9F || isFormatCharacter(code);
    return length;
}

}  // namespace

std::string escapeControls(const std::string& text) {
    std::string out;
    size_t copied = 0;
    for (size_t i = 0; i < text.size();) {
        bool escape = false;
        size_t n = static_cast<size_t>(sequenceAt(text, i, &escape));
        if (escape) {
            out.append(text, copied, i - copied);
            for (size_t k = 0; k < n; ++k) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02x",
                              static_cast<unsigned char>(text[i + k]));
                out += escaped;
            }
            copied = i + n;
        }
        i += n;
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

void printNotes(VolumeImage& image) {
    for (const std::string& line : composeErrorReport(image, nullptr, kNoErrorCode, kEveryMessage))
        std::fprintf(stderr, "%s\n", escapeControls(line).c_str());
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

GlobalOptions& globalOptions() {
    static GlobalOptions options;
    return options;
}

bool takeGlobalOptions(int* argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        bool member = std::strcmp(argv[i], "--member") == 0;
        if (!member && std::strcmp(argv[i], "--container") != 0) {
            argv[kept++] = argv[i];
            continue;
        }
        if (i + 1 == *argc) {
            std::fprintf(stderr, "tolven-cli: %s needs a value\n", argv[i]);
            return false;
        }
        ContainerKind kind;
        if (!member && !parseContainerName(argv[i + 1], &kind)) {
            std::fprintf(stderr, "tolven-cli: unknown container '%s' (raw, imz, gz or imd)\n",
                         argv[i + 1]);
            return false;
        }
        (member ? globalOptions().member : globalOptions().container) = argv[++i];
    }
    *argc = kept;
    argv[kept] = nullptr;
    return true;
}

bool loadImage(VolumeImage& image, const char* path) {
    int result = lockForCommand(image, path);
    if (result == kResultOk) result = image.loadImageFile(path, globalOptions().member);
    if (result == kResultOk) {
        if (image.container.readOnly)
            std::fprintf(stderr, "%s\n", escapeControls(image.container.readOnlyReason).c_str());
        return true;
    }
    reportFailure(image, result, path);
    if (result == kResultChooseMember) {
        std::fprintf(stderr, "Choose one with --member NAME:\n");
        for (const std::string& name : image.members)
            std::fprintf(stderr, "  %s\n", escapeControls(name).c_str());
    }
    return false;
}

static int saveImageResult(VolumeImage& image, const char* path, ContainerKind kind) {
    int result = lockForCommand(image, path);
    if (result == kResultOk) result = image.checkImageFileUnchanged(path);
    image.stampSavedFile = false;  // every command saves its image once, last
    if (result == kResultOk) result = image.saveImageFile(path, kind);
    if (result == kResultReplaceRefused && g_inPlace) {
        // The refusal's reason is said once, then the save made in place.
        for (const std::string& line : composeErrorReport(image, path, kNoErrorCode, kEveryMessage))
            std::fprintf(stderr, "%s\n", escapeControls(line).c_str());
        result = image.saveImageFile(path, kind, kSaveInPlace);
        if (result == kResultOk) std::fprintf(stderr, "The image was written in place.\n");
    }
    return result;
}

int saveNewImage(VolumeImage& image, const char* path) {
    ContainerKind kind = containerForNewFile(path);
    if (globalOptions().container != nullptr) parseContainerName(globalOptions().container, &kind);
    int result = saveImageResult(image, path, kind);
    return result == kResultOk ? kExitOk : reportFailure(image, result, path);
}

int saveImage(VolumeImage& image, const char* path) {
    int result = saveImageResult(image, path, image.container.kind);
    return result == kResultOk ? kExitOk : reportFailure(image, result, path);
}
