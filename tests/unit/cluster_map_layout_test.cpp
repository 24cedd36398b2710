#include <gtest/gtest.h>

#include "ui/cluster_map_layout.h"

namespace {

const uint32_t kWhite = 0xFFFFFF;
const uint32_t kGreen = 0x00C000;  // 0x00BBGGRR
const uint32_t kBlue = 0xFF0000;
const uint32_t kRed = 0x0000FF;

TEST(ClusterMapLayout, ColourFollowsFatClass) {
    EXPECT_EQ(kWhite, clusterMapColour(0x000));
    EXPECT_EQ(kGreen, clusterMapColour(0x001));
    EXPECT_EQ(kGreen, clusterMapColour(0x002));
    EXPECT_EQ(kGreen, clusterMapColour(0xFEF));
    EXPECT_EQ(kGreen, clusterMapColour(0xFFF));
    EXPECT_EQ(kBlue, clusterMapColour(0xFF0));
    EXPECT_EQ(kBlue, clusterMapColour(0xFF6));
    EXPECT_EQ(kBlue, clusterMapColour(0xFF8));
    EXPECT_EQ(kBlue, clusterMapColour(0xFFE));
    EXPECT_EQ(kRed, clusterMapColour(0xFF7));
}

TEST(ClusterMapLayout, FrameEndsAboveTheLegendAndSwatchesSitLeftOfTheirTexts) {
    MapRect frame = clusterMapFrame(624, 3, 416);
    EXPECT_EQ(3, frame.left);
    EXPECT_EQ(3, frame.top);
    EXPECT_EQ(624 - 6 - 3, frame.right);
    EXPECT_EQ(412, frame.bottom);

    MapRect swatch = clusterMapSwatch({27, 416, 147, 431});
    EXPECT_EQ(16, swatch.left);
    EXPECT_EQ(23, swatch.right);
    EXPECT_EQ(420, swatch.top);
    EXPECT_EQ(427, swatch.bottom);
}

TEST(ClusterMapLayout, CellNStartsTheSecondRow) {
    int n = clusterMapCellsPerRow(624, 3);
    EXPECT_EQ((624 - 6 - 7) / 8, n);

    MapRect first = clusterMapCell(0, n);
    EXPECT_EQ(5, first.left);
    EXPECT_EQ(5, first.top);
    EXPECT_EQ(12, first.right);
    EXPECT_EQ(12, first.bottom);

    EXPECT_EQ(0, clusterMapHit(5, 5, n, 100));
    EXPECT_EQ(n + 1, clusterMapHit(5 + 8 + 7, 5 + 8 + 7, n, 100));  // the gap belongs to the cell
    EXPECT_EQ(-1, clusterMapHit(4, 5, n, 100));
    EXPECT_EQ(-1, clusterMapHit(5 + 8 * n, 5, n, 100));
    EXPECT_EQ(-1, clusterMapHit(5, 5 + 8 * 2, n, 2 * n));

    MapRect lastOfRow = clusterMapCell(n - 1, n);
    EXPECT_EQ(5 + 8 * (n - 1), lastOfRow.left);
    EXPECT_EQ(5, lastOfRow.top);

    MapRect second = clusterMapCell(n, n);
    EXPECT_EQ(5, second.left);
    EXPECT_EQ(13, second.top);
    EXPECT_EQ(20, second.bottom);
    // The last cell of a row stays left of the frame's right edge.
    EXPECT_LT(lastOfRow.right, clusterMapFrame(624, 3, 416).right);
}

TEST(ClusterMapLayout, CellsPerRowAndCellCountHaveTheirBounds) {
    EXPECT_EQ(1, clusterMapCellsPerRow(10, 3));
    EXPECT_EQ(1, clusterMapCellsPerRow(0, 0));
    MapRect cell = clusterMapCell(3, clusterMapCellsPerRow(0, 0));
    EXPECT_EQ(5, cell.left);
    EXPECT_EQ(5 + 3 * 8, cell.top);
    // The cell count never passes the FAT table.
    EXPECT_EQ(0, clusterMapCellCount(0));
    EXPECT_EQ(0, clusterMapCellCount(-5));
    EXPECT_EQ(2847, clusterMapCellCount(2847));
    EXPECT_EQ(kFatTableEntries - 2, clusterMapCellCount(kFatTableEntries));
    EXPECT_EQ(kFatTableEntries - 2, clusterMapCellCount(65535));
}

}  // namespace

TEST(ClusterMapLayout, CellsGrowWithTheScreenAndStayInsideTheFrame) {
    // 144 dots per inch: 11-pixel cells, a one-pixel gap; the row is as full as the frame allows.
    int n = clusterMapCellsPerRow(947, 4, 144);
    MapRect first = clusterMapCell(0, n, 144), last = clusterMapCell(n - 1, n, 144);
    EXPECT_EQ(8, first.left);
    EXPECT_EQ(19, first.right);
    EXPECT_EQ(931, last.right);  // the frame's right edge is 936: no room for one more
    EXPECT_EQ(2 * n - 1, clusterMapHit(last.left + 11, first.top + 12, n, 3 * n, 144));
    EXPECT_EQ(11, clusterMapSwatch({40, 600, 160, 622}, 144).bottom - 605);
}
