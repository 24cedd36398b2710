// Names a drop meets in the shown folder (Replace, Skip, Keep both, "Do this for all", one undo
// step) and a dropped disk image (Open or Insert). The image saved here is checked by
// tests/ui/check_saved_images.sh with fsck.fat.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/image_path.h"
#include "image/boot_sector.h"
#include "resources/resource_ids.h"
#include "tests/ui/entry_commands/entry_support.h"

using namespace ui_driver;
using namespace entry_test;

namespace {

class InsertClashWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start()) << "the main window never appeared";
        ASSERT_TRUE(CopyFileA(dataPath("tree.img").c_str(), dataPath("out\\clash.img").c_str(),
                              FALSE));
        ASSERT_EQ(kResultOk, session.openImage(dataPath("out\\clash.img")));
    }
    // Files dropped on the list as the shell posts them: wide paths, each ended by a zero.
    void drop(const std::vector<std::string>& paths) {
        std::wstring list;
        for (const std::string& path : paths) list += utf16(path) + L'\0';
        HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + (list.size() + 1) * 2);
        DROPFILES* files = static_cast<DROPFILES*>(GlobalLock(memory));
        RECT area = rectInParent(fileList(session), session.window());
        files->pFiles = sizeof(DROPFILES);
        files->pt = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
        files->fWide = TRUE;
        memcpy(files + 1, list.c_str(), list.size() * 2);
        GlobalUnlock(memory);
        PostMessageW(session.window(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    }
    // Waits for the clash question, checks its text names `name`, then presses `button`.
    void answer(const std::string& name, int button, bool forAll = false) {
        HWND box = waitForDialog(session, "Name exists");
        ASSERT_NE(nullptr, box);
        EXPECT_NE(std::string::npos,
                  windowText(GetDlgItem(box, IDC_CLASH_TEXT)).find("\"" + name + "\""));
        if (forAll) SendMessageW(GetDlgItem(box, IDC_CLASH_FOR_ALL), BM_SETCHECK, BST_CHECKED, 0);
        pressButton(box, button);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }));
    }
    UiSession session;
};

TEST_F(InsertClashWindowTest, DropAsksReplaceSkipOrKeepBothThenForAll) {
    std::string from = freshFolder("clash");
    for (const char* name : {"README.TXT", "EMPTY.DAT", "Mixed Case.Txt", "GAMES", "NEW.TXT"})
        writeFile(from + "\\" + name, std::string("new ") + name);
    UiSession::EditState before = session.editState();
    drop({from + "\\README.TXT", from + "\\EMPTY.DAT", from + "\\Mixed Case.Txt",
          from + "\\GAMES", from + "\\NEW.TXT"});
    answer("README.TXT", IDC_CLASH_KEEP_BOTH);
    answer("EMPTY.DAT", IDC_CLASH_SKIP);
    answer("Mixed Case.Txt", IDC_CLASH_REPLACE, true);
    // Replace for all meets a file named as a folder: refused and reported, the rest goes in.
    EXPECT_NE(std::string::npos, entry_test::answerMessageBox(session, "Error")
                                     .find("Could not replace folder \"GAMES\" with a file!"));
    session.settle();
    EXPECT_TRUE(otherWindows(session).empty());
    for (const char* name : {"readme.txt", "README (2).TXT", "Mixed Case.Txt", "new.txt"})
        EXPECT_NE(-1, indexOf(session, name)) << name;
    std::string mixed;
    session.onUiThread([&] {
        ImagePathEntry e;
        if (resolveImagePath(session.editor(), "Mixed Case.Txt", &e) == kImagePathFound)
            mixed = std::to_string(readLe32(e.entry + 28));
    });
    EXPECT_EQ(std::to_string(std::string("new Mixed Case.Txt").size()), mixed);
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
    session.onUiThread([&] { session.editor().saveImageFile(dataPath("out\\clash.img").c_str()); });
}

// One dropped image on the list asks; Insert puts it in as a file, Open opens it.
TEST_F(InsertClashWindowTest, ADroppedImageAsksOpenOrInsert) {
    drop({dataPath("small.img")});
    HWND box = waitForDialog(session, "Dropped image");
    ASSERT_NE(nullptr, box);
    pressButton(box, IDC_DROPPED_INSERT);
    session.settle();
    EXPECT_NE(-1, indexOf(session, "small.img"));
    drop({dataPath("small.img")});
    box = waitForDialog(session, "Dropped image");
    ASSERT_NE(nullptr, box);
    pressButton(box, IDC_DROPPED_OPEN);
    EXPECT_NE("", entry_test::answerMessageBox(session, "Warning"));  // Yes: saved
    EXPECT_TRUE(waitUntil([&] { return windowText(session.window()) == "Tolven - [small.img]"; }));
}

}  // namespace
