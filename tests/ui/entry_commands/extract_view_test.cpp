// Extract and View through the real window: the folder browser, the tree compared with what
// `mcopy -s` made of the same image, names as stored at the top level too, an existing host
// folder, and temporary copies handed to the shell and deleted at quit.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/entry_commands/entry_support.h"

using namespace ui_driver;
using namespace entry_test;

namespace {

typedef std::map<std::string, std::string> Tree;

// The reference below `relative` of ref/ (the whole root when empty): the Extract command writes
// what `mcopy -s` wrote, names and case included, at the top as at every depth.
Tree expectedTree(const std::string& relative) {
    return treeOf(dataPath("ref") + (relative.empty() ? "" : "\\" + relative));
}

class ExtractTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.start()) << "the main window never appeared";
        ASSERT_EQ(kResultOk, session.openImage(dataPath("tree.img")));
    }
    void openFolder(const std::string& name) {
        session.selectListItem(indexOf(session, name));
        postKey(fileList(session), VK_RETURN);
        session.flushPosted();
    }
    UiSession session;
};

TEST_F(ExtractTest, WholeRootWithTheImageMenuMatchesMcopy) {
    std::string target = freshFolder("whole");
    postCommand(session, ID_IMAGE_EXTRACT);
    ASSERT_TRUE(answerFolderBrowser(session, target.c_str()));
    session.flushPosted();
    EXPECT_TRUE(otherWindows(session).empty()) << "an error report came";
    Tree got = treeOf(target);
    Tree expected = expectedTree("");
    EXPECT_EQ(expected.size(), got.size());
    for (const auto& entry : expected) {
        auto found = got.find(entry.first);
        if (found == got.end()) {
            ADD_FAILURE() << "missing: " << entry.first;
            continue;
        }
        EXPECT_TRUE(found->second == entry.second) << "differs: " << entry.first;
    }
    for (const auto& entry : got)
        EXPECT_EQ(1u, expected.count(entry.first)) << "extra: " << entry.first;
    // One rule at every depth: README.TXT chosen in the list, NOTES.TXT inside a folder.
    EXPECT_EQ(1u, got.count("README.TXT"));
    EXPECT_EQ(1u, got.count("DOCS\\NOTES.TXT"));
    EXPECT_EQ(1u, got.count("DOCS\\Project Files\\INNER\\Empty long named file.txt"));
    EXPECT_EQ("Tolven - [tree.img]", windowText(session.window())) << "extraction changes nothing";
}

TEST_F(ExtractTest, F4InASubfolderExtractsTheWholeImageAndSaysWhat) {
    openFolder("[DOCS]");
    ASSERT_EQ("[ .. ]", listNames(fileList(session))[0]);
    std::string target = freshFolder("docs");
    postKey(fileList(session), VK_F4);
    ASSERT_TRUE(answerFolderBrowser(session, target.c_str()));
    session.flushPosted();
    EXPECT_TRUE(otherWindows(session).empty());
    Tree got = treeOf(target);
    EXPECT_EQ(expectedTree(""), got);
    int folders = 0;
    for (const auto& entry : got) folders += entry.second == "<DIR>" ? 1 : 0;
    EXPECT_EQ("Extracted " + std::to_string(folders) + " folders, " +
                  std::to_string(got.size() - folders) + " files to " + target,
              windowText(session.control(IDC_STATUS_LINE)));
    EXPECT_EQ(1u, got.count("DOCS\\NOTES.TXT"));
}

TEST_F(ExtractTest, SelectionThroughTheContextMenu) {
    openFolder("[DOCS]");
    openFolder("[Project Files]");
    selectNames(session, {"[ .. ]", "[INNER]", "Deep Notes.txt"});
    std::string target = freshFolder("selection");
    ASSERT_TRUE(contextMenuPick(session, indexOf(session, "[INNER]"), 'E'));
    ASSERT_TRUE(answerFolderBrowser(session, target.c_str()));
    session.flushPosted();
    EXPECT_TRUE(otherWindows(session).empty());
    EXPECT_EQ(expectedTree("DOCS\\Project Files"), treeOf(target));
    EXPECT_EQ(4u, treeOf(target).size());
}

// Ctrl+E extracts the selection into a folder holding part of it: the folder there is entered,
// a file there asked about; Skip keeps it, Replace with "Do this for all" takes the rest too.
TEST_F(ExtractTest, CtrlEMergesIntoFoldersAndAsksReplaceOrSkip) {
    std::string target = freshFolder("existing");
    CreateDirectoryA((target + "\\GAMES").c_str(), nullptr);
    writeFile(target + "\\GAMES\\TETRIS.EXE", "old game");
    writeFile(target + "\\README.TXT", "old readme");
    writeFile(target + "\\EMPTY.DAT", "old empty");
    selectNames(session, {"[GAMES]", "readme.txt", "empty.dat"});
    sendKeys({VK_CONTROL}, 'E');
    ASSERT_TRUE(answerFolderBrowser(session, target.c_str()));
    // The list puts empty.dat before readme.txt: Replace for all there answers for readme.txt.
    for (int button : {IDC_CLASH_SKIP, IDC_CLASH_REPLACE}) {
        HWND box = waitForDialog(session, "File exists");
        ASSERT_NE(nullptr, box);
        if (button == IDC_CLASH_REPLACE)
            SendMessageW(GetDlgItem(box, IDC_CLASH_FOR_ALL), BM_SETCHECK, BST_CHECKED, 0);
        pressButton(box, button);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }));
    }
    session.flushPosted();
    EXPECT_TRUE(otherWindows(session).empty()) << "no further question, no error";
    Tree got = treeOf(target);
    EXPECT_EQ("old game", got["GAMES\\TETRIS.EXE"]);
    EXPECT_EQ("hello\n", got["README.TXT"]);
    EXPECT_EQ("", got["EMPTY.DAT"]);
    EXPECT_EQ("Extracted 0 folders, 2 files to " + target + " (1 skipped)",
              windowText(session.control(IDC_STATUS_LINE)));
}

TEST_F(ExtractTest, NothingSelectedCancelAndTheToolbarButton) {
    selectNames(session, {});
    ASSERT_TRUE(contextMenuPick(session, -1, 'E'));
    EXPECT_EQ("No files selected!", answerMessageBox(session, "Extract image"));

    // The toolbar button without a selection extracts everything; a cancelled browser nothing.
    ASSERT_TRUE(clickToolbarButton(session.editor().toolbar, ID_EXTRACT_BUTTON));
    HWND browser = waitForFolderBrowser(session);
    ASSERT_NE(nullptr, browser);
    EXPECT_TRUE(hasChildText(browser, "Extract complete image to folder:"));
    ASSERT_TRUE(answerFolderBrowser(session, nullptr));
    session.flushPosted();
    EXPECT_EQ(std::vector<std::string>(), otherWindows(session));
}

// The browser says what goes where, keeps the shell's New Folder button, and starts at the
// image's own folder, then at the folder last chosen.
TEST_F(ExtractTest, BrowserHasATitleLineAndStartsAtTheImageThenTheFolderLastChosen) {
    std::string start = freshFolder("start"), chosen = freshFolder("chosen");
    ASSERT_TRUE(CopyFileA(dataPath("tree.img").c_str(), (start + "\\tree.img").c_str(), FALSE));
    ASSERT_EQ(kResultOk, session.openImage(start + "\\tree.img"));
    for (const char* expected : {"start", "chosen"}) {
        postCommand(session, ID_IMAGE_EXTRACT);
        HWND browser = waitForFolderBrowser(session);
        ASSERT_NE(nullptr, browser);
        EXPECT_TRUE(hasChildText(browser, "Extract complete image to folder:"));
        EXPECT_TRUE(hasChildText(browser, "Make New Folder"));
        EXPECT_TRUE(waitUntil([&] { return selectedTreeText(browser) == expected; }))
            << selectedTreeText(browser);
        pressButton(browser, IDCANCEL);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(browser); }));
        if (*expected == 's') {
            postCommand(session, ID_IMAGE_EXTRACT);
            ASSERT_TRUE(answerFolderBrowser(session, chosen.c_str()));
            session.flushPosted();
        }
    }
}

// Names beyond the ANSI code page, and 8.3 names with the lower-case flags, through the window:
// the title, the list, what Extract writes and the question that names one of them.
TEST(UnicodeNames, ShownExtractedAndReportedAsTheListShowsThem) {
    UiSession session;
    ASSERT_TRUE(session.start());
    ASSERT_EQ(kResultOk, session.openImage(dataPath("Ονόματα.img")));
    EXPECT_EQ("Tolven - [Ονόματα.img]", windowText(session.window()));
    EXPECT_EQ((std::vector<std::string>{"[deep]", "[Φάκελος]", "Ελληνικά.txt", "Кириллица.txt",
                                        "漢字 文件.txt"}),
              listNames(fileList(session)));
    std::string target = freshFolder("names");
    postCommand(session, ID_IMAGE_EXTRACT);
    ASSERT_TRUE(answerFolderBrowser(session, target.c_str()));
    session.flushPosted();
    selectNames(session, {"Ελληνικά.txt"});
    postCommand(session, ID_IMAGE_EXTRACT_SELECTED);
    ASSERT_TRUE(answerFolderBrowser(session, target.c_str()));
    HWND box = waitForDialog(session, "File exists");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("The folder already holds a file named \"Ελληνικά.txt\":\n" + target +
                  "\n\nReplace it with the file from the image?",
              windowText(GetDlgItem(box, IDC_CLASH_TEXT)));
    pressButton(box, IDCANCEL);
    session.flushPosted();
    std::vector<std::string> written;
    for (const auto& e : std::filesystem::recursive_directory_iterator(utf16(target)))
        written.push_back(utf8(e.path().lexically_relative(utf16(target)).wstring()));
    std::sort(written.begin(), written.end());
    EXPECT_EQ(
        (std::vector<std::string>{"deep", "deep\\readme.txt", "Ελληνικά.txt", "Φάκελος",
                                  "Φάκελος\\Σημειώσεις.txt", "Кириллица.txt", "漢字 文件.txt"}),
        written);
}

// --- View -------------------------------------------------------------------------------------

// The association the tests give to ".tolvenview": the shell's "open" copies the file to a
// marker file, which shows that the right file was opened.
std::string registerViewer() {
    std::string marker = dataPath("out\\viewer-marker.txt");
    DeleteFileA(marker.c_str());
    std::string command = "cmd.exe /c copy \"%1\" \"" + marker + "\"";
    HKEY key;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, ".tolvenview", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                    nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("TolvenTestViewer"), 17);
    RegCloseKey(key);
    RegCreateKeyExA(HKEY_CLASSES_ROOT, "TolvenTestViewer\\shell\\open\\command", 0, nullptr, 0,
                    KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegCloseKey(key);
    return marker;
}

std::vector<std::string> tempFiles(UiSession& session) {
    std::vector<std::string> paths;
    session.onUiThread([&] {
        MessageList& list = session.editor().tempFiles;
        char path[kPathSize + 1];
        for (;;) {
            std::memset(path, 0, sizeof path);
            if (!list.popFront(path, kPathSize)) break;
            paths.push_back(path);
        }
        for (const std::string& p : paths) list.add(p.c_str(), static_cast<uint32_t>(p.size() + 1));
    });
    return paths;
}

std::string tempPath(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}

TEST(View, OpensTemporaryCopiesAndQuitDeletesThem) {
    std::string marker = registerViewer();
    UiSession session;
    ASSERT_TRUE(session.start());
    ASSERT_EQ(kResultOk, session.openImage(dataPath("tree.img")));
    const std::string viewed = tempPath("Viewed note.tolvenview");
    const std::string unknown = tempPath("Unknown kind.qqqzz");
    DeleteFileA(viewed.c_str());
    DeleteFileA(unknown.c_str());

    selectNames(session, {});
    ASSERT_TRUE(contextMenuPick(session, -1, 'O'));
    EXPECT_EQ("No files selected!", answerMessageBox(session, "View"));

    // Folders only: nothing happens, nothing is listed.
    selectNames(session, {"[DOCS]", "[GAMES]"});
    ASSERT_TRUE(contextMenuPick(session, indexOf(session, "[DOCS]"), 'O'));
    session.settle();
    EXPECT_TRUE(otherWindows(session).empty());
    EXPECT_TRUE(tempFiles(session).empty());

    // A folder beside a file: only the file is opened.
    selectNames(session, {"[DOCS]", "Viewed note.tolvenview"});
    ASSERT_TRUE(contextMenuPick(session, indexOf(session, "Viewed note.tolvenview"), 'O'));
    session.flushPosted();
    EXPECT_EQ("view me\n", readFile(viewed));
    EXPECT_EQ((std::vector<std::string>{viewed}), tempFiles(session));
    EXPECT_TRUE(waitUntil([&] { return readFile(marker) == "view me\n"; }))
        << "the shell did not open the temporary copy";

    selectNames(session, {"Unknown kind.qqqzz"});
    ASSERT_TRUE(contextMenuPick(session, indexOf(session, "Unknown kind.qqqzz"), 'O'));
    EXPECT_EQ("No associated application found!", answerMessageBox(session, "View"));
    EXPECT_EQ("unknown\n", readFile(unknown));
    EXPECT_EQ((std::vector<std::string>{viewed, unknown}), tempFiles(session));

    postCommand(session, ID_FILE_QUIT);
    DWORD exitValue = 1;
    ASSERT_TRUE(session.waitForExit(&exitValue));
    EXPECT_EQ(0u, exitValue);
    EXPECT_FALSE(fileExists(viewed));
    EXPECT_FALSE(fileExists(unknown));
}

}  // namespace
