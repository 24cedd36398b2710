// What the window keeps between runs: the recent images and the window's place, under
// HKEY_CURRENT_USER\Software\Tolven. Nothing else of the program writes to the registry.
#ifndef TOLVEN_UI_SETTINGS_STORE_H
#define TOLVEN_UI_SETTINGS_STORE_H

#include <windows.h>

#include <string>
#include <vector>

// The window's rectangle when neither minimized nor maximized (workspace coordinates, as
// GetWindowPlacement gives them), and whether it was maximized.
struct WindowPlace {
    RECT normal;
    bool maximized;
};

class SettingsStore {
public:
    SettingsStore() : key_(L"Software\\Tolven") {}
    // Another key under HKEY_CURRENT_USER (the window tests keep theirs apart from the user's).
    void setKey(const std::wstring& key) { key_ = key; }
    const std::wstring& key() const { return key_; }

    // Most recent first, UTF-8; empty when nothing was stored.
    std::vector<std::string> readRecentFiles() const;
    void writeRecentFiles(const std::vector<std::string>& paths) const;
    // False when no complete place was stored.
    bool readWindowPlace(WindowPlace* place) const;
    void writeWindowPlace(const WindowPlace& place) const;

private:
    std::wstring key_;
};

#endif
