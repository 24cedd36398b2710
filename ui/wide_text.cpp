#include "ui/wide_text.h"

#include <cwchar>

std::wstring wideText(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int length = static_cast<int>(utf8.size());
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring out(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &out[0], units);
    return out;
}

std::string utf8Text(const wchar_t* wide, int length) {
    int units = length >= 0 ? length : static_cast<int>(std::wcslen(wide));
    if (units == 0) return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, wide, units, &out[0], bytes, nullptr, nullptr);
    return out;
}

int messageBoxUtf8(HWND owner, const std::string& text, const char* caption, UINT type) {
    std::wstring wideCaption = caption != nullptr ? wideText(caption) : std::wstring();
    return MessageBoxW(owner, wideText(text).c_str(),
                       caption != nullptr ? wideCaption.c_str() : nullptr, type);
}
