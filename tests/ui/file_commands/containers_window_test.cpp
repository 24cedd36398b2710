// The window on images in containers: an archive of several images asks which one, Save As
// starts at the image's container and writes in it, and an image opened read-only says why and
// refuses edits and saves.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "tests/ui/file_commands/file_commands_support.h"

using namespace ui_driver;

namespace {

class ContainerWindow : public FileCommandTest {
protected:
    // Opens as a dropped file does, without waiting: the open may show a dialog first.
    void open(const std::string& path) {
        pending = [this, path] { session.editor().openImageFile(path.c_str(), "image"); };
        session.postToUiThread(&pending);
    }
    std::function<void()> pending;
};

TEST_F(ContainerWindow, ArchiveOfSeveralImagesAsksWhichAndSaveAsKeepsItsContainer) {
    open(testImagePath("two.zip"));
    HWND dialog = waitForDialog("Open image from archive");
    ASSERT_NE(nullptr, dialog);
    HWND list = GetDlgItem(dialog, IDC_MEMBER_LIST);
    EXPECT_EQ(2, SendMessageW(list, LB_GETCOUNT, 0, 0));
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    pressButton(dialog, IDOK);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    settle();
    EXPECT_EQ(720, session.editor().totalSectors());
    EXPECT_EQ("empty360.img", session.editor().container.member);

    std::string path = outputPath("saved-member.imz");
    command(ID_FILE_SAVE_AS);
    HWND saver = waitForDialog("Save disk image");
    ASSERT_NE(nullptr, saver);
    EXPECT_EQ(1, SendMessageW(GetDlgItem(saver, 0x470), CB_GETCURSEL, 0, 0));  // the IMZ type
    chooseFile(saver, path);
    ASSERT_TRUE(waitForCaption("Tolven - [saved-member.imz]"));
    std::vector<uint8_t> saved = readFile(path);
    ASSERT_GE(saved.size(), 4u);
    EXPECT_EQ(kContainerZip, detectContainer(saved.data(), 4));
}

TEST_F(ContainerWindow, ReadOnlyImageSaysWhyAndRefusesEditsAndSaves) {
    // An ImageDisk copy of the populated image whose track 2 starts with a deleted-data mark.
    std::string path = outputPath("deleted-mark.imd");
    auto image = std::make_unique<VolumeImage>();
    ASSERT_EQ(0, image->loadImageFile(testImagePath("populated.img").c_str()));
    ASSERT_EQ(0, image->saveImageFile(path.c_str(), kContainerImageDisk));
    std::vector<uint8_t> imd = readFile(path);
    size_t at = static_cast<size_t>(std::find(imd.begin(), imd.end(), 0x1A) - imd.begin()) + 1;
    for (int track = 0; track < 2; ++track) {
        at += 5 + 18;
        for (int s = 0; s < 18; ++s) at += imd[at] == 1 ? 513 : 2;
    }
    imd[at + 5 + 18] = static_cast<uint8_t>(imd[at + 5 + 18] + 2);
    writeFile(path, std::string(imd.begin(), imd.end()));

    session.focus(IDC_VOLUME_LABEL);  // leaving it while the box shows is no edit to refuse
    open(path);
    std::string why = answerBox("Read-only image", IDOK);
    EXPECT_NE(std::string::npos,
              why.find("Track 2 (cylinder 1, head 0) has sectors with a deleted-data mark"))
        << why;
    settle();
    command(ID_IMAGE_NEW_FOLDER);
    EXPECT_EQ(why, answerBox("Read-only image", IDOK));
    command(ID_FILE_SAVE_AS);
    EXPECT_EQ(why, answerBox("Read-only image", IDOK));
    settle();
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "New folder"));
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Save disk image"));
}

}  // namespace
