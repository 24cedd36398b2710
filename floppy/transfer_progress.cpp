// TransferProgress: the status text, the two counters and the keep-running flag that a transfer
// on the worker thread shares with the drive dialog, and the conventions every transfer follows.
// The sink is set before the transfer starts and only read while it runs; Cancel writes nothing
// but keepRunning.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "floppy/transfer_sink.h"
#include "image/volume_image.h"

char* VolumeImage::copyStatusText(char* out) {
    std::memcpy(out, statusText, kStatusTextSize);
    out[kStatusTextSize - 1] = '\0';
    return out;
}

void VolumeImage::setNotifyTarget(const TransferSink* sink, uint8_t keepRunningValue) {
    notifySink = sink;
    keepRunning.store(keepRunningValue);
}

// The product is taken in 64 bits so that odd counter values cannot overflow; for every count a
// transfer sets it is the same as the 32-bit one.
int32_t VolumeImage::progressPercent() const {
    if (sectorsTotal == 0) return 0;
    return static_cast<int32_t>(static_cast<int64_t>(sectorsDone) * 100 / sectorsTotal);
}

void VolumeImage::publishStep(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(statusText, sizeof statusText, format, args);
    va_end(args);
    if (n < 0) statusText[0] = '\0';
    if (notifySink != nullptr) notifySink->step(notifySink->context);
}

bool VolumeImage::checkPoint(int& result) {
    if (keepRunning.load() != 0) return false;
    result = kResultCancelled;
    return true;
}

int VolumeImage::finishTransfer(int result) {
    statusText[0] = '\0';
    keepRunning.store(0);
    if (notifySink != nullptr) {
        notifySink->step(notifySink->context);
        notifySink->ended(notifySink->context, result);
    }
    return result;
}

int failUnstartedTransfer(VolumeImage& image) {
    image.queueMessage("Could not start the floppy transfer!");
    return image.finishTransfer(kResultHostIo);
}
