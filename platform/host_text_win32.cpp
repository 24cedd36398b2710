#include "platform/host_text.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/host_wide_win32.h"

// Every unit of the longest wide path may take three bytes in UTF-8.
size_t hostPathCapacity() { return kHostLongestWidePath * 3 + 1; }

namespace {

// CreateDirectory refuses plain paths of MAX_PATH - 12 characters and more, the other calls
// those of MAX_PATH.
const DWORD kPlainPathLimit = MAX_PATH - 12;

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

}  // namespace

bool hostWidePath(const char* path, std::wstring* out) {
    std::vector<uint16_t> units(std::strlen(path) + 1);  // never more units than bytes
    int n = utf8ToUtf16(path, units.data(), static_cast<int>(units.size()));
    if (n < 0) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    out->assign(reinterpret_cast<const wchar_t*>(units.data()), static_cast<size_t>(n));
    // An empty path fails in the call itself; a path in the system's own forms goes as it is.
    if (out->empty() || startsWith(*out, L"\\\\?\\") || startsWith(*out, L"\\\\.\\")) return true;
    DWORD need = GetFullPathNameW(out->c_str(), 0, nullptr, nullptr);
    if (need == 0) return false;
    if (need <= kPlainPathLimit) return true;  // `need` counts the terminator
    std::wstring full(need, L'\0');
    DWORD got = GetFullPathNameW(out->c_str(), need, &full[0], nullptr);
    if (got == 0 || got >= need) {
        if (got != 0) SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    full.resize(got);
    if (startsWith(full, L"\\\\")) full = L"\\\\?\\UNC\\" + full.substr(2);
    else full = L"\\\\?\\" + full;
    if (full.size() > kHostLongestWidePath) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    *out = full;
    return true;
}

std::string hostUtf8(const wchar_t* text, int length) {
    size_t units = length >= 0 ? static_cast<size_t>(length) : std::wcslen(text);
    std::vector<char> bytes(units * 3 + 1);
    static_assert(sizeof(wchar_t) == sizeof(uint16_t), "UTF-16 units");
    utf16ToUtf8(reinterpret_cast<const uint16_t*>(text), static_cast<int>(units), bytes.data(),
                bytes.size());
    return std::string(bytes.data());
}

HANDLE hostCreateFile(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    std::wstring wide;
    if (!hostWidePath(path, &wide)) return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

DWORD hostFileAttributes(const char* path) {
    std::wstring wide;
    if (!hostWidePath(path, &wide)) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(wide.c_str());
}

// The base name (up to the first dot, blanks and dots at its end dropped as Windows drops them)
// compared with the reserved device names. "COM" and "LPT" also take the superscript digits 1-3
// (U+00B9, U+00B2, U+00B3, two bytes in UTF-8), which Windows treats as device names too, and the
// console has CONIN$ and CONOUT$.
bool hostNameIsDevice(const char* name) {
    size_t len = std::strcspn(name, ".");
    while (len > 0 && (name[len - 1] == ' ' || name[len - 1] == '.')) --len;
    if (len < 3 || len > 7) return false;
    char base[8];
    for (size_t i = 0; i < len; ++i) {
        char c = name[i];
        base[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    base[len] = '\0';
    if (len == 6 || len == 7)
        return std::strcmp(base, "CONIN$") == 0 || std::strcmp(base, "CONOUT$") == 0;
    static const char* const kThree[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* d : kThree)
        if (std::strcmp(base, d) == 0) return true;
    if (std::strncmp(base, "COM", 3) != 0 && std::strncmp(base, "LPT", 3) != 0) return false;
    const unsigned char* digit = reinterpret_cast<const unsigned char*>(base + 3);
    if (len == 4) return digit[0] >= '1' && digit[0] <= '9';
    return len == 5 && digit[0] == 0xC2 &&
           (digit[1] == 0xB9 || digit[1] == 0xB2 || digit[1] == 0xB3);
}
