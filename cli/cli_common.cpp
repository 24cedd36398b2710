#include "cli/cli_common.h"

#include <cstdio>
#include <cstring>

#include "directory/image_path.h"
#include "image/error_report.h"

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
    int result = image.loadImageFile(path, globalOptions().member);
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

int saveNewImage(VolumeImage& image, const char* path) {
    ContainerKind kind = containerForNewFile(path);
    if (globalOptions().container != nullptr) parseContainerName(globalOptions().container, &kind);
    int result = image.saveImageFile(path, kind);
    return result == kResultOk ? kExitOk : reportFailure(image, result, path);
}

int saveImage(VolumeImage& image, const char* path) {
    int result = image.saveImageFile(path);
    return result == kResultOk ? kExitOk : reportFailure(image, result, path);
}
