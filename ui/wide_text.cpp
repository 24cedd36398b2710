#include "ui/wide_text.h"

#include <cwchar>

#include "platform/host_text.h"

// Windows' own conversion rather than the core's, which refuses a text that is not UTF-8: a
// message may be cut inside a character and must still show.
std::wstring wideText(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int length = static_cast<int>(utf8.size());
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring out(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &out[0], units);
    return out;
}

// The core's conversion, as for every name and path; a unit takes at most three bytes.
std::string utf8Text(const wchar_t* wide, int length) {
    int units = length >= 0 ? length : static_cast<int>(std::wcslen(wide));
    if (units <= 0) return std::string();
    std::string out(static_cast<size_t>(units) * 3 + 1, '\0');
    int bytes = utf16ToUtf8(reinterpret_cast<const uint16_t*>(wide), units, &out[0], out.size());
    out.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    return out;
}

int messageBoxUtf8(HWND owner, const std::string& text, const char* caption, UINT type) {
    std::wstring wideCaption = caption != nullptr ? wideText(caption) : std::wstring();
    return MessageBoxW(owner, wideText(text).c_str(),
                       caption != nullptr ? wideCaption.c_str() : nullptr, type);
}

void setWindowTextUtf8(HWND window, const std::string& text) {
    SetWindowTextW(window, wideText(text).c_str());
}

std::string windowTextUtf8(HWND window) {
    int units = GetWindowTextLengthW(window);
    if (units <= 0) return std::string();
    std::wstring text(static_cast<size_t>(units) + 1, L'\0');
    int copied = GetWindowTextW(window, &text[0], units + 1);
    return utf8Text(text.c_str(), copied > 0 ? copied : 0);
}
