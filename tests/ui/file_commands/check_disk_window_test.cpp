// Image > Check disk...: a lost chain is listed, Repair mends it as one undoable edit and the
// list comes back empty.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/ui/file_commands/file_commands_support.h"

using namespace ui_driver;

namespace {

class CheckDiskWindow : public FileCommandTest {};

TEST_F(CheckDiskWindow, ListsAFindingAndRepairsItAsOneStep) {
    std::string bytes;
    for (uint8_t b : readFile(testImagePath("populated.img"))) bytes += char(b);
    for (size_t fat : {512u, 10u * 512}) {  // cluster 2000 marked used in both copies: lost
        bytes[fat + 3000] = char(0xFF);
        bytes[fat + 3001] = char((bytes[fat + 3001] & 0xF0) | 0x0F);
    }
    std::string path = outputPath("lost.img");
    writeFile(path, bytes);
    ASSERT_EQ(kResultOk, session.openImage(path));
    UiSession::EditState before = session.editState();

    command(ID_IMAGE_CHECK_DISK);
    HWND dialog = waitForDialog("Check disk");
    ASSERT_NE(nullptr, dialog);
    HWND list = GetDlgItem(dialog, IDC_CHECK_LIST);
    ASSERT_EQ(1, SendMessageW(list, LB_GETCOUNT, 0, 0));
    wchar_t line[200] = {0};
    SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(L"cluster 2000: a lost chain of 1 cluster", std::wstring(line));
    EXPECT_EQ("1 finding.", windowText(GetDlgItem(dialog, IDC_CHECK_SUMMARY)));

    pressButton(dialog, IDC_CHECK_REPAIR);
    ASSERT_TRUE(waitUntil([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == 0; }));
    EXPECT_EQ("Repaired. No damage found.", windowText(GetDlgItem(dialog, IDC_CHECK_SUMMARY)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CHECK_REPAIR)));
    pressButton(dialog, IDCANCEL);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ("Tolven - [lost.img *]", caption());
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
}

}  // namespace
