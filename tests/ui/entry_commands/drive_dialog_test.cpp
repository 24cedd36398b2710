// The floppy drive dialog through the real window, against simulated drives installed by the
// test: discovery, the list's texts and icons, full reads and writes with their steps, Cancel in
// every state, the error report after a failed transfer, and the two commands' effects. The
// drives' calls wait on a fake clock, so a test holds the transfer between two calls to look at
// the dialog, or to press Cancel.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/fake_clock.h"
#include "tests/support/simulated_floppy.h"
#include "tests/ui/entry_commands/entry_support.h"

using namespace ui_driver;
using namespace entry_test;

namespace {

const char kReadCaption[] = "Read image from floppy disk";
const char kWriteCaption[] = "Write image to floppy disk";
const int64_t kCallMicroseconds = 1000;  // fake time each drive call takes

std::vector<uint8_t> bytesOf(const std::string& path) {
    std::string text = readFile(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

struct DriveEntry {
    std::string text;
    int image;
    int selectedImage;
};

// What the dialog shows while a transfer runs, sampled from the test's thread.
struct Observed {
    std::vector<std::string> texts;  // each new step text, in order
    std::vector<int> positions;      // each new bar position, in order
};

class DriveDialogTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.start()) << "the main window never appeared"; }
    // A test that stopped early may have left a transfer held in a drive call: let it run out.
    void TearDown() override {
        clock.runFreely();
        waitForWindowGone(session.threadId(), kDialogClass, kReadCaption);
        waitForWindowGone(session.threadId(), kDialogClass, kWriteCaption);
    }

    // A 3.5-inch drive A: with `image`'s bytes on a formatted disk (nothing: unformatted).
    SimulatedFloppy& addDrive35(const char* name, const std::vector<uint8_t>* image) {
        drives.emplace_back(new SimulatedFloppy(name));
        SimulatedFloppy& drive = *drives.back();
        drive.setMediaList35();
        MediaGeometry geometry = SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512);
        if (image != nullptr) drive.insertDisk(geometry, image->data(), image->size());
        else drive.insertUnformattedDisk(geometry);
        EXPECT_TRUE(drive.install());
        return drive;
    }
    SimulatedFloppy& addDrive(const char* name, uint32_t mediaType, uint32_t driveType) {
        drives.emplace_back(new SimulatedFloppy(name));
        SimulatedFloppy& drive = *drives.back();
        MediaGeometry media = SimulatedFloppy::standardMedia(mediaType);
        media.mediaType = mediaType;
        drive.setMediaList(&media, 1);
        drive.setDriveType(driveType);
        EXPECT_TRUE(drive.install());
        return drive;
    }

    // A drive of every kind real machines have: an internal drive A: that is empty, a USB drive B:
    // that cannot format, a drive C: whose disk's old 720 KB volume is still mounted and a drive
    // D: this user may not open for writing. B: and D: hold a formatted 1.44 MB disk.
    void addEveryKind() {
        std::vector<uint8_t> old720 = bytesOf(dataPath("small.img"));
        addDrive35("A:", nullptr).ejectDisk();
        addDrive35("B:", &blank1440).behaveAsUsbDrive(true);
        addDrive35("C:", nullptr)
            .insertDisk(SimulatedFloppy::standardMedia(kMediaF3_720_512), old720.data(),
                        old720.size());
        drives[2]->setVolumeMounted(true);
        addDrive35("D:", &blank1440).setAccessDenied(true);
    }
    // Chooses list entry `index` as a click in the list does.
    void choose(HWND dialog, int index) {
        SendMessageA(driveList(dialog), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(driveList(dialog)));
    }
    // Writes onto list entry `index` (without formatting when asked) to the end, and returns the
    // error report's text (empty when none came).
    std::string writeTo(int index, bool withoutFormat = false) {
        postKey(fileList(session), VK_F8);
        HWND dialog = waitForDialog(session, kWriteCaption);
        choose(dialog, index);
        if (withoutFormat) SendMessageA(GetDlgItem(dialog, IDC_DRIVE_NO_FORMAT), BM_CLICK, 0, 0);
        pressButton(dialog, IDC_DRIVE_START);
        EXPECT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, kWriteCaption));
        session.settle();
        return otherWindows(session).empty() ? "" : answerMessageBox(session, "Error");
    }

    HWND driveList(HWND dialog) { return FindWindowExA(dialog, nullptr, "ComboBoxEx32", nullptr); }
    std::vector<DriveEntry> driveEntries(HWND dialog) {
        std::vector<DriveEntry> entries;
        HWND list = driveList(dialog);
        int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[100] = {0};
            COMBOBOXEXITEMA item = {};
            item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
            item.iItem = i;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            entries.push_back({text, item.iImage, item.iSelectedImage});
        }
        return entries;
    }
    std::string stepText(HWND dialog) {
        return windowText(GetDlgItem(dialog, IDC_DRIVE_STEP_TEXT));
    }
    int barPosition(HWND dialog) {
        HWND bar = GetDlgItem(dialog, IDC_DRIVE_PROGRESS);
        return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
    }
    // Makes every later call of `drive` wait on the fake clock; set once the dialog is up, after
    // the discovery's calls.
    void holdCalls(SimulatedFloppy& drive) { drive.setCallDelay(kCallMicroseconds, &clock); }
    // True once the worker waits in a drive call (everything it published before has been
    // shown), false once the dialog has gone.
    bool heldInCall(HWND dialog) {
        bool held = false;
        waitUntil([&] { return (held = clock.waitForSleeper(20)) || !IsWindow(dialog); }, 60000);
        return held;
    }
    // Holds the transfer at every drive call and samples the step text and the bar there, until
    // the dialog has gone, or until `stopAt` (a prefix of a step text) shows, when given: the
    // worker is then still held in its call.
    Observed watch(HWND dialog, const char* stopAt = nullptr) {
        Observed seen;
        while (heldInCall(dialog)) {
            std::string text = stepText(dialog);
            int position = barPosition(dialog);
            if (seen.texts.empty() || seen.texts.back() != text) seen.texts.push_back(text);
            if (seen.positions.empty() || seen.positions.back() != position)
                seen.positions.push_back(position);
            if (stopAt != nullptr && text.compare(0, std::strlen(stopAt), stopAt) == 0) break;
            clock.advance(kCallMicroseconds);
        }
        return seen;
    }
    // Presses Cancel while the worker is held in a drive call, then lets the transfer run out.
    void cancelHeldTransfer(HWND dialog) {
        pressButton(dialog, IDC_DRIVE_CANCEL);
        session.flushPosted();  // the dialog has taken the press before the call returns
        clock.runFreely();
    }
    // Opens the read (F7) or write (F8) dialog and starts the transfer onto `drive` with every
    // call held; null when the dialog did not come.
    HWND startHeld(SimulatedFloppy& drive, bool read) {
        postKey(fileList(session), read ? VK_F7 : VK_F8);
        HWND dialog = waitForDialog(session, read ? kReadCaption : kWriteCaption);
        if (dialog == nullptr) return nullptr;
        holdCalls(drive);
        pressButton(dialog, IDC_DRIVE_START);
        return dialog;
    }
    // A whole transfer so started, watched until its dialog has gone. Only the bar's positions
    // between the ends are kept; it must have stopped at three at least.
    Observed runHeld(SimulatedFloppy& drive, bool read) {
        HWND dialog = startHeld(drive, read);
        EXPECT_NE(nullptr, dialog);
        Observed seen = dialog != nullptr ? watch(dialog) : Observed();
        EXPECT_TRUE(waitForWindowGone(session.threadId(), kDialogClass,
                                      read ? kReadCaption : kWriteCaption));
        session.flushPosted();
        std::vector<int>& p = seen.positions;
        p.erase(std::remove_if(p.begin(), p.end(), [](int at) { return at <= 0 || at >= 100; }),
                p.end());
        EXPECT_GE(p.size(), 3u) << "the bar should move through the transfer";
        return seen;
    }
    static bool anyStartsWith(const std::vector<std::string>& texts, const char* prefix) {
        return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
            return t.compare(0, std::strlen(prefix), prefix) == 0;
        });
    }
    std::string title() { return windowText(session.window()); }
    std::vector<std::string> names() { return listNames(fileList(session)); }
    // The image as an image file holds it, saved through the image's own writer.
    std::vector<uint8_t> savedImage(const std::string& name) {
        std::string path = dataPath("out\\" + name);
        int result = -1;
        session.onUiThread([&] { result = session.editor().saveImageFile(path.c_str()); });
        EXPECT_EQ(kResultOk, result);
        return bytesOf(path);
    }

    FakeClock clock;  // declared first: the drives wait on it until they are gone
    UiSession session;
    std::vector<std::unique_ptr<SimulatedFloppy>> drives;
    std::vector<uint8_t> blank1440 = std::vector<uint8_t>(1474560, 0xF6);  // formatted, no volume
};

TEST_F(DriveDialogTest, NoFloppyDriveFoundClosesTheDialog) {
    // A fixed drive, a removable drive of an unlisted media type (2.88 MB 20.8) and one that
    // cannot be opened: none is a floppy drive the dialog may list.
    addDrive("C:", kMediaF3_1Pt44_512, 3);
    addDrive("D:", kMediaF3_20Pt8_512, kDriveRemovable);
    addDrive("E:", kMediaF3_1Pt44_512, kDriveRemovable).failCall(FloppyCall::Open, 0);
    ASSERT_EQ(kResultOk, session.openImage(dataPath("small.img")));
    EXPECT_EQ("Tolven - [small.img]", title());

    postKey(fileList(session), VK_F8);
    EXPECT_EQ("No floppy drives found!", answerMessageBox(session, "Error"));
    EXPECT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, kWriteCaption));
    session.flushPosted();
    EXPECT_EQ("Tolven - [small.img]", title()) << "the write command changes no mark";

    postKey(fileList(session), VK_F7);
    EXPECT_EQ("No floppy drives found!", answerMessageBox(session, "Error"));
    EXPECT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, kReadCaption));
    session.flushPosted();
    EXPECT_EQ("Tolven - [small.img]", title()) << "nothing was read, nothing changed";
    for (auto& drive : drives) EXPECT_EQ(0, drive->callCount(FloppyCall::Read));
}

TEST_F(DriveDialogTest, ListsFloppyDrivesWithTextAndIconAndCancelCloses) {
    addDrive35("A:", nullptr);
    addDrive("B:", kMediaF5_1Pt2_512, kDriveRemovable);
    ASSERT_EQ(kResultOk, session.openImage(dataPath("small.img")));

    postCommand(session, ID_WRITE_TO_DISK);
    HWND dialog = waitForDialog(session, kWriteCaption);
    ASSERT_NE(nullptr, dialog) << "no question may come before the write dialog";
    EXPECT_EQ((std::vector<std::string>{kWriteCaption}), otherWindows(session));
    EXPECT_EQ("Write", windowText(GetDlgItem(dialog, IDC_DRIVE_START)));
    EXPECT_EQ("Cancel", windowText(GetDlgItem(dialog, IDC_DRIVE_CANCEL)));
    std::vector<DriveEntry> entries = driveEntries(dialog);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("(A:) 3.5\" Floppy Drive", entries[0].text);
    EXPECT_EQ(0, entries[0].image);
    EXPECT_EQ(0, entries[0].selectedImage);
    EXPECT_EQ("(B:) 5.25\" Floppy Drive", entries[1].text);
    EXPECT_EQ(1, entries[1].image);
    EXPECT_EQ(1, entries[1].selectedImage);
    HWND list = driveList(dialog);
    EXPECT_EQ(0, SendMessageA(list, CB_GETCURSEL, 0, 0));
    HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(SendMessageA(list, CBEM_GETIMAGELIST, 0, 0));
    ASSERT_NE(nullptr, icons);
    EXPECT_EQ(2, ImageList_GetImageCount(icons));
    GUITHREADINFO focus = {};
    focus.cbSize = sizeof focus;
    GetGUIThreadInfo(session.threadId(), &focus);
    EXPECT_EQ(GetDlgItem(dialog, IDC_DRIVE_START), focus.hwndFocus);

    // Escape (and the cancel id it makes) belongs to no control: the dialog stays.
    postKey(GetDlgItem(dialog, IDC_DRIVE_START), VK_ESCAPE);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    session.flushPosted();
    ASSERT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog)) << "Escape closed the dialog";

    pressButton(dialog, IDC_DRIVE_CANCEL);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    session.flushPosted();
    EXPECT_EQ("Tolven - [small.img]", title());
    for (auto& drive : drives) {
        EXPECT_EQ(0, drive->callCount(FloppyCall::Read));
        EXPECT_EQ(0, drive->callCount(FloppyCall::Format));
        EXPECT_FALSE(drive->isOpen());  // discovery closes every drive it opened
    }

    // Cancel before Read: nothing is read, and nothing is marked.
    postKey(fileList(session), VK_F7);
    dialog = waitForDialog(session, kReadCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Read", windowText(GetDlgItem(dialog, IDC_DRIVE_START)));
    SendMessageA(dialog, WM_CLOSE, 0, 0);  // the title bar's close box: like Cancel here
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    session.flushPosted();
    EXPECT_EQ("Tolven - [small.img]", title());
    EXPECT_EQ(0, drives[0]->callCount(FloppyCall::Read));
}

TEST_F(DriveDialogTest, FullReadShowsItsStepsAndMarksTheImageChanged) {
    std::vector<uint8_t> tree = bytesOf(dataPath("tree.img"));
    ASSERT_EQ(1474560u, tree.size());
    SimulatedFloppy& drive = addDrive35("A:", &tree);
    ASSERT_EQ(kResultOk, session.openImage(dataPath("small.img")));
    EXPECT_TRUE(names().empty());
    UiSession::EditState before = session.editState();

    Observed seen = runHeld(drive, true);
    EXPECT_TRUE(anyStartsWith(seen.texts, "Reading data sectors (")) << seen.texts.size();
    EXPECT_TRUE(std::is_sorted(seen.positions.begin(), seen.positions.end()));

    EXPECT_EQ("Tolven - [small.img *]", title());
    EXPECT_NE(indexOf(session, "[Photos of the summer]"), -1);
    EXPECT_NE(indexOf(session, "readme.txt"), -1);
    EXPECT_EQ("ENTRYTEST", windowText(session.control(IDC_VOLUME_LABEL)));
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
    EXPECT_TRUE(savedImage("read-from-floppy.img") == tree) << "the image read differs";
    EXPECT_TRUE(otherWindows(session).empty()) << "no report after a good read";
}

TEST_F(DriveDialogTest, FullWriteAsksNothingAndLeavesTheMark) {
    SimulatedFloppy& drive = addDrive35("A:", nullptr);
    ASSERT_EQ(kResultOk, session.openImage(dataPath("tree.img")));
    std::vector<uint8_t> tree = bytesOf(dataPath("tree.img"));

    Observed seen = runHeld(drive, false);
    for (const char* step :
         {"Formatting sectors (", "Writing data sectors (", "Verifying data sectors ("})
        EXPECT_TRUE(anyStartsWith(seen.texts, step)) << step;
    EXPECT_EQ(160, drive.callCount(FloppyCall::Format));  // a track a call
    std::vector<uint8_t> disk = drive.diskBytes();
    EXPECT_TRUE(disk == tree) << "the floppy does not hold the image";
    EXPECT_EQ("Tolven - [tree.img]", title());
    EXPECT_TRUE(otherWindows(session).empty()) << "no report after a good write";
}

TEST_F(DriveDialogTest, CancelDuringAReadRestoresThePreviousImage) {
    std::vector<uint8_t> tree = bytesOf(dataPath("tree.img"));
    SimulatedFloppy& drive = addDrive35("A:", &tree);
    ASSERT_EQ(kResultOk, session.openImage(dataPath("small.img")));
    std::vector<uint8_t> before = savedImage("before-cancelled-read.img");

    HWND dialog = startHeld(drive, true);
    ASSERT_NE(nullptr, dialog);
    watch(dialog, "Reading data sectors (");
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(IsWindowEnabled(driveList(dialog)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DRIVE_START)));
    // Escape does nothing while a transfer runs either.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    cancelHeldTransfer(dialog);
    ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, kReadCaption));
    session.flushPosted();

    EXPECT_LT(drive.bytesRead(), tree.size()) << "the read went on after Cancel";
    EXPECT_TRUE(otherWindows(session).empty()) << "a cancelled read shows no report";
    EXPECT_TRUE(names().empty());
    EXPECT_EQ("Tolven - [small.img]", title());
    EXPECT_TRUE(savedImage("after-cancelled-read.img") == before);
}

TEST_F(DriveDialogTest, CancelDuringAWriteStopsIt) {
    SimulatedFloppy& drive = addDrive35("A:", nullptr);
    ASSERT_EQ(kResultOk, session.openImage(dataPath("tree.img")));

    HWND dialog = startHeld(drive, false);
    ASSERT_NE(nullptr, dialog);
    watch(dialog, "Writing data sectors (");
    ASSERT_TRUE(IsWindow(dialog));
    cancelHeldTransfer(dialog);
    ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, kWriteCaption));
    session.flushPosted();

    EXPECT_LT(drive.bytesWritten(), 1474560u) << "the write went on after Cancel";
    EXPECT_EQ(0, drive.callCount(FloppyCall::Read)) << "a cancelled write is not verified";
    EXPECT_FALSE(drive.isLocked());
    EXPECT_FALSE(drive.isOpen());
    EXPECT_TRUE(otherWindows(session).empty()) << "a cancelled write shows no report";
    EXPECT_EQ("Tolven - [tree.img]", title());
}

TEST_F(DriveDialogTest, FailedTransfersReportAfterTheDialogClosed) {
    std::vector<uint8_t> tree = bytesOf(dataPath("tree.img"));
    SimulatedFloppy& drive = addDrive35("A:", &tree);
    // The first data cluster of a 1.44 MB floppy starts at sector 33.
    drive.failReadAt(33 * 512 + 100, false);
    ASSERT_EQ(kResultOk, session.openImage(dataPath("small.img")));

    postKey(fileList(session), VK_F7);
    HWND dialog = waitForDialog(session, kReadCaption);
    ASSERT_NE(nullptr, dialog);
    pressButton(dialog, IDC_DRIVE_START);
    HWND report = waitForDialog(session, "Error");
    ASSERT_NE(nullptr, report) << "no error report after the failed read";
    EXPECT_FALSE(IsWindow(dialog)) << "the report must come after the dialog closed";
    EXPECT_EQ(session.window(), GetWindow(report, GW_OWNER));
    std::string text = answerMessageBox(session, "Error");
    EXPECT_EQ(0u, text.find("Could not read cluster (")) << text;
    session.flushPosted();
    EXPECT_TRUE(names().empty()) << "the previous image is shown again";
    EXPECT_EQ("Tolven - [small.img]", title());

    // A write whose third cylinder cannot be formatted.
    drive.clearFaults();
    drive.failFormatOfCylinder(2);
    postKey(fileList(session), VK_F8);
    dialog = waitForDialog(session, kWriteCaption);
    ASSERT_NE(nullptr, dialog);
    pressButton(dialog, IDC_DRIVE_START);
    report = waitForDialog(session, "Error");
    ASSERT_NE(nullptr, report) << "no error report after the failed write";
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ("Could not format floppy (cyl. 2)!", answerMessageBox(session, "Error"));
}

// Every kind is listed, the empty one too; writing without formatting is offered only while the
// chosen drive's disk has the image's geometry (looked at without rights).
TEST_F(DriveDialogTest, EveryKindOfDriveIsListedWithWhatItsDiskAllows) {
    addEveryKind();
    ASSERT_EQ(kResultOk, session.openImage(dataPath("tree.img")));
    postKey(fileList(session), VK_F8);
    HWND dialog = waitForDialog(session, kWriteCaption);
    ASSERT_NE(nullptr, dialog);
    std::string seen;
    for (int i = 0; i < 4; ++i) {
        choose(dialog, i);
        bool offered = IsWindowEnabled(GetDlgItem(dialog, IDC_DRIVE_NO_FORMAT));
        seen += driveEntries(dialog)[i].text + (offered ? " +" : " -") + "\n";
    }
    EXPECT_EQ(
        "(A:) 3.5\" Floppy Drive -\n(B:) 3.5\" Floppy Drive +\n"
        "(C:) 3.5\" Floppy Drive -\n(D:) 3.5\" Floppy Drive +\n",
        seen);
    pressButton(dialog, IDC_DRIVE_CANCEL);
}

// The USB drive cannot format; written without formatting, its disk takes the image as it is
// and the verify pass still runs.
TEST_F(DriveDialogTest, UsbDriveThatCannotFormatWritesWithoutFormatting) {
    addEveryKind();
    ASSERT_EQ(kResultOk, session.openImage(dataPath("tree.img")));
    EXPECT_EQ(0u, writeTo(1).find("Could not format floppy (cyl. 0)!"));
    EXPECT_EQ("", writeTo(1, true));
    EXPECT_TRUE(drives[1]->diskBytes() == bytesOf(dataPath("tree.img")));
    EXPECT_EQ(1, drives[1]->callCount(FloppyCall::Format));
    EXPECT_GT(drives[1]->callCount(FloppyCall::Read), 0);
}

// The disk's old 720 KB volume no longer cuts the 1.44 MB image short; the drive denied to this
// user says why and what to do.
TEST_F(DriveDialogTest, MountedVolumeTakesTheWholeImageAndDeniedAccessNamesTheRemedy) {
    addEveryKind();
    ASSERT_EQ(kResultOk, session.openImage(dataPath("tree.img")));
    EXPECT_EQ("", writeTo(2));
    EXPECT_TRUE(drives[2]->diskBytes() == bytesOf(dataPath("tree.img")));
    EXPECT_EQ(
        "Could not access floppy drive! Windows denies this user raw access to drives: run "
        "Tolven as administrator!",
        writeTo(3));
}

// The empty drive asks for its disk when the read starts: Cancel goes back to choosing, Retry
// with the disk in reads it. A read has no option to write without formatting.
TEST_F(DriveDialogTest, EmptyDriveAsksForADiskWhenTheReadStarts) {
    addEveryKind();
    ASSERT_EQ(kResultOk, session.openImage(dataPath("small.img")));
    postKey(fileList(session), VK_F7);
    HWND dialog = waitForDialog(session, kReadCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_DRIVE_NO_FORMAT)));
    pressButton(dialog, IDC_DRIVE_START);
    EXPECT_EQ("Drive A: has no disk! Insert a floppy disk and press Retry.",
              ui_driver::answerMessageBox(session.threadId(), "Insert disk", IDCANCEL));
    session.settle();
    EXPECT_TRUE(IsWindowEnabled(driveList(dialog)));  // back to choosing
    pressButton(dialog, IDC_DRIVE_START);
    ASSERT_NE(nullptr, waitForDialog(session, "Insert disk"));
    std::vector<uint8_t> tree = bytesOf(dataPath("tree.img"));
    drives[0]->insertDisk(SimulatedFloppy::standardMedia(kMediaF3_1Pt44_512), tree.data(),
                          tree.size());
    ui_driver::answerMessageBox(session.threadId(), "Insert disk", IDRETRY);
    ASSERT_TRUE(waitForWindowGone(session.threadId(), kDialogClass, kReadCaption));
    session.settle();
    EXPECT_NE(indexOf(session, "readme.txt"), -1);
}

}  // namespace
