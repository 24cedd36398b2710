// Pixel lengths of the window's layout, given for a screen of 96 dots per inch, scaled to the
// screen the program runs on (the program declares itself DPI-aware in its manifest).
#ifndef TOLVEN_UI_SCREEN_SCALE_H
#define TOLVEN_UI_SCREEN_SCALE_H

#include <windows.h>

inline int screenDpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        int found = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen != nullptr) ReleaseDC(nullptr, screen);
        return found > 0 ? found : 96;
    }();
    return dpi;
}

inline int scaleToScreen(int pixels) { return MulDiv(pixels, screenDpi(), 96); }

#endif
