#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/error_report.h"
#include "image/message_list.h"
#include "image/volume_image.h"
#include "platform/host_error.h"

namespace {

void addText(MessageList& list, const char* text) {
    ASSERT_EQ(1, list.add(text, static_cast<uint32_t>(std::strlen(text) + 1)));
}

// The system's text for a refusal, as a report gives it.
std::string refusalText(HostRefusal why) {
    hostNoteRefusal("probe", why);
    return hostFailureReason("\"probe\"");
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
    addText(list, "third");  // after the queue emptied, it starts fresh
    ASSERT_EQ(1, list.popFront(buffer, sizeof buffer));
    EXPECT_STREQ("third", buffer);
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

TEST(ErrorReport, EachMessageWithItsReasonThenThePathAndTheCode) {
    MessageList list;
    addText(list, "Could not open image file!");
    addText(list, "Could not read file \"b.bin\"!");
    addText(list, "third");
    hostForgetFailures();
    std::string folder = "a.img: " + refusalText(kHostRefusedFolder);
    std::string readOnly = refusalText(kHostRefusedReadOnly);
    hostNoteRefusal("a.img", kHostRefusedFolder);
    hostNoteRefusal("b.bin", kHostRefusedReadOnly);
    std::vector<std::string> expected = {"Could not open image file!",
                                         "Could not read file \"b.bin\"!",
                                         readOnly,
                                         "third",
                                         folder,
                                         "error 100"};
    EXPECT_EQ(expected, composeErrorReport(list, "a.img", 100, kEveryMessage));
    EXPECT_TRUE(list.isEmpty());
    // Nothing queued: no box for the window, the code alone for the CLI; the notes are gone.
    hostNoteRefusal("a.img", kHostRefusedFolder);
    EXPECT_TRUE(composeErrorReport(list, "a.img", kNoErrorCode, kErrorBoxMessageBytes).empty());
    EXPECT_EQ(std::vector<std::string>{"error 7"},
              composeErrorReport(list, "a.img", 7, kEveryMessage));
}

TEST(ErrorReport, BoxTakes3999CharactersOfWholeMessagesAndStillEmptiesQueue) {
    MessageList list;
    std::string line(999, 'm');
    for (int i = 0; i < 10; ++i) addText(list, line.c_str());
    std::vector<std::string> lines = composeErrorReport(list, nullptr, kNoErrorCode,
                                                        kErrorBoxMessageBytes);
    EXPECT_EQ(std::vector<std::string>(4, line), lines);  // 4 * 999 + 3 line feeds: the fifth no
    EXPECT_TRUE(list.isEmpty());
    for (int i = 0; i < 10; ++i) addText(list, line.c_str());
    EXPECT_EQ(10u, composeErrorReport(list, nullptr, kNoErrorCode, kEveryMessage).size());
}

TEST(ErrorReport, UnterminatedOrOverlongTextStaysInBounds) {
    MessageList list;
    std::string block(3 * kMessageTextSize, 'z');  // no terminator, longer than any message
    ASSERT_EQ(1, list.add(block.data(), static_cast<uint32_t>(block.size())));
    std::vector<std::string> lines = composeErrorReport(list, nullptr, kNoErrorCode, kEveryMessage);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(static_cast<size_t>(kMessageTextSize), lines[0].size());
    // A queued text longer than the message buffer is cut to it.
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
