// tolven-cli ls --deleted and undelete on files mtools deleted: what comes back passes fsck.fat -n
// and mtools reads it as it was before the deletion.
#include <gtest/gtest.h>

#include <string>

#include "tool_support.h"

using testing_support::readFile;
using testing_support::TempDir;
using tool_support::cli;
using tool_support::quote;
using tool_support::run;

namespace {

class UndeleteTools : public ::testing::Test {
protected:
    void SetUp() override {
        image = dir.file("undelete.img");
        i = " -i " + quote(image) + " ";
        std::string big = quote(dir.file("big")), small = quote(dir.file("small"));
        ASSERT_EQ(0, run("seq 1 400 > " + big + " && printf 'small one' > " + small + " && " +
                         tool_support::mkfsFat() + " -C " + quote(image) + " 1440 && mmd" + i +
                         "::KEEP && mcopy" + i + big + " ::README.TXT && mcopy" + i + small + " '::Long name of a file.txt'" +
                         " && mmd" + i + "::DOCS && mcopy" + i + big + " ::DOCS/NOTES.TXT && mcopy" +
                         i + small + " '::DOCS/Small inner.txt' && mdel" + i +
                         "::README.TXT '::Long name of a file.txt' && mdeltree" + i + "::DOCS")
                         .status);
    }
    tool_support::CommandResult tolven(const std::string& args) {
        tool_support::CommandResult r = run(cli() + " " + args);
        std::string report;
        EXPECT_TRUE(tool_support::fsckClean(image, &report)) << report;
        return r;
    }
    std::string mtype(const std::string& path) {
        return run("mtype" + i + quote("::" + path)).output;
    }

    TempDir dir;
    std::string image, i;
};

TEST_F(UndeleteTools, WhatMtoolsDeletedComesBackAsItWas) {
    std::string listed = tolven("ls " + quote(image) + " -r --deleted").output;
    for (std::string name : {"?EADME.TXT", "Long name of a file.txt", "?OCS/?OTES.TXT"})
        EXPECT_NE(std::string::npos, listed.find("recoverable /" + name + "\n")) << listed;

    std::vector<uint8_t> before = readFile(image);
    EXPECT_EQ(1, tolven("undelete " + quote(image) + " '?EADME.TXT'").status);
    EXPECT_EQ(before, readFile(image));

    tool_support::CommandResult r = tolven("undelete " + quote(image) +
                                           " '?eadme.txt' 'long NAME of a file.txt' ?OCS "
                                           "--first-char r");
    EXPECT_EQ(0, r.status) << r.output;
    EXPECT_EQ(0u, r.output.find("recovered /README.TXT\nrecovered /Long name of a file.txt\n"))
        << r.output;
    EXPECT_NE(std::string::npos,
              r.output.find("recovered (first character unknown, given _) /ROCS/_OTES.TXT\n"))
        << r.output;
    std::string seq = run("seq 1 400").output;
    EXPECT_EQ(seq, mtype("README.TXT"));
    EXPECT_EQ("small one", mtype("Long name of a file.txt"));
    EXPECT_EQ(seq, mtype("ROCS/_OTES.TXT"));
    EXPECT_EQ("small one", mtype("ROCS/Small inner.txt"));
    EXPECT_EQ("", tolven("ls " + quote(image) + " -r --deleted").output);
}

TEST_F(UndeleteTools, TakenClustersAreRefusedAndCopiedOutAsPartial) {
    // The new file takes README.TXT's first cluster (its entry goes into KEEP, so mtools does
    // not reuse README.TXT's slot).
    ASSERT_EQ(0, run("printf new > " + quote(dir.file("new")) + " && mcopy" + i +
                     quote(dir.file("new")) + " ::KEEP/NEW.TXT")
                     .status);
    EXPECT_NE(std::string::npos, tolven("ls " + quote(image) + " --deleted")
                                     .output.find("overwritten /?EADME.TXT\n"));
    std::vector<uint8_t> before = readFile(image);
    tool_support::CommandResult r =
        tolven("undelete " + quote(image) + " ?EADME.TXT --first-char R");
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.output.find("clusters it needs are taken")) << r.output;
    EXPECT_EQ(before, readFile(image));

    std::string out = dir.file("out");
    ASSERT_EQ(0, run("mkdir " + quote(out)).status);
    r = tolven("undelete " + quote(image) + " ?EADME.TXT --to " + quote(out));
    EXPECT_EQ(0, r.status) << r.output;
    EXPECT_EQ("partial (clusters taken, only what could be read) /_EADME.TXT\n", r.output);
    EXPECT_EQ(before, readFile(image));
    // The first cluster is lost; the rest of the file follows as it was.
    std::string seq = run("seq 1 400").output;
    std::vector<uint8_t> got = readFile(out + "/_EADME.TXT");
    EXPECT_EQ(seq.substr(512), std::string(got.begin(), got.begin() + 980));
}

}  // namespace
