// read DRIVE IMAGE and write IMAGE DRIVE: the window's two disk commands without the dialog. The
// step text and percentage go to standard error in place of the dialog; Ctrl+C is its Cancel.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "floppy/transfer_sink.h"
#include "floppy/write_floppy.h"
#include "platform/console_break.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// On a terminal each step overwrites the line before; in a log every step gets a line.
void showStep(void* context) {
    VolumeImage* image = static_cast<VolumeImage*>(context);
    char text[kStatusTextSize];
    image->copyStatusText(text);
    bool terminal = stderrIsTerminal();
    if (text[0] == '\0') {
        if (terminal) std::fprintf(stderr, "\n");
        return;
    }
    std::fprintf(stderr, terminal ? "\r%3i%% %-60s" : "%3i%% %s\n",
                 static_cast<int>(image->progressPercent()), text);
    std::fflush(stderr);
}

void transferEnded(void*, int) {}

// The transfer stops at its next check point and releases the drive.
void onBreak(void* image) { static_cast<VolumeImage*>(image)->requestStop(); }

bool isDriveName(const char* text) {
    return std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' && text[2] == '\0';
}

// Runs one transfer with the console standing in for the drive dialog.
int runTransfer(VolumeImage& image, const char* drive, bool toFloppy, FloppyWriteMode mode) {
    TransferSink console = {showStep, transferEnded, &image};
    image.setNotifyTarget(&console, 1);
    setConsoleBreakHandler(onBreak, &image);
    int result = toFloppy ? image.writeToFloppy(drive, mode) : image.readFromFloppy(drive);
    setConsoleBreakHandler(nullptr, nullptr);
    image.setNotifyTarget(nullptr, 0);
    return result;
}

// Floppy drives are reached through Windows' raw volume access only.
bool hostHasFloppyAccess(const char* command) {
#ifdef _WIN32
    (void)command;
    return true;
#else
    std::fprintf(stderr, "tolven-cli: %s needs Windows (raw floppy volumes)\n", command);
    return false;
#endif
}
}  // namespace

int runRead(int argc, char** argv) {
    static const char kUsage[] = "read DRIVE IMAGE [--container K]";
    if (argc != 3 || !isDriveName(argv[1])) return usageError(kUsage);
    if (!hostHasFloppyAccess("read")) return kExitFailure;
    auto image = std::make_unique<VolumeImage>();
    int result = runTransfer(*image, argv[1], false, kFormatThenWrite);
    // A failed or cancelled read writes nothing: the file keeps what it held.
    int status = result == kResultOk ? saveNewImage(*image, argv[2]) : reportFailure(*image, result);
    return status;
}

int runWrite(int argc, char** argv) {
    static const char kUsage[] = "write IMAGE DRIVE [--no-format]";
    bool noFormat = argc == 4 && std::strcmp(argv[3], "--no-format") == 0;
    if ((argc != 3 && !noFormat) || !isDriveName(argv[2])) return usageError(kUsage);
    if (!hostHasFloppyAccess("write")) return kExitFailure;
    auto image = std::make_unique<VolumeImage>();
    if (!loadImage(*image, argv[1])) return kExitFailure;
    FloppyWriteMode mode = noFormat ? kWriteWithoutFormat : kFormatThenWrite;
    int result = runTransfer(*image, argv[2], true, mode);
    int status = result == kResultOk ? kExitOk : reportFailure(*image, result);
    return status;
}
