// The window's side of the core's UTF-8: names, paths and messages come from the core in UTF-8
// and go to the wide (W) calls of Windows in UTF-16, and paths the system gives go back, so that
// a name shows and travels as it is, whatever the ANSI code page.
#ifndef TOLVEN_UI_WIDE_TEXT_H
#define TOLVEN_UI_WIDE_TEXT_H

#include <windows.h>

#include <string>

// UTF-8 as UTF-16; a byte that is not UTF-8 (a message cut inside a character) shows as U+FFFD.
std::wstring wideText(const std::string& utf8);
// UTF-16 (`length` units, or up to the first 0) as UTF-8.
std::string utf8Text(const wchar_t* wide, int length = -1);
// MessageBoxW with a UTF-8 text and caption (a null caption: the system's "Error").
int messageBoxUtf8(HWND owner, const std::string& text, const char* caption, UINT type);
// A window's or control's text, set and read in UTF-8.
void setWindowTextUtf8(HWND window, const std::string& text);
std::string windowTextUtf8(HWND window);

#endif
