#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <set>
#include <utility>
#include <vector>

#include "image/chain_cursor.h"
#include "test_support.h"

using testing_support::newImage;

namespace {

struct Walk {
    std::vector<uint16_t> clusters;
    LinkKind last;
    bool looped;
};

void setLinks(VolumeImage& image, std::initializer_list<std::pair<int, int>> links) {
    for (auto l : links) image.fatTable[l.first] = static_cast<uint16_t>(l.second);
}

Walk walk(const VolumeImage& image, uint32_t first) {
    Walk w{{}, kLinkBroken, false};
    ChainCursor c(image, first);
    for (; c.atCluster(); c.advance()) {
        w.clusters.push_back(c.cluster());
        w.last = c.link().kind;
    }
    w.looped = c.looped();
    return w;
}

TEST(ChainCursor, EndsAtEveryKindOfLinkAndWhereTheChainComesBack) {
    auto image = newImage();
    int beyond = image->getClusterCount() + 2;
    // A loop behind a tail, a cluster linked to itself, a bad cluster, a free one, an end mark.
    setLinks(*image, {{5, 6},
                      {6, 7},
                      {7, 8},
                      {8, 6},
                      {9, 9},
                      {10, 11},
                      {11, kBadClusterMark},
                      {12, 0},
                      {13, 0xFFF},
                      {14, beyond}});
    EXPECT_EQ((std::vector<uint16_t>{5, 6, 7, 8}), walk(*image, 5).clusters);
    EXPECT_TRUE(walk(*image, 5).looped);
    EXPECT_EQ(std::vector<uint16_t>{9}, walk(*image, 9).clusters);
    EXPECT_TRUE(walk(*image, 9).looped);
    EXPECT_EQ((std::vector<uint16_t>{10, 11}), walk(*image, 10).clusters);
    EXPECT_EQ(kLinkBad, walk(*image, 10).last);
    EXPECT_EQ(kLinkBroken, walk(*image, 12).last);
    EXPECT_EQ(kLinkEnd, walk(*image, 13).last);
    EXPECT_EQ(kLinkBroken, walk(*image, 14).last);
    EXPECT_FALSE(walk(*image, 13).looped);
    EXPECT_TRUE(walk(*image, 0).clusters.empty());
    EXPECT_TRUE(walk(*image, 0xFFF).clusters.empty());
}

// Tails and loops of lengths around the powers of two at which the count's tortoise moves.
TEST(ChainCursor, TakesEachClusterOfTailAndLoopOnce) {
    auto image = newImage();
    ASSERT_GE(image->getClusterCount(), 2800);
    for (int tail : {0, 1, 2, 3, 7, 8, 64, 800}) {
        for (int loop : {1, 2, 3, 4, 63, 64, 65, 2000}) {
            std::memset(image->fatTable, 0, sizeof image->fatTable);
            int first = 2, count = tail + loop;
            for (int i = 0; i < count; ++i)
                image->fatTable[first + i] = static_cast<uint16_t>(first + i + 1);
            image->fatTable[first + count - 1] = static_cast<uint16_t>(first + tail);
            Walk w = walk(*image, static_cast<uint32_t>(first));
            ASSERT_EQ(static_cast<size_t>(count), w.clusters.size()) << tail << " " << loop;
            EXPECT_EQ(static_cast<size_t>(count),
                      std::set<uint16_t>(w.clusters.begin(), w.clusters.end()).size());
            EXPECT_TRUE(w.looped);
        }
    }
}

// A walk that frees what it passes still moves along the links it read; walks nest without
// disturbing each other, where a mark per cluster shared by all walks would not.
TEST(ChainCursor, FreeingWalkAndNestedWalksFollowTheirOwnReading) {
    auto image = newImage();
    setLinks(*image, {{5, 6}, {6, 7}, {7, 5}});
    std::vector<uint16_t> outer, inner;
    for (ChainCursor c(*image, 5); c.atCluster(); c.advance()) {
        outer.push_back(c.cluster());
        inner.push_back(static_cast<uint16_t>(walk(*image, c.cluster()).clusters.size()));
    }
    EXPECT_EQ((std::vector<uint16_t>{5, 6, 7}), outer);
    EXPECT_EQ((std::vector<uint16_t>{3, 3, 3}), inner);

    image->setLink(7, 0xFFF);
    outer.clear();
    for (ChainCursor c(*image, 5); c.atCluster(); c.advance()) {
        outer.push_back(c.cluster());
        c.link();
        image->setLink(c.cluster(), 0);
    }
    EXPECT_EQ((std::vector<uint16_t>{5, 6, 7}), outer);
    EXPECT_EQ(0, image->countUsedClusters());
    image->setLink(1, 0x123);
    image->setLink(static_cast<uint32_t>(image->getClusterCount() + 2), 0x123);
    EXPECT_EQ(0, image->fatTable[1]);
    EXPECT_EQ(0, image->fatTable[image->getClusterCount() + 2]);
}

}  // namespace
