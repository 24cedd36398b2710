// Delete and Insert through the real window's context menu. The images saved here are checked
// afterwards by tests/ui/check_saved_images.sh with fsck.fat and mtools.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/entry_commands/entry_support.h"

using namespace ui_driver;
using namespace entry_test;

namespace {

class EntryCommandTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.start()) << "the main window never appeared"; }
    // Opens a copy of tree.img under `name` in the output folder.
    void openCopy(const std::string& name) {
        std::string copy = dataPath("out\\" + name);
        ASSERT_TRUE(CopyFileA(dataPath("tree.img").c_str(), copy.c_str(), FALSE));
        ASSERT_EQ(kResultOk, session.openImage(copy));
    }
    void save(const std::string& name) {
        std::string path = dataPath("out\\" + name);
        int result = -1;
        session.onUiThread([&] {
            result = session.editor().saveImageFile(path.c_str());
            if (result == kResultOk) session.editor().imageSaved();
        });
        ASSERT_EQ(kResultOk, result);
    }
    void openFolder(const std::string& name) {
        session.selectListItem(indexOf(session, name));
        postKey(fileList(session), VK_RETURN);
        session.flushPosted();
    }
    std::vector<std::string> names() { return listNames(fileList(session)); }
    std::string title() { return windowText(session.window()); }
    bool pick(const std::string& at, char key) {
        return contextMenuPick(session, indexOf(session, at), key);
    }

    UiSession session;
};

TEST_F(EntryCommandTest, DeleteFilesFoldersAndSeveralAtOnce) {
    openCopy("deleted.img");
    EXPECT_EQ("Tolven - [deleted.img]", title());

    // Nothing selected: the notice, and no change mark.
    selectNames(session, {});
    ASSERT_TRUE(contextMenuPick(session, -1, 'D'));
    EXPECT_EQ("No files selected!", answerMessageBox(session, "View"));
    session.flushPosted();
    EXPECT_EQ("Tolven - [deleted.img]", title());

    // One file without long name: asked by name, No (the default) keeps it, Yes deletes it.
    UiSession::EditState before = session.editState();
    selectNames(session, {"readme.txt"});
    ASSERT_TRUE(pick("readme.txt", 'D'));
    HWND box = waitForDialog(session, "Delete");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Delete \"readme.txt\"?", messageBoxText(box));
    HWND focused = nullptr;  // Enter or Space would press No
    session.onUiThread([&] { focused = GetFocus(); });
    EXPECT_EQ(GetDlgItem(box, IDNO), focused);
    pressButton(box, IDNO);
    session.settle();
    EXPECT_TRUE(session.editState() == before);
    ASSERT_TRUE(pick("readme.txt", 'D'));
    EXPECT_EQ("Delete \"readme.txt\"?", answerMessageBox(session, "Delete"));
    session.settle();
    EXPECT_EQ(-1, indexOf(session, "readme.txt"));
    EXPECT_EQ("Tolven - [deleted.img *]", title());
    std::vector<std::string> afterOne = names();
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));

    // A long-named file and two folders (one with a long name spanning several clusters): one
    // question, one step.
    before = session.editState();
    selectNames(session, {"Long file name document.txt", "[Photos of the summer]", "[GAMES]"});
    ASSERT_TRUE(pick("[GAMES]", 'D'));
    EXPECT_EQ("Delete 3 items?", answerMessageBox(session, "Delete"));
    session.settle();
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
    std::vector<std::string> expected;
    for (const std::string& name : afterOne)
        if (name != "Long file name document.txt" && name != "[Photos of the summer]" &&
            name != "[GAMES]")
            expected.push_back(name);
    EXPECT_EQ(expected, names());

    // ".." beside a file in a subfolder: only the file goes.
    openFolder("[DOCS]");
    openFolder("[Project Files]");
    selectNames(session, {"[ .. ]", "Deep Notes.txt"});
    ASSERT_TRUE(pick("Deep Notes.txt", 'D'));
    EXPECT_EQ("Delete \"Deep Notes.txt\"?", answerMessageBox(session, "Delete"));
    session.settle();
    EXPECT_EQ((std::vector<std::string>{"[ .. ]", "[INNER]"}), names());

    // ".." alone: nothing changes, and the image does not count as changed.
    save("deleted.img");
    EXPECT_EQ("Tolven - [deleted.img]", title());
    selectNames(session, {"[ .. ]"});
    ASSERT_TRUE(pick("[ .. ]", 'D'));
    session.flushPosted();
    EXPECT_EQ((std::vector<std::string>{"[ .. ]", "[INNER]"}), names());
    EXPECT_EQ("Tolven - [deleted.img]", title());
    EXPECT_TRUE(otherWindows(session).empty());
    save("deleted.img");
    // The freed clusters are free again: 1.44 MB minus what remains in use.
    int freeClusters = 0;
    session.onUiThread([&] { freeClusters = session.editor().countFreeClusters(); });
    EXPECT_GT(freeClusters, 2800);
}

TEST_F(EntryCommandTest, InsertCancelASelectionAndATakenName) {
    openCopy("inserted.img");
    // Cancel: nothing shown, nothing inserted, nothing marked.
    std::vector<std::string> before = names();
    ASSERT_TRUE(contextMenuPick(session, -1, 'I'));
    ASSERT_TRUE(answerInsertChooser(session, nullptr, nullptr));
    session.flushPosted();
    EXPECT_TRUE(otherWindows(session).empty());
    EXPECT_EQ(before, names());
    EXPECT_EQ("Tolven - [inserted.img]", title());

    // A selection of three files goes into the root.
    ASSERT_TRUE(contextMenuPick(session, -1, 'I'));
    ASSERT_TRUE(
        answerInsertChooser(session, dataPath("insert").c_str(),
                            "\"FIRST.TXT\" \"Second inserted file.dat\" \"empty inserted.txt\""));
    session.flushPosted();
    EXPECT_TRUE(otherWindows(session).empty());
    for (const char* name : {"first.txt", "Second inserted file.dat", "empty inserted.txt"})
        EXPECT_NE(-1, indexOf(session, name)) << name << " is not listed";
    EXPECT_EQ(before.size() + 3, names().size());

    // One full path into a subfolder, the folder shown.
    openFolder("[DOCS]");
    ASSERT_TRUE(contextMenuPick(session, -1, 'I'));
    ASSERT_TRUE(answerInsertChooser(session, nullptr, dataPath("insert\\FIRST.TXT").c_str()));
    session.flushPosted();
    EXPECT_NE(-1, indexOf(session, "first.txt"));

    // The same file again: the question names it; Cancel leaves the folder as it was.
    ASSERT_TRUE(contextMenuPick(session, -1, 'I'));
    ASSERT_TRUE(answerInsertChooser(session, nullptr, dataPath("insert\\FIRST.TXT").c_str()));
    HWND box = waitForDialog(session, "Name exists");  // none: the text is empty
    EXPECT_NE(std::string::npos, windowText(GetDlgItem(box, IDC_CLASH_TEXT)).find("FIRST.TXT"));
    pressButton(box, IDCANCEL);
    session.settle();
    EXPECT_TRUE(otherWindows(session).empty());
    save("inserted.img");
}

}  // namespace
