// The question a single dropped file that looks like a disk image asks: open it as the image, or
// insert it into the shown folder as a file.
#ifndef TOLVEN_UI_DROPPED_IMAGE_DIALOG_H
#define TOLVEN_UI_DROPPED_IMAGE_DIALOG_H

#include <windows.h>

enum DroppedImageAnswer { kDroppedOpen, kDroppedInsert, kDroppedCancel };

// `path` is UTF-8. Escape and closing the box cancel.
DroppedImageAnswer askDroppedImage(HINSTANCE instance, HWND owner, const char* path);

#endif
