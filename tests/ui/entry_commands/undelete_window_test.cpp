// View > Show deleted entries and Undelete through the real window, on what mtools deleted. The
// image saved here is checked by tests/ui/check_saved_images.sh with fsck.fat and mtools.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/ui/entry_commands/entry_support.h"

using namespace ui_driver;
using namespace entry_test;

namespace {

int imageOf(UiSession& session, const std::string& name) {
    int index = indexOf(session, name);
    return index < 0 ? -1 : listRows(fileList(session), 1)[static_cast<size_t>(index)].image;
}

TEST(UndeleteWindow, ShowDeletedThenUndeleteAndUndo) {
    UiSession session;
    ASSERT_TRUE(session.start()) << "the main window never appeared";
    std::string copy = dataPath("out\\undeleted.img");
    ASSERT_TRUE(CopyFileA(dataPath("mdeleted.img").c_str(), copy.c_str(), FALSE));
    ASSERT_EQ(kResultOk, session.openImage(copy));
    EXPECT_EQ(-1, indexOf(session, "?eadme.txt"));

    postCommand(session, ID_VIEW_SHOW_DELETED);
    session.settle();
    const int kDeletedIcon = 2, kDocumentIcon = 1;
    EXPECT_EQ(kDeletedIcon, imageOf(session, "?eadme.txt"));
    EXPECT_EQ(kDeletedIcon, imageOf(session, "Long file name document.txt"));
    EXPECT_EQ(kDeletedIcon, imageOf(session, "[?AMES]"));

    // The long name gives the lost character: nothing to ask.
    selectNames(session, {"Long file name document.txt"});
    postCommand(session, ID_EDIT_UNDELETE);
    session.settle();
    EXPECT_EQ(kDocumentIcon, imageOf(session, "Long file name document.txt"));

    UiSession::EditState before = session.editState();
    selectNames(session, {"?eadme.txt"});
    ASSERT_TRUE(contextMenuPick(session, indexOf(session, "?eadme.txt"), 'U'));
    HWND ask = waitForDialog(session, "Undelete");
    ASSERT_NE(nullptr, ask);
    EXPECT_TRUE(hasChildText(ask, "The first character of \"?EADME.TXT\" is lost. Type the "
                                  "character it began with:"));
    setText(GetDlgItem(ask, IDC_FIRST_CHAR_EDIT), "r");
    pressButton(ask, IDOK);
    session.settle();
    EXPECT_EQ(kDocumentIcon, imageOf(session, "readme.txt"));
    EXPECT_TRUE(session.undoRedoGivesBack(before, session.editState()));

    int result = -1;
    session.onUiThread([&] {
        result = session.editor().saveImageFile(copy.c_str());
        if (result == kResultOk) session.editor().imageSaved();
    });
    EXPECT_EQ(kResultOk, result);
}

}  // namespace
