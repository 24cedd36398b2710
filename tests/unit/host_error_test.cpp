// The file seams note why a call failed; a report finds the reason by the path a message names.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/host_error.h"
#include "platform/host_file.h"
#include "test_support.h"

TEST(HostFailureNotes, ReasonGoesWithThePathAMessageNamesOnce) {
    testing_support::TempDir dir;
    std::string missing = dir.file("missing.bin");
    hostForgetFailures();
    HostFile file;
    EXPECT_FALSE(file.openForReading(missing.c_str()));
    EXPECT_EQ("", hostFailureReason("Could not read file \"" + dir.file("other.bin") + "\"!"));
    std::string message = "Could not read file \"" + missing + "\"!";
    EXPECT_EQ(hostErrorText(ENOENT), hostFailureReason(message));  // 2 on Windows too
    EXPECT_EQ("", hostFailureReason(message));
}
