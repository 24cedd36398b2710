// Where a floppy transfer reports: each step it publishes, and its end. The drive dialog's sink
// hands them to the dialog window, tolven-cli's prints them, tests record them. The sink is set
// on the image before the transfer starts (setNotifyTarget) and called on the transfer's thread.
#ifndef TOLVEN_FLOPPY_TRANSFER_SINK_H
#define TOLVEN_FLOPPY_TRANSFER_SINK_H

struct TransferSink {
    // A step was published: the image's statusText and counters hold it until this returns
    // (copyStatusText, progressPercent).
    void (*step)(void* context);
    // The closing step has been published; the transfer returns `result` right after.
    void (*ended)(void* context, int result);
    void* context;
};

class VolumeImage;

// Ends a transfer that could not even start (no worker thread, no drive to run it on) through
// the image's sink as a failure with its message: nothing may take the image as read or the disk
// as written. Returns the result.
int failUnstartedTransfer(VolumeImage& image);

#endif
