#include "cli/cli_common.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "directory/image_path.h"
#include "image/error_report.h"

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

bool loadImage(VolumeImage& image, const char* path) {
    int result = image.loadImageFile(path);
    if (result == kResultOk) return true;
    reportFailure(image, result, path);
    return false;
}

int saveImage(VolumeImage& image, const char* path) {
    int result = image.saveImageFile(path);
    return result == kResultOk ? kExitOk : reportFailure(image, result, path);
}
