// The File menu's recent images and the window's place, kept from one run to the next.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/ui_driver.h"
#include "ui/recent_files.h"

using namespace ui_driver;

namespace {

std::vector<std::string> recentItems(UiSession& session) {
    std::vector<std::string> texts;
    for (const MenuEntry& item : menuEntries(GetSubMenu(GetMenu(session.window()), 0)))
        if (item.id >= ID_FILE_RECENT_FIRST && item.id < ID_FILE_RECENT_FIRST + 8)
            texts.push_back(item.text);
    return texts;
}

TEST(RecentFilesWindow, MenuListsOpenedImagesPicksThemAndKeepsThemWithTheWindowPlace) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string gone = std::string(folder) + "tolven recent gone.img";
    ASSERT_TRUE(CopyFileA(testImagePath("empty360.img").c_str(), gone.c_str(), FALSE));
    std::string populated = testImagePath("populated.img"), order = testImagePath("order.img");
    RECT placed = {0, 0, 0, 0};
    std::vector<std::string> kept;
    {
        UiSession session;
        ASSERT_TRUE(session.start());
        EXPECT_TRUE(recentItems(session).empty());
        for (const std::string& path : {gone, populated, order})
            session.onUiThread([&] { session.editor().openImageFile(path.c_str(), "x.img"); });
        std::vector<std::string> items = recentItems(session);
        ASSERT_EQ(3u, items.size());
        EXPECT_EQ(recentMenuText(0, order), items[0]);
        EXPECT_EQ(recentMenuText(1, populated), items[1]);

        // &2 opens that image, which becomes &1.
        session.postCommand(ID_FILE_RECENT_FIRST + 1);
        ASSERT_TRUE(waitUntil([&] {
            return windowText(session.window()).find("populated.img") != std::string::npos;
        }));
        session.settle();
        items = recentItems(session);
        EXPECT_EQ(recentMenuText(0, populated), items[0]);
        EXPECT_EQ(recentMenuText(1, order), items[1]);

        // A file deleted meanwhile is said to be gone and leaves the list; nothing is opened.
        ASSERT_TRUE(DeleteFileA(gone.c_str()));
        session.postCommand(ID_FILE_RECENT_FIRST + 2);
        bool found = false;
        std::string text = answerMessageBox(session.threadId(), "Open", IDOK, &found);
        ASSERT_TRUE(found);
        EXPECT_NE(std::string::npos, text.find(gone)) << text;
        session.settle();
        EXPECT_EQ(2u, recentItems(session).size());
        EXPECT_NE(std::string::npos, windowText(session.window()).find("populated.img"));

        session.onUiThread([&] {
            SetWindowPos(session.window(), nullptr, 37, 29, 790, 560, SWP_NOZORDER);
            GetWindowRect(session.window(), &placed);
        });
        kept = recentItems(session);
        PostMessageA(session.window(), WM_CLOSE, 0, 0);
        DWORD exitValue = 1;
        ASSERT_TRUE(session.waitForExit(&exitValue));
    }
    UiSession restarted;
    ASSERT_TRUE(restarted.start(true));
    EXPECT_EQ(kept, recentItems(restarted));
    RECT shown = {0, 0, 0, 0};
    GetWindowRect(restarted.window(), &shown);
    EXPECT_TRUE(EqualRect(&placed, &shown))
        << shown.left << "," << shown.top << " " << shown.right << "," << shown.bottom;
}

}  // namespace
