// Image > Defragment and Image > Wipe free space...: the map's count of fragmented files, the
// question and the report, and Undo bringing every byte back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "tests/ui/file_commands/file_commands_support.h"
#include "tests/unit/image_snapshot.h"

using namespace ui_driver;

// populated.img: SYSTEM.SYS holds clusters 4-5, the folders lie after the files. Cluster 5 moves
// to 100 here, and the freed one holds a byte for the wipe to clear.
TEST_F(FileCommandTest, DefragmentAndWipeAreUndoneByteForByte) {
    ASSERT_EQ(kResultOk, session.openImage(testImagePath("populated.img")));
    std::vector<uint8_t> fragmented, now;
    auto bytes = [&](std::vector<uint8_t>& into) {
        session.onUiThread([&] { into = snapshot(session.editor()); });
    };
    auto mapCount = [&] {
        command(ID_CLUSTER_MAP);
        HWND map = waitForDialog("Cluster organisation");
        std::string text = windowText(GetDlgItem(map, IDC_CLUSTER_MAP_FRAGMENTED));
        pressButton(map, IDC_CLUSTER_MAP_OK);
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(map); }));
        return text;
    };
    session.onUiThread([&] {
        ImageEditor& e = session.editor();
        std::memcpy(e.clusterData(100), e.clusterData(5), e.clusterBytes);
        e.setLink(4, 100);
        e.setLink(100, kEndOfChainMark);
        e.setLink(5, 0);
        e.clusterData(5)[0] = 0x5A;
        e.recordEdit();
    });
    bytes(fragmented);
    EXPECT_EQ("Fragmented files: 1", mapCount());

    command(ID_IMAGE_DEFRAGMENT);
    EXPECT_NE(std::string::npos, answerBox("Defragment", IDOK).find(" folders moved ("));
    EXPECT_EQ("Fragmented files: 0", mapCount());
    commandAndWait(ID_EDIT_UNDO);
    bytes(now);
    EXPECT_EQ(fragmented, now);

    command(ID_IMAGE_WIPE_FREE_SPACE);
    answerBox("Wipe free space", IDYES);
    EXPECT_EQ(0u, answerBox("Wipe free space", IDOK).find("1 free clusters zeroed"));
    commandAndWait(ID_EDIT_UNDO);
    bytes(now);
    EXPECT_EQ(fragmented, now);
}
