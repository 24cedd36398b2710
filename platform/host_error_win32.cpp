#include "platform/host_error.h"

#include <windows.h>

#include <vector>

#include "platform/host_text.h"

int hostLastErrorCode() { return static_cast<int>(GetLastError()); }

// What Windows itself answers when such a file is opened for writing.
int hostRefusalCode(HostRefusal why) {
    switch (why) {
    case kHostRefusedReadOnly: return ERROR_ACCESS_DENIED;
    case kHostRefusedFolder: return ERROR_ACCESS_DENIED;
    case kHostRefusedNotAFile: return ERROR_ACCESS_DENIED;
    case kHostRefusedNoTarget: return ERROR_FILE_NOT_FOUND;
    case kHostRefusedShortWrite: return ERROR_DISK_FULL;
    }
    return ERROR_ACCESS_DENIED;
}

// The wide text, in the user's language, in UTF-8 as the rest of the report.
std::string hostErrorText(int code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out;
    if (length > 0 && text != nullptr) {
        while (length > 0 &&
               (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' '))
            --length;
        std::vector<char> utf8(length * 3 + 1);
        if (hostTextFromUtf16(reinterpret_cast<const uint16_t*>(text), static_cast<int>(length),
                              utf8.data(), utf8.size()) >= 0)
            out = utf8.data();
    }
    if (text != nullptr) LocalFree(text);
    if (out.empty()) out = "System error " + std::to_string(code) + ".";
    return out;
}
