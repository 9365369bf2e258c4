// Remote names: normalisation, joining under a root, and quoting.
#include "webdav/urn.h"

#include <gtest/gtest.h>

using WebDAV::Urn;

TEST(Urn, NormalisesToOneLeadingSeparatorAndNoDoubles) {
  EXPECT_EQ("/", Urn("", true).path());
  EXPECT_EQ("/", Urn("/", true).path());
  EXPECT_TRUE(Urn("", false).is_root());
  EXPECT_EQ("/a/b", Urn("a//b", false).path());
  EXPECT_EQ("/a/", Urn("a", true).path());
  EXPECT_EQ("/a/b/", Urn("///a////b", true).path());
  EXPECT_FALSE(Urn("a/b", false).is_directory());
  EXPECT_TRUE(Urn("a/b/", false).is_directory());
}

TEST(Urn, JoinsOnlyUnderADirectory) {
  EXPECT_EQ("/x/y z", (Urn("/x/", true) + "y z").path());
  // The spool layout: root plus a folder written with a doubled separator.
  EXPECT_EQ("/SPOOL/agent/decryptdata/QZ-0-12.dat",
            (Urn("/SPOOL/", true) + "/agent/decryptdata//QZ-0-12.dat").path());
  EXPECT_EQ("/SPOOL/", (Urn("/SPOOL/", true) + "/").path());
  // A root that is not a directory keeps its own path.
  EXPECT_EQ("/SPOOL", (Urn("/SPOOL", false) + "file").path());
}

TEST(Urn, QuotesEachSegmentAndKeepsTheSeparators) {
  CURL* handle = curl_easy_init();
  EXPECT_EQ("/", Urn("/", true).quote(handle));
  EXPECT_EQ("/x/y%20z", Urn("/x/y z", false).quote(handle));
  EXPECT_EQ("/a%2Bb/c%3Fd%23e/", Urn("/a+b/c?d#e", true).quote(handle));
  EXPECT_EQ("/%E6%97%A5-._~", Urn("/日-._~", false).quote(handle));
  curl_easy_cleanup(handle);
}

TEST(Urn, SplitDropsEmptyRuns) {
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), WebDAV::split("//a//b/", "/"));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), WebDAV::split("a, b,c", ", "));
  EXPECT_TRUE(WebDAV::split("///", "/").empty());
  EXPECT_TRUE(WebDAV::split("", "/").empty());
}
