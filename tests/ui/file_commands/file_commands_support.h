// Helpers of the file command tests: sending commands, answering message boxes and the
// platform's file choosers by caption, files in the output folder, and reading a dialog's pixels.
#ifndef TOLVEN_TESTS_UI_FILE_COMMANDS_FILE_COMMANDS_SUPPORT_H
#define TOLVEN_TESTS_UI_FILE_COMMANDS_FILE_COMMANDS_SUPPORT_H

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "image/boot_sector.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_driver.h"

namespace file_commands {

// The file name field of the platform's file chooser: a combo box in explorer-style choosers,
// an edit in older ones.
inline HWND fileNameControl(HWND chooser) {
    HWND field = GetDlgItem(chooser, 0x47C);                   // cmb13
    if (field == nullptr) field = GetDlgItem(chooser, 0x480);  // edt1
    return field;
}

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        lines.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return lines;
        start = end + 1;
    }
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD got = 0;
    if (size > 0) ReadFile(file, bytes.data(), size, &got, nullptr);
    bytes.resize(got);
    CloseHandle(file);
    return bytes;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline long fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long>(data.nFileSizeLow);
}

// The start cluster of the first sub-folder in the root of the shown image, 0 when none.
inline int32_t firstSubfolderCluster(const ImageEditor& editor) {
    for (int i = 0; i < kMaxRootEntries; ++i) {
        const uint8_t* entry = editor.rootDir + 32 * i;
        if (entry[0] == 0) break;
        if (entry[0] == 0xE5 || entry[11] == 0x0F || (entry[11] & 0x10) == 0) continue;
        return readLe16(entry + 26);
    }
    return 0;
}

// The client area of a window as 0xRRGGBB pixels, read back from the screen.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
        return pixels[static_cast<size_t>(y) * width + x];
    }
};

inline Capture captureClient(HWND window) {
    Capture capture;
    RECT client;
    GetClientRect(window, &client);
    capture.width = client.right;
    capture.height = client.bottom;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, capture.width, capture.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    capture.pixels.resize(static_cast<size_t>(capture.width) * capture.height);
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < capture.pixels.size(); ++i) capture.pixels[i] = source[i] & 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return capture;
}

}  // namespace file_commands

// A fresh main window per test, with the ways a user answers the boxes it shows.
class FileCommandTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.start()) << "the main window never appeared"; }

    // As the menu sends it.
    void command(int id) { PostMessageA(session.window(), WM_COMMAND, id, 0); }
    // For commands that open no window: returns once the command has run.
    void commandAndWait(int id) { SendMessageA(session.window(), WM_COMMAND, id, 0); }

    HWND waitForDialog(const char* caption, int timeoutMs = ui_driver::kWaitMs) {
        return ui_driver::waitForWindow(session.threadId(), ui_driver::kDialogClass, caption,
                                        timeoutMs);
    }

    // Waits for the message box with this caption, presses `button`, waits until it is gone and
    // returns its text ("" when no box came).
    std::string answerBox(const char* caption, int button) {
        HWND box = waitForDialog(caption);
        EXPECT_NE(nullptr, box) << "no box \"" << caption << "\"";
        if (box == nullptr) return std::string();
        std::string text = ui_driver::messageBoxText(box);
        ui_driver::pressButton(box, button);
        EXPECT_TRUE(ui_driver::waitUntil([&] { return !IsWindow(box); }));
        return text;
    }

    // A message box with the error icon and no caption of its own, as the error report shows.
    HWND waitForMessageBoxWithIcon() {
        HWND found = nullptr;
        ui_driver::waitUntil([&] {
            found = ui_driver::findWindow(session.threadId(), ui_driver::kDialogClass, nullptr);
            return found != nullptr && GetDlgItem(found, 0xFFFF) != nullptr;
        });
        return found;
    }

    std::string fileNameText(HWND chooser) {
        return ui_driver::windowText(file_commands::fileNameControl(chooser));
    }

    // Types a full path into a file chooser and presses its OK button.
    void chooseFile(HWND chooser, const std::string& path) {
        HWND field = file_commands::fileNameControl(chooser);
        ASSERT_NE(nullptr, field) << "no file name field";
        ui_driver::setText(field, path.c_str());
        ui_driver::pressButton(chooser, IDOK);
        EXPECT_TRUE(ui_driver::waitUntil([&] { return !IsWindow(chooser); }));
    }

    void cancelChooser(const char* caption) {
        HWND chooser = waitForDialog(caption);
        ASSERT_NE(nullptr, chooser) << "no chooser \"" << caption << "\"";
        ui_driver::pressButton(chooser, IDCANCEL);
        EXPECT_TRUE(ui_driver::waitUntil([&] { return !IsWindow(chooser); }));
    }

    bool waitForCaption(const std::string& expected) {
        bool seen = ui_driver::waitUntil([&] { return caption() == expected; });
        EXPECT_TRUE(seen) << "caption is \"" << caption() << "\", not \"" << expected << "\"";
        return seen;
    }

    // Lets posted messages and what they start run, until the window's thread is idle.
    void settle() { session.settle(); }

    // Moves the keyboard focus as Tab would, without waiting for what the move starts.
    void moveFocusTo(int controlId) {
        PostMessageA(session.window(), WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(session.control(controlId)), TRUE);
    }

    void clickToolbarButton(int commandId) {
        ASSERT_TRUE(ui_driver::clickToolbarButton(session.editor().toolbar, commandId));
    }

    // A path in the test output folder, removed first so the chooser never asks to overwrite.
    std::string outputPath(const char* name) {
        std::string path = ui_driver::testImagePath(name);
        DeleteFileA(path.c_str());
        return path;
    }

    // An edit as a command makes one, through the journal: the OEM name's first letter.
    void editImage(char letter = 'E') {
        session.onUiThread([&] {
            session.editor().bootSector[bs::kOemId] = static_cast<uint8_t>(letter);
            session.editor().recordEdit();
        });
    }

    std::string caption() { return ui_driver::windowText(session.window()); }
    std::string status() { return ui_driver::windowText(session.control(IDC_STATUS_LINE)); }
    std::vector<std::string> names() {
        return ui_driver::listNames(session.control(IDC_FILE_LIST));
    }

    UiSession session;
};

using file_commands::Capture;
using file_commands::captureClient;
using file_commands::fileSize;
using file_commands::firstSubfolderCluster;
using file_commands::readFile;
using file_commands::splitLines;
using file_commands::writeFile;

#endif
