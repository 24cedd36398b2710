#include "ui/settings_store.h"

#include <string>

#include "ui/recent_files.h"
#include "ui/wide_text.h"

namespace {

const wchar_t* const kPlaceValues[] = {L"WindowLeft", L"WindowTop", L"WindowRight", L"WindowBottom",
                                       L"WindowMaximized"};

std::wstring recentValueName(size_t index) { return L"Recent" + std::to_wstring(index + 1); }

// The key, opened for reading or (created when missing) for writing; null when it cannot be.
HKEY openKey(const std::wstring& key, bool forWriting) {
    HKEY opened = nullptr;
    LONG status = forWriting
                      ? RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &opened, nullptr)
                      : RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &opened);
    return status == ERROR_SUCCESS ? opened : nullptr;
}

bool readText(HKEY key, const wchar_t* name, std::wstring* text) {
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &bytes) !=
        ERROR_SUCCESS)
        return false;
    // The stored text need not end in a terminator.
    buffer.resize(bytes / sizeof(wchar_t));
    while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
    *text = buffer;
    return true;
}

bool readNumber(HKEY key, const wchar_t* name, LONG* number) {
    DWORD type = 0, value = 0, bytes = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    *number = static_cast<LONG>(value);
    return true;
}

void writeNumber(HKEY key, const wchar_t* name, LONG number) {
    DWORD value = static_cast<DWORD>(number);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

std::vector<std::string> SettingsStore::readRecentFiles() const {
    std::vector<std::string> paths;
    HKEY key = openKey(key_, false);
    if (key == nullptr) return paths;
    for (size_t i = 0; i < RecentFiles::kMaxFiles; ++i) {
        std::wstring path;
        if (readText(key, recentValueName(i).c_str(), &path) && !path.empty())
            paths.push_back(utf8Text(path.c_str()));
    }
    RegCloseKey(key);
    return paths;
}

void SettingsStore::writeRecentFiles(const std::vector<std::string>& paths) const {
    HKEY key = openKey(key_, true);
    if (key == nullptr) return;  // not kept: the list still works for this run
    for (size_t i = 0; i < RecentFiles::kMaxFiles; ++i) {
        std::wstring name = recentValueName(i);
        if (i >= paths.size()) {
            RegDeleteValueW(key, name.c_str());
            continue;
        }
        std::wstring path = wideText(paths[i]);
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
}

bool SettingsStore::readWindowPlace(WindowPlace* place) const {
    HKEY key = openKey(key_, false);
    if (key == nullptr) return false;
    LONG numbers[5] = {0, 0, 0, 0, 0};
    bool complete = true;
    for (int i = 0; i < 5; ++i)
        complete = complete && readNumber(key, kPlaceValues[i], &numbers[i]);
    RegCloseKey(key);
    if (!complete || numbers[2] <= numbers[0] || numbers[3] <= numbers[1]) return false;
    place->normal = {numbers[0], numbers[1], numbers[2], numbers[3]};
    place->maximized = numbers[4] != 0;
    return true;
}

void SettingsStore::writeWindowPlace(const WindowPlace& place) const {
    HKEY key = openKey(key_, true);
    if (key == nullptr) return;
    const LONG numbers[5] = {place.normal.left, place.normal.top, place.normal.right,
                             place.normal.bottom, place.maximized ? 1 : 0};
    for (int i = 0; i < 5; ++i) writeNumber(key, kPlaceValues[i], numbers[i]);
    RegCloseKey(key);
}
