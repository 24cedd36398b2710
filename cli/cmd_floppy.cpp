// read DRIVE IMAGE and write IMAGE DRIVE: the window's two disk commands without the dialog. The
// step text and percentage go to standard error in place of the dialog; Ctrl+C is its Cancel.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "cli/cli_common.h"
#include "floppy/transfer_notify.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {
VolumeImage* g_transferImage = nullptr;

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// On a terminal each step overwrites the line before; in a log every step gets a line.
void showStep(void* context, void*, TransferNotice notice) {
    if (notice != kNoticeProgress) return;
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

#ifdef _WIN32
BOOL WINAPI onConsoleBreak(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (g_transferImage != nullptr) g_transferImage->keepRunning.store(0);
    return TRUE;  // the transfer stops at its next check point and releases the drive
}
#endif

bool isDriveName(const char* text) {
    return std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' && text[2] == '\0';
}

// Runs one transfer with the console standing in for the drive dialog.
int runTransfer(VolumeImage& image, const char* drive, bool toFloppy) {
    g_transferImage = &image;
    setTransferNotifyHook(showStep, &image);
    image.setNotifyTarget(nullptr, 1);
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleBreak, TRUE);
#endif
    int result = toFloppy ? image.writeToFloppy(drive) : image.readFromFloppy(drive);
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleBreak, FALSE);
#endif
    setTransferNotifyHook(nullptr, nullptr);
    g_transferImage = nullptr;
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
    static const char kUsage[] = "read DRIVE IMAGE";
    if (argc != 3 || !isDriveName(argv[1])) return usageError(kUsage);
    if (!hostHasFloppyAccess("read")) return kExitFailure;
    VolumeImage* image = new VolumeImage;
    int result = runTransfer(*image, argv[1], false);
    // A failed or cancelled read writes nothing: the file keeps what it held.
    int status = result == kResultOk ? saveImage(*image, argv[2]) : reportFailure(*image, result);
    delete image;
    return status;
}

int runWrite(int argc, char** argv) {
    static const char kUsage[] = "write IMAGE DRIVE";
    if (argc != 3 || !isDriveName(argv[2])) return usageError(kUsage);
    if (!hostHasFloppyAccess("write")) return kExitFailure;
    VolumeImage* image = new VolumeImage;
    if (!loadImage(*image, argv[1])) {
        delete image;
        return kExitFailure;
    }
    int result = runTransfer(*image, argv[2], true);
    int status = result == kResultOk ? kExitOk : reportFailure(*image, result);
    delete image;
    return status;
}
