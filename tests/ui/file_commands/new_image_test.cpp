// New image through its real dialog: the types with their icons, the defaults, the edits' limits
// and upper case, Create for every type, Cancel or closing; and Image > Change format....
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/ui/file_commands/file_commands_support.h"

using namespace ui_driver;

namespace {

struct TypeRow {
    const char* text;
    int image;
    int kilobytes;
    uint16_t totalSectors;
};

const TypeRow kTypes[] = {
    {"3.5\" 720KB image", 0, 720, 1440},
    {"3.5\" 820KB image (non-standard)", 0, 820, 1640},
    {"3.5\" 1440KB image", 0, 1440, 2880},
    {"3.5\" 1680KB image (non-standard)", 0, 1680, 3360},
    {"3.5\" 1722KB image (non-standard)", 0, 1722, 3444},
    {"3.5\" 2880KB image", 0, 2880, 5760},
    {"5.25\" 160KB image", 1, 160, 320},
    {"5.25\" 180KB image", 1, 180, 360},
    {"5.25\" 320KB image", 1, 320, 640},
    {"5.25\" 360KB image", 1, 360, 720},
    {"5.25\" 1200KB image", 1, 1200, 2400},
    {"3.5\" DMF 1680KB image (2KB clusters)", 0, 1680, 3360},
    {"3.5\" DMF 1680KB image (1KB clusters)", 0, 1680, 3360},
    {"3.5\" DMF 1722KB image (82 cylinders)", 0, 1722, 3444},
};
const int kTypeCount = static_cast<int>(sizeof kTypes / sizeof kTypes[0]);

class NewImage : public FileCommandTest {
protected:
    // Runs New, answering the save question with No when the image is marked changed.
    HWND openDialog() {
        bool asks = session.editor().hasUnsavedEdits();
        command(ID_FILE_NEW);
        if (asks) {
            EXPECT_EQ("Image \"untitled.img\" has been changed! Do you want to save?",
                      answerBox("Warning", IDNO));
        }
        HWND dialog = waitForDialog("New image");
        EXPECT_NE(nullptr, dialog) << "no New image dialog";
        if (!asks) {
            EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "Warning"));
        }
        return dialog;
    }

    static HWND combo(HWND dialog) {
        return FindWindowExA(dialog, nullptr, WC_COMBOBOXEXA, nullptr);
    }

    void create(HWND dialog) {
        pressButton(dialog, IDC_NEW_CREATE);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
        session.onUiThread([] {});
    }

    // The dialog's own control that holds the keyboard focus (the type box holds it in a child).
    HWND focusedControl(HWND dialog) {
        HWND focused = nullptr;
        session.onUiThread([&] { focused = GetFocus(); });
        while (focused != nullptr && GetParent(focused) != dialog) focused = GetParent(focused);
        return focused;
    }
    // Posts a key, or with Alt its character, to the window with the focus, as typing does.
    void type(UINT key, bool alt) {
        HWND focused = nullptr;
        session.onUiThread([&] { focused = GetFocus(); });
        if (alt) PostMessageA(focused, WM_SYSCHAR, key, 1 | (1 << 29));
        else postKey(focused, key);
    }

    std::string bootText(int offset, int length) {
        uint8_t sector[512];
        session.onUiThread([&] { session.editor().copyBootSector(sector); });
        return std::string(reinterpret_cast<const char*>(sector + offset), length);
    }
};

TEST_F(NewImage, DialogOffersEveryTypeAndTheDefaults) {
    HWND dialog = openDialog();
    ASSERT_NE(nullptr, dialog);
    HWND types = combo(dialog);
    ASSERT_NE(nullptr, types);
    ASSERT_EQ(kTypeCount, SendMessageA(types, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < kTypeCount; ++i) {
        char text[80] = {0};
        COMBOBOXEXITEMA item;
        std::memset(&item, 0, sizeof item);
        item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT;
        item.iItem = i;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(types, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        EXPECT_STREQ(kTypes[i].text, text);
        EXPECT_EQ(kTypes[i].image, item.iImage) << text;
        EXPECT_EQ(kTypes[i].image, item.iSelectedImage) << text;
        EXPECT_EQ(0, item.iIndent);
    }
    HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(SendMessageA(types, CBEM_GETIMAGELIST, 0, 0));
    ASSERT_NE(nullptr, icons);
    EXPECT_EQ(2, ImageList_GetImageCount(icons));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(icons, &cx, &cy);
    EXPECT_EQ(16, cx);
    EXPECT_EQ(16, cy);
    EXPECT_EQ(2, SendMessageA(types, CB_GETCURSEL, 0, 0));

    HWND label = GetDlgItem(dialog, IDC_NEW_LABEL);
    HWND oemId = GetDlgItem(dialog, IDC_NEW_OEM_ID);
    EXPECT_EQ("NO NAME", windowText(label));
    EXPECT_EQ("TOLVEN", windowText(oemId));
    EXPECT_EQ(11, SendMessageA(label, EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(8, SendMessageA(oemId, EM_GETLIMITTEXT, 0, 0));
    HWND focused = nullptr;
    session.onUiThread([&] { focused = GetFocus(); });
    EXPECT_EQ(GetDlgItem(dialog, IDC_NEW_CREATE), focused);
    // Dropped down, the list shows every type without scrolling.
    HWND inner = reinterpret_cast<HWND>(SendMessageA(types, CBEM_GETCOMBOCONTROL, 0, 0));
    COMBOBOXINFO dropped = {};
    dropped.cbSize = sizeof dropped;
    RECT shown = {0, 0, 0, 0};
    session.onUiThread([&] {
        SendMessageA(inner, CB_SHOWDROPDOWN, TRUE, 0);
        GetComboBoxInfo(inner, &dropped);
        GetClientRect(dropped.hwndList, &shown);
    });
    EXPECT_GE(shown.bottom, kTypeCount * SendMessageA(dropped.hwndList, LB_GETITEMHEIGHT, 0, 0));
    session.onUiThread([&] { SendMessageA(inner, CB_SHOWDROPDOWN, FALSE, 0); });
    pressButton(dialog, IDC_NEW_CANCEL);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
}

TEST_F(NewImage, TabFollowsTheRowsAndLabelsTakeTheirAltLetters) {
    HWND dialog = openDialog();
    ASSERT_NE(nullptr, dialog);
    HWND types = combo(dialog), label = GetDlgItem(dialog, IDC_NEW_LABEL),
         oemId = GetDlgItem(dialog, IDC_NEW_OEM_ID);
    // From Create, where the focus starts, once round the dialog; then each label's letter.
    for (HWND next : {types, label, oemId, GetDlgItem(dialog, IDC_NEW_CANCEL),
                      GetDlgItem(dialog, IDC_NEW_CREATE)}) {
        type(VK_TAB, false);
        EXPECT_TRUE(waitUntil([&] { return focusedControl(dialog) == next; }))
            << "Tab went to control " << GetDlgCtrlID(focusedControl(dialog));
    }
    EXPECT_EQ("Image &type", windowText(GetDlgItem(dialog, IDC_NEW_TYPE_LABEL)));
    const std::pair<char, HWND> letters[] = {{'t', types}, {'o', oemId}, {'l', label}};
    for (const auto& letter : letters) {
        type(letter.first, true);
        EXPECT_TRUE(waitUntil([&] { return focusedControl(dialog) == letter.second; }))
            << "Alt+" << letter.first;
    }
    pressButton(dialog, IDC_NEW_CANCEL);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
}

TEST_F(NewImage, CreateWithoutChangesMakesTheDefaultImage) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    HWND dialog = openDialog();  // unchanged: no question
    ASSERT_NE(nullptr, dialog);
    create(dialog);
    EXPECT_EQ("Tolven - [untitled.img]", caption());
    EXPECT_EQ(0, session.editor().hasPath);
    EXPECT_STREQ("", session.editor().imagePath);
    EXPECT_EQ(0, session.editor().currentDirCluster);
    EXPECT_EQ(2880, session.editor().totalSectors());
    EXPECT_EQ("NO NAME    ", bootText(bs::kVolumeLabel, 11));
    EXPECT_EQ("TOLVEN  ", bootText(bs::kOemId, 8));
    EXPECT_TRUE(names().empty());
    EXPECT_EQ("Directory contains 0 folders, 0 files, 0 bytes total. 1457664 bytes free.",
              status());
}

TEST_F(NewImage, EveryTypeCreatesItsImage) {
    for (int i = 0; i < kTypeCount; ++i) {
        HWND dialog = openDialog();
        ASSERT_NE(nullptr, dialog);
        SendMessageA(combo(dialog), CB_SETCURSEL, i, 0);
        create(dialog);
        EXPECT_EQ(kTypes[i].totalSectors, session.editor().totalSectors()) << kTypes[i].text;
        std::vector<TreeNode> nodes = treeNodes(session.control(IDC_INFO_TREE));
        ASSERT_FALSE(nodes.empty());
        std::string size = "- " + std::to_string(kTypes[i].kilobytes) + "KB";
        EXPECT_NE(std::string::npos, nodes[0].text.find(size)) << nodes[0].text;
        EXPECT_EQ("Tolven - [untitled.img]", caption());
    }
    // A fresh image asks nothing at Open (openDialog saw the same at New) nor at closing.
    command(ID_FILE_OPEN);
    cancelChooser("Open disk image");
    PostMessageA(session.window(), WM_CLOSE, 0, 0);
    DWORD exitValue = 99;
    EXPECT_TRUE(session.waitForExit(&exitValue));
}

TEST_F(NewImage, TypedTextIsUpperCaseAndLimited) {
    HWND dialog = openDialog();
    ASSERT_NE(nullptr, dialog);
    HWND label = GetDlgItem(dialog, IDC_NEW_LABEL);
    HWND oemId = GetDlgItem(dialog, IDC_NEW_OEM_ID);
    setText(label, "");
    setText(oemId, "");
    for (char c : std::string("abcdefghijklm")) SendMessageA(label, WM_CHAR, c, 0);
    for (char c : std::string("oem id xyz")) SendMessageA(oemId, WM_CHAR, c, 0);
    EXPECT_EQ("ABCDEFGHIJK", windowText(label));
    EXPECT_EQ("OEM ID X", windowText(oemId));
    SendMessageA(combo(dialog), CB_SETCURSEL, 9, 0);
    create(dialog);
    EXPECT_EQ(720, session.editor().totalSectors());
    EXPECT_EQ("ABCDEFGHIJK", bootText(bs::kVolumeLabel, 11));
    EXPECT_EQ("OEM ID X", bootText(bs::kOemId, 8));
    EXPECT_EQ("ABCDEFGHIJK", windowText(session.control(IDC_VOLUME_LABEL)));
}

TEST_F(NewImage, CancelOrClosingChangesNothing) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    std::vector<std::string> before = names();
    for (int way = 0; way < 2; ++way) {
        HWND dialog = openDialog();
        ASSERT_NE(nullptr, dialog);
        SendMessageA(combo(dialog), CB_SETCURSEL, 0, 0);
        if (way == 0) {
            pressButton(dialog, IDC_NEW_CANCEL);
        } else {
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
        session.onUiThread([] {});
        EXPECT_EQ("Tolven - [populated.img]", caption());
        EXPECT_EQ(2880, session.editor().totalSectors());
        EXPECT_EQ(1, session.editor().hasPath);
        EXPECT_EQ(before, names());
    }
}

TEST_F(NewImage, CancelledQuestionShowsNoDialog) {
    editImage();
    command(ID_FILE_NEW);
    answerBox("Warning", IDCANCEL);
    settle();
    EXPECT_EQ(nullptr, findWindow(session.threadId(), kDialogClass, "New image"));
    EXPECT_EQ("Tolven - [untitled.img *]", caption());
}

// The core's label rule: a refused label keeps the dialog open; an empty one is no label.
TEST_F(NewImage, RefusedLabelKeepsTheDialogAndEmptyLabelIsNoLabel) {
    HWND dialog = openDialog();
    ASSERT_NE(nullptr, dialog);
    HWND label = GetDlgItem(dialog, IDC_NEW_LABEL);
    setText(label, "A*B");
    pressButton(dialog, IDC_NEW_CREATE);
    EXPECT_EQ("Invalid character in volume label!", answerBox("Error", IDOK));
    EXPECT_TRUE(IsWindow(dialog));
    setText(label, "  ");
    create(dialog);
    EXPECT_EQ("NO NAME    ", bootText(bs::kVolumeLabel, 11));
    uint8_t firstSlot = 0xFF;
    session.onUiThread([&] { firstSlot = session.editor().rootDir[0]; });
    EXPECT_EQ(0, firstSlot);
}

// The shown tree goes to a new untitled image of the chosen type, marked changed; contents the
// type cannot hold are refused in an error box and the shown image stays.
TEST_F(NewImage, ChangeFormatOpensTheTreeAsANewUntitledImage) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    std::vector<std::string> before = names();
    std::string large = outputPath("LARGE.BIN");  // an 8.3 name: one slot of the DMF root
    for (int type : {11, 9}) {  // DMF, then 360KB, which cannot take the large file
        command(ID_IMAGE_CHANGE_FORMAT);
        HWND dialog = waitForDialog("Change format");
        ASSERT_NE(nullptr, dialog);
        HWND types = GetDlgItem(dialog, IDC_CHANGE_FORMAT_TYPE);
        EXPECT_EQ(kTypeCount, SendMessageA(types, CB_GETCOUNT, 0, 0));
        EXPECT_EQ(type == 11 ? 2 : 11, SendMessageA(types, CB_GETCURSEL, 0, 0));  // its own
        SendMessageA(types, CB_SETCURSEL, type, 0);
        pressButton(dialog, IDOK);
        std::string refusal = type == 9 ? answerBox("Error", IDOK) : "clusters";
        EXPECT_NE(std::string::npos, refusal.find("clusters")) << refusal;
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
        session.onUiThread([] {});
        EXPECT_EQ("Tolven - [untitled.img *]", caption());
        EXPECT_EQ(3360, session.editor().totalSectors());
        EXPECT_EQ(2048, session.editor().clusterBytes);
        EXPECT_EQ("TESTDISK", windowText(session.control(IDC_VOLUME_LABEL)));
        if (type == 9) break;
        EXPECT_EQ(before, names());
        writeFile(large, std::string(400 * 1024, 'x'));
        int inserted = -1;
        session.onUiThread(
            [&] { inserted = session.editor().insertHostPath(0, large.c_str(), 0); });
        ASSERT_EQ(kResultOk, inserted);
    }
}

}  // namespace
