// Image > Defragment and Image > Wipe free space... on an image with a fragmented file: the
// cluster map's count, the report, and Undo bringing every byte back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "tests/ui/file_commands/file_commands_support.h"
#include "tests/unit/image_snapshot.h"

using namespace ui_driver;

namespace {

class DefragmentWindow : public FileCommandTest {
protected:
    std::string fragmentedCount() {
        command(ID_CLUSTER_MAP);
        HWND map = waitForDialog("Cluster organisation");
        EXPECT_NE(nullptr, map);
        if (map == nullptr) return std::string();
        std::string text = windowText(GetDlgItem(map, IDC_CLUSTER_MAP_FRAGMENTED));
        pressButton(map, IDC_CLUSTER_MAP_OK);
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(map); }));
        return text;
    }

    std::vector<uint8_t> bytes() {
        std::vector<uint8_t> s;
        session.onUiThread([&] { s = snapshot(session.editor()); });
        return s;
    }
};

// populated.img: SYSTEM.SYS holds clusters 4-5; its second cluster is moved to 100 here. Its
// folders lie after its files, so defragmenting moves them too.
TEST_F(DefragmentWindow, DefragmentAndWipeAreUndoneByteForByte) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    session.onUiThread([&] {
        ImageEditor& e = session.editor();
        std::memcpy(e.clusterData(100), e.clusterData(5), e.clusterBytes);
        e.setLink(4, 100);
        e.setLink(100, kEndOfChainMark);
        e.setLink(5, 0);
        e.clusterData(5)[0] = 0x5A;  // a free cluster holding something: the wipe's to zero
        e.recordEdit();
    });
    EXPECT_EQ("Fragmented files: 1", fragmentedCount());
    std::vector<uint8_t> fragmented = bytes();

    command(ID_IMAGE_DEFRAGMENT);
    EXPECT_NE(std::string::npos, answerBox("Defragment", IDOK).find(" folders moved ("));
    EXPECT_EQ("Fragmented files: 0", fragmentedCount());
    EXPECT_NE(fragmented, bytes());
    commandAndWait(ID_EDIT_UNDO);
    EXPECT_EQ(fragmented, bytes());

    command(ID_IMAGE_WIPE_FREE_SPACE);
    answerBox("Wipe free space", IDNO);
    EXPECT_EQ(fragmented, bytes());
    command(ID_IMAGE_WIPE_FREE_SPACE);
    answerBox("Wipe free space", IDYES);
    EXPECT_NE(std::string::npos, answerBox("Wipe free space", IDOK).find("1 free clusters zeroed"));
    uint8_t wiped = 1;
    session.onUiThread([&] { wiped = session.editor().clusterData(5)[0]; });
    EXPECT_EQ(0, wiped);
    commandAndWait(ID_EDIT_UNDO);
    EXPECT_EQ(fragmented, bytes());
}

}  // namespace
