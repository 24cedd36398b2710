// The file seams note why a call failed; a report finds the reason by the path a message names,
// or gives it with the path the command worked on.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/host_error.h"
#include "platform/host_file.h"
#include "test_support.h"

namespace {

#ifdef _WIN32
const int kNotFound = 2;  // ERROR_FILE_NOT_FOUND
const int kDenied = 5;    // ERROR_ACCESS_DENIED
#else
const int kNotFound = ENOENT;
const int kDenied = EACCES;
#endif

TEST(HostFailureNotes, ReasonGoesWithThePathAMessageNames) {
    testing_support::TempDir dir;
    std::string missing = dir.file("missing.bin");
    hostForgetFailures();
    HostFile file;
    EXPECT_FALSE(file.openForReading(missing.c_str()));
    EXPECT_EQ("", hostFailureReason("Could not read file \"" + dir.file("other.bin") + "\"!"));
    std::string message = "Could not read file \"" + missing + "\"!";
    EXPECT_EQ(hostErrorText(kNotFound), hostFailureReason(message));
    EXPECT_EQ("", hostFailureReason(message)) << "a note explains one message";
}

TEST(HostFailureNotes, RefusedReadOnlyTargetIsExplainedWithTheCallersPath) {
    testing_support::TempDir dir;
    std::string target = dir.file("t.img");
    testing_support::writeFile(target, {1, 2, 3});
    std::filesystem::permissions(target, std::filesystem::perms::owner_read);
    hostForgetFailures();
    HostReplacement replacement;
    EXPECT_FALSE(replacement.begin(target.c_str()));
    EXPECT_EQ("t.img: " + hostErrorText(kDenied), hostExplainedPath("t.img"));
    EXPECT_EQ("", hostExplainedPath("t.img")) << "every note is forgotten";
    std::filesystem::permissions(target, std::filesystem::perms::owner_all);
}

}  // namespace
