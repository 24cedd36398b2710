// The driver answers the kinds of windows that commands open: message boxes and file choosers
// shown modally on the window's thread.
#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/ui/ui_driver.h"

using namespace ui_driver;

namespace {

TEST(Driver, AnswersMessageBoxesAndFileChoosers) {
    UiSession session;
    ASSERT_TRUE(session.start());

    int answer = 0;
    std::function<void()> ask = [&] {
        answer = MessageBoxA(session.window(), "Image \"x\" has been changed!", "Warning",
                             MB_YESNOCANCEL | MB_ICONQUESTION);
    };
    session.postToUiThread(&ask);
    bool found = false;
    EXPECT_EQ("Image \"x\" has been changed!",
              answerMessageBox(session.threadId(), "Warning", IDNO, &found));
    ASSERT_TRUE(found);
    session.flushPosted();
    EXPECT_EQ(IDNO, answer);

    std::function<void()> noCaption = [&] {
        answer = MessageBoxA(session.window(), "Could not open", nullptr, MB_ICONERROR | MB_OK);
    };
    session.postToUiThread(&noCaption);
    EXPECT_EQ("Could not open", answerMessageBox(session.threadId(), "Error", IDOK, &found));
    ASSERT_TRUE(found);
    session.flushPosted();
    EXPECT_EQ(IDOK, answer);

    std::string image = testImagePath("populated.img");
    char chosen[MAX_PATH] = {0};
    BOOL picked = FALSE;
    std::function<void()> choose = [&] {
        OPENFILENAMEA dialog;
        std::memset(&dialog, 0, sizeof dialog);
        dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        dialog.hwndOwner = session.window();
        dialog.lpstrFilter = "RAW disk images (*.img;*.ima;*.flp)\0*.img;*.ima;*.flp\0\0";
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = chosen;
        dialog.nMaxFile = sizeof chosen;
        dialog.lpstrTitle = "Open disk image";
        dialog.Flags = OFN_HIDEREADONLY;
        picked = GetOpenFileNameA(&dialog);
    };
    session.postToUiThread(&choose);
    HWND chooser = waitForWindow(session.threadId(), kDialogClass, "Open disk image");
    ASSERT_NE(nullptr, chooser);
    ASSERT_TRUE(chooseFile(chooser, image.c_str()));
    ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, "Open disk image"));
    session.flushPosted();
    EXPECT_TRUE(picked);
    EXPECT_STRCASEEQ(image.c_str(), chosen);
}

}  // namespace
