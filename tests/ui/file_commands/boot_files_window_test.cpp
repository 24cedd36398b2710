// Boot sector and boot code files through the Image menu and the platform's file choosers:
// proposed names, round trips, the rejected files and cancelling.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/file_commands/file_commands_support.h"

using namespace ui_driver;

namespace {

class BootFilesWindow : public FileCommandTest {
protected:
    // Opens a copy of populated.img under `name` in the output folder.
    void openCopyNamed(const char* name) {
        std::string path = outputPath(name);
        ASSERT_TRUE(CopyFileA(testImagePath("populated.img").c_str(), path.c_str(), FALSE));
        ASSERT_EQ(kResultOk, session.openImage(path));
    }

    std::vector<uint8_t> bootSector() {
        std::vector<uint8_t> sector(512);
        session.onUiThread([&] { session.editor().copyBootSector(sector.data()); });
        return sector;
    }

    std::string proposedName(int commandId, const char* chooserCaption) {
        command(commandId);
        HWND chooser = waitForDialog(chooserCaption);
        EXPECT_NE(nullptr, chooser) << chooserCaption;
        if (chooser == nullptr) return std::string();
        std::string name = fileNameText(chooser);
        pressButton(chooser, IDCANCEL);
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(chooser); }));
        return name;
    }

    void runWithFile(int commandId, const char* chooserCaption, const std::string& path) {
        command(commandId);
        HWND chooser = waitForDialog(chooserCaption);
        ASSERT_NE(nullptr, chooser) << chooserCaption;
        chooseFile(chooser, path);
    }
};

TEST_F(BootFilesWindow, ExportsProposeNamesFromTheImageName) {
    EXPECT_EQ("untitled.bin", proposedName(ID_EXPORT_BOOTSECTOR, "Export bootsector"));
    EXPECT_EQ("untitled.bin", proposedName(ID_EXPORT_BOOTCODE, "Export bootcode"));
    openCopyNamed("disk.img");
    EXPECT_EQ("disk.bin", proposedName(ID_EXPORT_BOOTSECTOR, "Export bootsector"));
    openCopyNamed("disk");
    EXPECT_EQ("diskbin", proposedName(ID_EXPORT_BOOTCODE, "Export bootcode"));
    // The imports start empty, and cancelling any of them changes nothing.
    EXPECT_EQ("", proposedName(ID_IMPORT_BOOTSECTOR, "Import bootsector"));
    EXPECT_EQ("", proposedName(ID_IMPORT_BOOTCODE, "Import bootcode"));
    settle();
    EXPECT_EQ("Tolven - [disk]", caption());
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Error"));
}

TEST_F(BootFilesWindow, BootSectorRoundTripMarksTheImageChanged) {
    openCopyNamed("roundtrip.img");
    std::vector<uint8_t> original = bootSector();
    std::string file = outputPath("roundtrip-sector.bin");
    runWithFile(ID_EXPORT_BOOTSECTOR, "Export bootsector", file);
    settle();
    EXPECT_EQ(original, readFile(file));
    EXPECT_EQ("Tolven - [roundtrip.img]", caption()) << "an export changes nothing";

    UiSession::EditState before = session.editState();
    std::vector<uint8_t> changed = original;
    std::memcpy(changed.data() + bs::kOemId, "IMPORTED", 8);
    writeFile(file, std::string(changed.begin(), changed.end()));
    runWithFile(ID_IMPORT_BOOTSECTOR, "Import bootsector", file);
    ASSERT_TRUE(waitForCaption("Tolven - [roundtrip.img *]"));
    settle();
    EXPECT_EQ(changed, bootSector());
    EXPECT_EQ("IMPORTED", ui_driver::treeNodes(session.control(IDC_INFO_TREE))[2].text);
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));
}

TEST_F(BootFilesWindow, ImportRejectsUnsignedAndIncompatibleSectors) {
    openCopyNamed("reject.img");
    std::vector<uint8_t> original = bootSector();

    std::string unsignedFile = outputPath("unsigned.bin");
    writeFile(unsignedFile, std::string(reinterpret_cast<const char*>(original.data()), 510) +
                                std::string(2, '\0'));
    runWithFile(ID_IMPORT_BOOTSECTOR, "Import bootsector", unsignedFile);
    HWND box = waitForMessageBoxWithIcon();
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Loaded file is not a bootsector!", messageBoxText(box));
    pressButton(box, IDOK);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }));

    std::vector<uint8_t> other = readFile(testImagePath("empty360.img"));
    ASSERT_GE(other.size(), 512u);
    std::string otherFile = outputPath("sector360.bin");
    writeFile(otherFile, std::string(reinterpret_cast<const char*>(other.data()), 512));
    runWithFile(ID_IMPORT_BOOTSECTOR, "Import bootsector", otherFile);
    box = waitForMessageBoxWithIcon();
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Loaded bootsector is not compatible to current image!", messageBoxText(box));
    pressButton(box, IDOK);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }));

    session.onUiThread([] {});
    EXPECT_EQ(original, bootSector());
    EXPECT_EQ("Tolven - [reject.img]", caption());
}

TEST_F(BootFilesWindow, BootCodeRoundTripKeepsTheParameters) {
    openCopyNamed("code.img");
    std::vector<uint8_t> original = bootSector();
    std::string file = outputPath("code.bin");
    runWithFile(ID_EXPORT_BOOTCODE, "Export bootcode", file);
    settle();
    // Which bytes the file holds: BootFilesTest.CodeExportHoldsOnlyJumpAndCode.
    ASSERT_EQ(512u, readFile(file).size());

    // Wipe the code in the image (an edit), then import it back.
    session.onUiThread([&] {
        std::memset(session.editor().bootSector, 0, 3);
        std::memset(session.editor().bootSector + 62, 0, 448);
        session.editor().recordEdit();
    });
    UiSession::EditState before = session.editState();
    runWithFile(ID_IMPORT_BOOTCODE, "Import bootcode", file);
    ASSERT_TRUE(waitUntil([&] { return bootSector() == original; }));
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));

    // A 100-byte file is no boot code.
    std::string shortFile = outputPath("short.bin");
    writeFile(shortFile, std::string(100, 'c'));
    runWithFile(ID_IMPORT_BOOTCODE, "Import bootcode", shortFile);
    HWND box = waitForMessageBoxWithIcon();
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Read file fits not floppy bootsector size!", messageBoxText(box));
    pressButton(box, IDOK);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }));
    session.onUiThread([] {});
    EXPECT_EQ(original, bootSector());
}

}  // namespace
