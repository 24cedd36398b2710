// The file commands through the real window and the platform's own open, save and message boxes,
// answered as a user would: Open, Save, Save As, the unsaved-changes prompt, About and the label
// check. The images saved here are checked with fsck.fat afterwards
// (tests/ui/check_saved_images.sh).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/file_commands/file_commands_support.h"

using namespace ui_driver;

namespace {

const char kChangedUntitled[] = "Image \"untitled.img\" has been changed! Do you want to save?";

class FileCommands : public FileCommandTest {};

TEST_F(FileCommands, OpenOfUnchangedImageAsksNothingAndShowsTheRoot) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    session.onUiThread([&] {
        ImageEditor& e = session.editor();
        e.currentDirCluster = firstSubfolderCluster(e);
        e.refreshDirectory();
    });
    ASSERT_NE(0, session.editor().currentDirCluster);
    std::vector<std::string> inFolder = names();

    command(ID_FILE_OPEN);
    HWND chooser = waitForDialog("Open disk image");
    ASSERT_NE(nullptr, chooser);
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Warning"));
    // A Greek file name: typed, chosen, opened and shown as it is.
    const char* greek = u8"\u0394\u03af\u03c3\u03ba\u03bf\u03c2 360.img";
    chooseFile(chooser, testImagePath(greek));
    ASSERT_TRUE(waitForCaption(std::string("Tolven - [") + greek + "]"));
    session.onUiThread([] {});
    EXPECT_EQ(0, session.editor().currentDirCluster);
    EXPECT_EQ(1, session.editor().hasPath);
    EXPECT_FALSE(session.editor().hasUnsavedEdits());
    EXPECT_EQ(testImagePath(greek), std::string(session.editor().imagePath));
    EXPECT_EQ(720, session.editor().totalSectors());

    // Back to the first image: its root is shown, not the folder shown before.
    command(ID_FILE_OPEN);
    chooser = waitForDialog("Open disk image");
    ASSERT_NE(nullptr, chooser);
    chooseFile(chooser, testImagePath("populated.img"));
    ASSERT_TRUE(waitForCaption("Tolven - [populated.img]"));
    session.onUiThread([] {});
    EXPECT_EQ(0, session.editor().currentDirCluster);
    EXPECT_NE(inFolder, names());
    EXPECT_EQ("Directory contains 2 folders, 6 files, 1011 bytes total. 1452032 bytes free.",
              status());
}

TEST_F(FileCommands, OpenOfChangedImageAsksFirst) {
    editImage();
    // Cancel: nothing opens, nothing changes.
    command(ID_FILE_OPEN);
    EXPECT_EQ(kChangedUntitled, answerBox("Warning", IDCANCEL));
    settle();
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Open disk image"));
    EXPECT_EQ("Tolven - [untitled.img *]", caption());

    // Yes on an untitled image asks for a file name; cancelling that cancels the Open too.
    command(ID_FILE_OPEN);
    EXPECT_EQ(kChangedUntitled, answerBox("Warning", IDYES));
    HWND saver = waitForDialog("Save disk image");
    ASSERT_NE(nullptr, saver);
    pressButton(saver, IDCANCEL);
    ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, "Save disk image"));
    settle();
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Open disk image"));
    EXPECT_EQ("Tolven - [untitled.img *]", caption());
    EXPECT_EQ(0, session.editor().hasPath);

    // No opens without saving.
    command(ID_FILE_OPEN);
    EXPECT_EQ(kChangedUntitled, answerBox("Warning", IDNO));
    HWND chooser = waitForDialog("Open disk image");
    ASSERT_NE(nullptr, chooser);
    chooseFile(chooser, testImagePath("populated.img"));
    EXPECT_TRUE(waitForCaption("Tolven - [populated.img]"));
}

TEST_F(FileCommands, YesSavesTheChangedImageBeforeOpening) {
    std::string saved = outputPath("saved-before-open.img");
    editImage();
    command(ID_FILE_OPEN);
    EXPECT_EQ(kChangedUntitled, answerBox("Warning", IDYES));
    HWND saver = waitForDialog("Save disk image");
    ASSERT_NE(nullptr, saver);
    chooseFile(saver, saved);
    HWND chooser = waitForDialog("Open disk image");
    ASSERT_NE(nullptr, chooser);
    EXPECT_EQ(1474560, fileSize(saved));
    chooseFile(chooser, testImagePath("empty1200.img"));
    EXPECT_TRUE(waitForCaption("Tolven - [empty1200.img]"));
}

TEST_F(FileCommands, InvalidFileKeepsThePreviousImageNameAndMark) {
    std::string junk = outputPath("junk.img");
    writeFile(junk, std::string(100, 'x'));
    editImage();
    command(ID_FILE_OPEN);
    EXPECT_EQ(kChangedUntitled, answerBox("Warning", IDNO));
    HWND chooser = waitForDialog("Open disk image");
    ASSERT_NE(nullptr, chooser);
    chooseFile(chooser, junk);
    HWND box = waitForMessageBoxWithIcon();
    ASSERT_NE(nullptr, box) << "no error box";
    EXPECT_EQ("Invalid bootsector found!", messageBoxText(box));
    pressButton(box, IDOK);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }));
    session.onUiThread([] {});
    EXPECT_EQ("Tolven - [untitled.img *]", caption());
    EXPECT_TRUE(session.editor().hasUnsavedEdits());
    EXPECT_EQ(0, session.editor().hasPath);
    EXPECT_EQ(2880, session.editor().totalSectors());
    EXPECT_EQ("NO NAME", windowText(session.control(IDC_VOLUME_LABEL)));
    EXPECT_TRUE(session.editor().isEmpty()) << "messages left queued";
}

// The first line is the message as it was; the second names the file and the system's reason.
TEST_F(FileCommands, ErrorBoxGivesThePathAndTheSystemsReasonOnItsSecondLine) {
    std::string locked = outputPath("locked.img");
    ASSERT_TRUE(CopyFileA(testImagePath("empty360.img").c_str(), locked.c_str(), FALSE));
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    command(ID_FILE_OPEN);  // the untouched start image asks nothing
    HWND chooser = waitForDialog("Open disk image");
    ASSERT_NE(nullptr, chooser);
    chooseFile(chooser, locked);
    std::string text = answerBox("Error", IDOK);
    CloseHandle(holder);
    EXPECT_EQ(
        "Could not open image file!\n" + locked + ": " + systemErrorText(ERROR_SHARING_VIOLATION),
        text);
    EXPECT_EQ("Tolven - [untitled.img]", caption());
}

TEST_F(FileCommands, SaveAsksForANameOnceThenWritesToThatFile) {
    std::string path = outputPath("saved-first.img");
    command(ID_FILE_SAVE);
    HWND saver = waitForDialog("Save disk image");
    ASSERT_NE(nullptr, saver);
    EXPECT_EQ("", fileNameText(saver));
    chooseFile(saver, path);
    ASSERT_TRUE(waitForCaption("Tolven - [saved-first.img]"));
    EXPECT_EQ(1474560, fileSize(path));
    EXPECT_EQ(path, std::string(session.editor().imagePath));

    // A change, then Save again: no dialog, same file.
    editImage('X');
    EXPECT_EQ("Tolven - [saved-first.img *]", caption());
    command(ID_FILE_SAVE);
    ASSERT_TRUE(waitForCaption("Tolven - [saved-first.img]"));
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Save disk image"));
    EXPECT_EQ('X', readFile(path)[bs::kOemId]);
}

TEST_F(FileCommands, SaveAsOnNamedImageMovesLaterSavesToTheNewFile) {
    std::string original = outputPath("named-original.img");
    ASSERT_TRUE(CopyFileA(testImagePath("populated.img").c_str(), original.c_str(), FALSE));
    ASSERT_EQ(kResultOk, session.openImage(original));
    std::string copy = outputPath("saved-populated.img");

    command(ID_FILE_SAVE_AS);
    HWND saver = waitForDialog("Save disk image");
    ASSERT_NE(nullptr, saver);
    chooseFile(saver, copy);
    ASSERT_TRUE(waitForCaption("Tolven - [saved-populated.img]"));
    EXPECT_EQ(readFile(testImagePath("populated.img")), readFile(copy));

    editImage('Q');
    commandAndWait(ID_FILE_SAVE);
    EXPECT_EQ("Tolven - [saved-populated.img]", caption());
    EXPECT_EQ('Q', readFile(copy)[bs::kOemId]);
    EXPECT_NE('Q', readFile(original)[bs::kOemId]);
    session.onUiThread([&] { session.editor().bootSector[bs::kOemId] = 'M'; });
    commandAndWait(ID_FILE_SAVE);  // leave a clean file behind for fsck
    EXPECT_EQ('M', readFile(copy)[bs::kOemId]);
}

// A file another program changed since it was opened is not saved over unasked: Cancel keeps the
// other program's bytes, Overwrite saves over them, and the saved file is then the opened one.
TEST_F(FileCommands, SaveOverAFileChangedElsewhereAsksFirst) {
    std::string path = outputPath("changed-elsewhere.img");
    ASSERT_TRUE(CopyFileA(testImagePath("populated.img").c_str(), path.c_str(), FALSE));
    ASSERT_EQ(kResultOk, session.openImage(path));
    std::vector<uint8_t> other = readFile(path);
    other[bs::kOemId] = 'E';
    writeFile(path, std::string(other.begin(), other.end()));
    session.onUiThread([&] { session.editor().bootSector[bs::kOemId] = 'W'; });
    const char kQuestion[] =
        "Image \"changed-elsewhere.img\" was changed by another program since it was opened.";
    command(ID_FILE_SAVE);
    EXPECT_EQ(kQuestion, answerBox("Warning", IDCANCEL));
    EXPECT_EQ('E', readFile(path)[bs::kOemId]);

    command(ID_FILE_SAVE);
    HWND box = waitForDialog("Warning");
    ASSERT_NE(nullptr, box);
    EXPECT_TRUE(hasChildText(box, "Save As") && hasChildText(box, "Overwrite"));
    EXPECT_EQ(kQuestion, answerBox("Warning", IDNO));
    EXPECT_TRUE(waitUntil([&] { return readFile(path)[bs::kOemId] == 'W'; }));
    session.onUiThread([&] { session.editor().bootSector[bs::kOemId] = 'M'; });
    commandAndWait(ID_FILE_SAVE);
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Warning"));
    EXPECT_EQ('M', readFile(path)[bs::kOemId]);
}

TEST_F(FileCommands, SaveAsOnUntitledImageNamesIt) {
    std::string path = outputPath("saved-untitled.img");
    command(ID_FILE_SAVE_AS);
    HWND saver = waitForDialog("Save disk image");
    ASSERT_NE(nullptr, saver);
    chooseFile(saver, path);
    ASSERT_TRUE(waitForCaption("Tolven - [saved-untitled.img]"));
    EXPECT_EQ(1, session.editor().hasPath);

    // The next Save writes to that file without asking.
    session.onUiThread([&] { session.editor().bootSector[bs::kOemId] = 'U'; });
    commandAndWait(ID_FILE_SAVE);
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Save disk image"));
    EXPECT_EQ('U', readFile(path)[bs::kOemId]);
}

TEST_F(FileCommands, ShortcutsActAlsoInTheLabelField) {
    editImage('W');
    session.focus(IDC_VOLUME_LABEL);
    SetForegroundWindow(session.window());
    sendKeys({VK_CONTROL}, 'O');
    EXPECT_EQ(kChangedUntitled, answerBox("Warning", IDCANCEL));
    session.focus(IDC_VOLUME_LABEL);
    sendKeys({VK_CONTROL}, 'S');
    HWND saver = waitForDialog("Save disk image");
    ASSERT_NE(nullptr, saver);
    pressButton(saver, IDCANCEL);
    ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, "Save disk image"));
    session.focus(IDC_VOLUME_LABEL);
    sendKeys({VK_CONTROL}, 'N');
    EXPECT_EQ(kChangedUntitled, answerBox("Warning", IDCANCEL));
    session.onUiThread([] {});
    EXPECT_EQ("NO NAME", windowText(session.control(IDC_VOLUME_LABEL)))
        << "a shortcut was typed into the field";
    EXPECT_EQ("Tolven - [untitled.img *]", caption());
}

TEST_F(FileCommands, ToolbarButtonsReachTheirCommands) {
    editImage();
    clickToolbarButton(ID_FILE_OPEN);
    EXPECT_EQ(kChangedUntitled, answerBox("Warning", IDCANCEL));
    clickToolbarButton(ID_FILE_NEW);
    EXPECT_EQ(kChangedUntitled, answerBox("Warning", IDCANCEL));
    clickToolbarButton(ID_FILE_SAVE);
    HWND saver = waitForDialog("Save disk image");
    ASSERT_NE(nullptr, saver);
    pressButton(saver, IDCANCEL);
    ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, "Save disk image"));
    clickToolbarButton(ID_HELP_ABOUT);
    HWND about = waitForDialog("About");
    ASSERT_NE(nullptr, about);
    pressButton(about, IDOK);
    EXPECT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, "About"));
}

TEST_F(FileCommands, AboutNamesProgramVersionAndContacts) {
    command(ID_HELP_ABOUT);
    std::string text = answerBox("About", IDOK);
    std::vector<std::string> lines = splitLines(text);
    ASSERT_EQ(5u, lines.size()) << text;
    EXPECT_EQ(0u, lines[0].find("Tolven - "));
    EXPECT_GT(lines[0].size(), 9u);
    EXPECT_EQ("", lines[1]);
    EXPECT_EQ("Version\t: 0.71b", lines[2]);
    EXPECT_EQ(0u, lines[3].find("eMail\t: "));
    EXPECT_NE(std::string::npos, lines[3].find('@'));
    EXPECT_EQ(0u, lines[4].find("Internet\t: "));
    EXPECT_GT(lines[4].size(), 11u);

    // The program's version resource carries the same version, in words and in numbers.
    char program[MAX_PATH] = {0}, *words = nullptr;
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::vector<char> info(GetFileVersionInfoSizeA(program, nullptr) + 1);
    VS_FIXEDFILEINFO* numbers = nullptr;
    UINT length = 0;
    ASSERT_TRUE(GetFileVersionInfoA(program, 0, static_cast<DWORD>(info.size()), info.data()));
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\FileVersion",
                               reinterpret_cast<void**>(&words), &length));
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&numbers), &length));
    EXPECT_EQ(lines[2], "Version\t: " + std::string(words));
    EXPECT_EQ(0u, std::string(words).find(std::to_string(HIWORD(numbers->dwFileVersionMS)) + "." +
                                          std::to_string(LOWORD(numbers->dwFileVersionMS))));
}

TEST_F(FileCommands, LabelCheckComplainsOncePerFocusLoss) {
    HWND field = session.control(IDC_VOLUME_LABEL);
    UiSession::EditState before = session.editState();
    uint8_t bootBefore[512];
    session.onUiThread([&] { session.editor().copyBootSector(bootBefore); });
    for (const char* bad : {"AB.CD", "WHAT?"}) {
        session.focus(IDC_VOLUME_LABEL);
        setText(field, bad);
        moveFocusTo(IDC_INFO_TREE);
        std::string text = answerBox("Error", IDOK);
        EXPECT_EQ("Invalid character in volume label!", text) << bad;
        settle();
        EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Error")) << "asked twice";
        HWND focused = nullptr;
        session.onUiThread([&] { focused = GetFocus(); });
        EXPECT_EQ(field, focused) << "focus not given back to the field";
        // Leaving the field again asks again.
        moveFocusTo(IDC_FILE_LIST);
        EXPECT_EQ("Invalid character in volume label!", answerBox("Error", IDOK)) << bad;
        settle();
    }

    // Blanks and typed lower case are fine, and the label is written.
    session.focus(IDC_VOLUME_LABEL);
    setText(field, "");
    for (char c : std::string("my disk")) SendMessageA(field, WM_CHAR, static_cast<WPARAM>(c), 0);
    EXPECT_EQ("MY DISK", windowText(field));
    moveFocusTo(IDC_INFO_TREE);
    settle();
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Error"));

    uint8_t bootAfter[512], entry[11];
    session.onUiThread([&] { session.editor().copyBootSector(bootAfter); });
    std::memcpy(bootBefore + bs::kVolumeLabel, "MY DISK    ", 11);
    EXPECT_EQ(0, std::memcmp(bootBefore, bootAfter, 512));
    ASSERT_TRUE(session.editor().readLabelEntry(entry));
    EXPECT_EQ(0, std::memcmp("MY DISK    ", entry, 11));
    EXPECT_TRUE(session.editor().hasUnsavedEdits());
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
}

}  // namespace
