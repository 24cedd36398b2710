// The file and folder choosers on their own, run on the window's thread and answered from here:
// the dialog record, cancelling, the overwrite question, and a multiple selection.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/ui/file_commands/file_commands_support.h"
#include "ui/file_chooser.h"
#include "ui/folder_chooser.h"

using namespace ui_driver;

namespace {

struct DialogQuery {
    HWND exclude;
    HWND owner;  // null: any owner
    HWND found;
};

BOOL CALLBACK matchOtherDialog(HWND window, LPARAM param) {
    DialogQuery* q = reinterpret_cast<DialogQuery*>(param);
    char cls[16] = {0};
    GetClassNameA(window, cls, sizeof cls);
    if (!IsWindowVisible(window) || window == q->exclude || std::strcmp(cls, "#32770") != 0)
        return TRUE;
    if (q->owner != nullptr && GetWindow(window, GW_OWNER) != q->owner) return TRUE;
    q->found = window;
    return FALSE;
}

class Choosers : public FileCommandTest {
protected:
    // Runs `work` on the window's thread without waiting for it: it opens a modal chooser.
    void start(std::function<void()> work) {
        pending = std::move(work);
        session.postToUiThread(&pending);
    }
    // Returns once the started work has ended.
    void finish() {
        session.onUiThread([] {});
    }

    // A visible dialog of the window's thread other than `exclude`, owned by `owner` when given.
    HWND waitForOtherDialog(HWND exclude, HWND owner) {
        DialogQuery query = {exclude, owner, nullptr};
        waitUntil([&] {
            query.found = nullptr;
            EnumThreadWindows(session.threadId(), matchOtherDialog,
                              reinterpret_cast<LPARAM>(&query));
            return query.found != nullptr;
        });
        return query.found;
    }

    std::function<void()> pending;
};

TEST_F(Choosers, SetupFillsTheOldSizedRecord) {
    FileChooser chooser;
    chooser.setup(kBootCodeFilter, kFilterBlockSize, "bin", "Import bootcode");
    const OPENFILENAMEW& r = chooser.dialogRecord;
    EXPECT_EQ(static_cast<DWORD>(sizeof(void*) == 4 ? 76 : OPENFILENAME_SIZE_VERSION_400W),
              r.lStructSize);
    EXPECT_EQ(chooser.filter, r.lpstrFilter);
    EXPECT_EQ(0, std::memcmp(L"RAW bootcode (*.bin)\0*.bin\0All files (*.*)\0*.*\0\0",
                             chooser.filter, 96));
    EXPECT_EQ(1u, r.nFilterIndex);
    EXPECT_EQ(nullptr, r.lpstrCustomFilter);
    EXPECT_EQ(260u, r.nMaxFile);
    EXPECT_EQ(260u, r.nMaxFileTitle);
    EXPECT_STREQ(L"Import bootcode", r.lpstrTitle);
    EXPECT_STREQ(L"bin", r.lpstrDefExt);
    EXPECT_EQ(0u, r.Flags);

    FileChooser untitled;
    untitled.setup(kAnyFileFilter, kFilterBlockSize, "", nullptr);
    EXPECT_EQ(nullptr, untitled.dialogRecord.lpstrTitle);
    // A length past the block is cut: the block still ends inside `filter`.
    FileChooser cut;
    std::string full(5000, 'x');
    cut.setup(full.c_str(), 5000, "img", "t");
    EXPECT_EQ(L'\0', cut.filter[kFilterBlockSize - 1]);
    EXPECT_EQ(L'\0', cut.filter[kFilterBlockSize - 2]);
}

TEST_F(Choosers, CancelLeavesTheCallersBuffers) {
    FileChooser chooser;
    chooser.setup(kImageFileFilter, kFilterBlockSize, "img", "Open disk image");
    char path[260] = "offered.img";
    char title[260] = "kept title";
    DWORD error = 99;
    bool chosen = true;
    start([&] { chosen = chooser.chooseOpen(session.window(), path, title, error); });
    HWND dialog = waitForDialog("Open disk image");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("offered.img", fileNameText(dialog));
    pressButton(dialog, IDCANCEL);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    finish();
    EXPECT_FALSE(chosen);
    EXPECT_EQ(0u, error);
    EXPECT_STREQ("offered.img", path);
    EXPECT_STREQ("kept title", title);
}

TEST_F(Choosers, SaveAsksBeforeTakingAnExistingFile) {
    std::string existing = outputPath("existing.img");
    writeFile(existing, "old");
    FileChooser chooser;
    chooser.setup(kImageFileFilter, kFilterBlockSize, "img", "Save disk image");
    char path[260] = {0};
    char title[260] = {0};
    DWORD error = 99;
    bool chosen = false;
    start([&] { chosen = chooser.chooseSave(session.window(), path, title, error); });
    HWND dialog = waitForDialog("Save disk image");
    ASSERT_NE(nullptr, dialog);
    setText(file_commands::fileNameControl(dialog), existing.c_str());
    pressButton(dialog, IDOK);
    HWND question = waitForOtherDialog(dialog, dialog);
    ASSERT_NE(nullptr, question) << "no overwrite question";
    pressButton(question, IDYES);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    finish();
    EXPECT_TRUE(chosen);
    EXPECT_EQ(0u, error);
    EXPECT_EQ(existing, std::string(path));
    EXPECT_STREQ("existing.img", title);
}

// Wine's chooser (8.0) returns a selection cut to a too small buffer as a success instead of
// FNERR_BUFFERTOOSMALL, so only the selection that fits is checked here.
TEST_F(Choosers, MultipleSelectionFillsTheCallersBuffer) {
    FileChooser chooser;
    chooser.setup(kAnyFileFilter, kFilterBlockSize, "", "Insert Files");
    std::string folder = testImagePath("");
    folder.pop_back();  // no trailing backslash
    std::string buffer(1000, '\0');
    char title[260] = {0};
    DWORD error = 99;
    bool chosen = false;
    start([&] {
        chosen = chooser.chooseOpenMultiple(session.window(), &buffer[0], 1000, title, sizeof title,
                                            error);
    });
    HWND dialog = waitForDialog("Insert Files");
    ASSERT_NE(nullptr, dialog);
    HWND field = file_commands::fileNameControl(dialog);
    setText(field, folder.c_str());  // into the images folder first
    // Sent, not posted: the chooser has moved into the folder when this returns, so the names
    // typed next cannot overtake it.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    setText(field, "\"empty360.img\" \"empty1200.img\"");
    pressButton(dialog, IDOK);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    finish();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(0u, error);
    std::string first = buffer.c_str();
    std::string second = buffer.c_str() + first.size() + 1;
    std::string third = buffer.c_str() + first.size() + second.size() + 2;
    EXPECT_EQ(folder, first);
    EXPECT_EQ("empty360.img", second);
    EXPECT_EQ("empty1200.img", third);
    EXPECT_EQ('\0', buffer[first.size() + second.size() + third.size() + 3]);
}

// Each kind of file starts in the image's folder, then where that kind was last chosen.
TEST_F(Choosers, FileChoosersStartInTheImagesFolderThenWhereTheirKindWasChosen) {
    std::string images = testImagePath("");
    images.pop_back();
    std::string other = images + "\\boot-files";
    CreateDirectoryA(other.c_str(), nullptr);
    writeFile(other + "\\blank.bin", std::string(512, '\0'));
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    auto expectStart = [&](int command, const char* caption, const std::string& folder) {
        this->command(command);
        HWND chooser = waitForDialog(caption);
        wchar_t shown[MAX_PATH] = {0};  // the choosers are Unicode dialogs
        SendMessageW(chooser, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(shown));
        EXPECT_EQ(0, lstrcmpiW(utf16(folder).c_str(), shown))
            << caption << " starts in " << utf8(shown);
        return chooser;
    };
    chooseFile(expectStart(ID_IMPORT_BOOTSECTOR, "Import bootsector", images),
               other + "\\blank.bin");
    EXPECT_EQ("Loaded file is not a bootsector!", answerBox("Error", IDOK));
    expectStart(ID_EXPORT_BOOTCODE, "Export bootcode", other);
    cancelChooser("Export bootcode");
    expectStart(ID_FILE_OPEN, "Open disk image", images);
    cancelChooser("Open disk image");
}

TEST_F(Choosers, CancelledFolderBrowserGivesFalse) {
    FolderChooser chooser;
    char path[260] = "kept path";
    char name[260] = "kept name";
    bool chosen = true;
    start([&] { chosen = chooser.chooseFolder(session.window(), path, name); });
    HWND browser = waitForOtherDialog(session.window(), nullptr);
    ASSERT_NE(nullptr, browser) << "no folder browser";
    pressButton(browser, IDCANCEL);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(browser); }));
    finish();
    EXPECT_FALSE(chosen);
    EXPECT_STREQ("kept path", path);
    EXPECT_STREQ("kept name", name);
}

}  // namespace
