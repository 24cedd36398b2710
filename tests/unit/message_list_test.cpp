#include <gtest/gtest.h>

#include <cstring>

#include "image/error_report.h"
#include "image/message_list.h"
#include "image/volume_image.h"

namespace {

void addText(MessageList& list, const char* text) {
    ASSERT_EQ(1, list.add(text, static_cast<uint32_t>(std::strlen(text) + 1)));
}

TEST(MessageList, PopsInQueueOrderAndEmpties) {
    MessageList list;
    addText(list, "first");
    addText(list, "second");
    char buffer[16];
    ASSERT_EQ(1, list.popFront(buffer, sizeof buffer));
    EXPECT_STREQ("first", buffer);
    ASSERT_EQ(1, list.popFront(buffer, sizeof buffer));
    EXPECT_STREQ("second", buffer);
    EXPECT_EQ(0, list.popFront(buffer, sizeof buffer));
    EXPECT_TRUE(list.isEmpty());
}

TEST(MessageList, SmallCapacityCopiesPrefixAndDropsWholeEntry) {
    MessageList list;
    addText(list, "abcdef");
    addText(list, "next");
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(1, list.popFront(buffer, 3));
    EXPECT_EQ(0, std::memcmp(buffer, "abcx", 4));  // three bytes, no terminator added
    ASSERT_EQ(1, list.popFront(buffer, sizeof buffer));
    EXPECT_STREQ("next", buffer);
}

TEST(MessageList, AddAfterPoppingOnlyEntryStartsFresh) {
    MessageList list;
    addText(list, "one");
    char buffer[8];
    ASSERT_EQ(1, list.popFront(buffer, sizeof buffer));
    EXPECT_TRUE(list.isEmpty());
    addText(list, "two");
    ASSERT_EQ(1, list.popFront(buffer, sizeof buffer));
    EXPECT_STREQ("two", buffer);
    EXPECT_TRUE(list.isEmpty());
}

TEST(ErrorReport, JoinsMessagesWithSingleLineFeeds) {
    MessageList list;
    addText(list, "Could not open image file!");
    addText(list, "second");
    addText(list, "third");
    char report[kErrorReportCapacity];
    ASSERT_TRUE(buildErrorReport(list, report));
    EXPECT_STREQ("Could not open image file!\nsecond\nthird", report);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(buildErrorReport(list, report));
    EXPECT_STREQ("", report);
}

TEST(ErrorReport, StopsAt3999CharactersAndStillEmptiesQueue) {
    MessageList list;
    std::string line(999, 'm');
    for (int i = 0; i < 10; ++i) addText(list, line.c_str());
    char report[kErrorReportCapacity + 16];
    std::memset(report, '#', sizeof report);
    ASSERT_TRUE(buildErrorReport(list, report));
    size_t len = std::strlen(report);
    EXPECT_LE(len, 3999u);
    EXPECT_EQ(4 * 999u + 3u, len);  // whole messages only: four fit, the rest are dropped
    EXPECT_EQ('#', report[kErrorReportCapacity]);
    EXPECT_TRUE(list.isEmpty());
}

TEST(ErrorReport, UnterminatedOrOverlongBlockStaysInBounds) {
    MessageList list;
    std::string block(3 * kMessageTextSize, 'z');  // no terminator, longer than any message
    ASSERT_EQ(1, list.add(block.data(), static_cast<uint32_t>(block.size())));
    char report[kErrorReportCapacity];
    ASSERT_TRUE(buildErrorReport(list, report));
    EXPECT_EQ(static_cast<size_t>(kMessageTextSize), std::strlen(report));
}

TEST(QueueMessage, LongTextIsCutToTheMessageBuffer) {
    VolumeImage image;
    std::string path(3000, 'p');
    image.queueMessage("Could not create file \"%s\"!", path.c_str());
    char buffer[kMessageTextSize + 8];
    std::memset(buffer, 0, sizeof buffer);
    ASSERT_EQ(1, image.popFront(buffer, sizeof buffer));
    EXPECT_EQ(static_cast<size_t>(kMessageTextSize - 1), std::strlen(buffer));
    EXPECT_EQ(0, std::strncmp(buffer, "Could not create file \"ppp", 26));
}

}  // namespace
