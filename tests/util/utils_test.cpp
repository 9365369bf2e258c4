#include "util/utils.h"

#include "support/TestFiles.h"

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

using qztest::ScratchDir;

TEST(ParseMap, LastOccurrenceWinsAndLinesWithoutColonAreSkipped) {
  ScratchDir dir;
  const auto file = dir.write("dmidecode", "A: 1\nno colon here\nA: 3\n\tSerial Number: ABC123 \nurl: http://x:80\n");
  const auto map = wmi::parseMap(file);
  EXPECT_EQ(3u, map.size());
  EXPECT_EQ("3", map.at("A"));
  EXPECT_EQ("ABC123", map.at("Serial Number"));
  EXPECT_EQ("http://x:80", map.at("url"));  // further colons belong to the value
}

TEST(ParseMap, MissingFileGivesEmptyMapAndIsNotCreated) {
  ScratchDir dir;
  EXPECT_TRUE(wmi::parseMap(dir.path() / "absent").empty());
  EXPECT_FALSE(boost::filesystem::exists(dir.path() / "absent"));
}

TEST(ParseMap, OnlyTheFirst511BytesOfALineCountAndReadingGoesOn) {
  ScratchDir dir;
  const std::string longValue(600, 'v');
  const auto file = dir.write("map", "key: " + longValue + "\nnext: 2\n");
  const auto map = wmi::parseMap(file);
  EXPECT_EQ(std::string(511 - 5, 'v'), map.at("key"));
  EXPECT_EQ("2", map.at("next"));
  EXPECT_EQ(2u, map.size());  // the rest of the long line is not a line of its own
}

TEST(ParseMap, LineEndsAtNulAndEmptyKeyIsKept) {
  ScratchDir dir;
  const auto file = dir.write("map", std::string("a: b\0: hidden\n: empty key\n", 26));
  const auto map = wmi::parseMap(file);
  EXPECT_EQ("b", map.at("a"));
  EXPECT_EQ("empty key", map.at(""));
}

TEST(ParseMap, HugeSingleLineFileEndsCleanly) {
  ScratchDir dir;
  const auto file = dir.write("map", "k:" + std::string(1 << 20, 'x'));
  EXPECT_EQ(std::string(509, 'x'), wmi::parseMap(file).at("k"));
}

TEST(SingleLine, FirstLineTrimmedAndLaterLinesIgnored) {
  ScratchDir dir;
  EXPECT_EQ("host.example.com", wmi::singleLine(dir.write("a", "  host.example.com \r\nsecond\n")));
  EXPECT_EQ("", wmi::singleLine(dir.write("b", "\nsecond line\n")));
  EXPECT_EQ("unterminated", wmi::singleLine(dir.write("c", "unterminated")));
  EXPECT_EQ("", wmi::singleLine(dir.path() / "missing"));
  EXPECT_EQ("", wmi::singleLine(dir.path()));  // a folder reads as empty
}

TEST(Trim, RemovesOuterWhitespaceOnly) {
  EXPECT_EQ("a b", wmi::trim("  a b  "));
  EXPECT_EQ("x", wmi::trim("x\r\n"));
  EXPECT_EQ("a\n\tb", wmi::trim("\v\fa\n\tb\t"));
  EXPECT_EQ("", wmi::trim(" \t\r\n"));
  EXPECT_EQ("", wmi::trim(""));
}

TEST(Format, PrintfRulesAndCutAt511Bytes) {
  EXPECT_EQ("255.255.255.0", wmi::format("%lu.%lu.%lu.%lu", 255ul, 255ul, 255ul, 0ul));
  EXPECT_EQ("V M (eth0)", wmi::format("%s %s (%s)", "V", "M", "eth0"));
  const std::string big(2000, 'z');
  EXPECT_EQ(std::string(511, 'z'), wmi::format("%s", big.c_str()));
}

TEST(CurrentTime, FormatsLocalTimeAndGivesEmptyWhenTooLong) {
  setenv("TZ", "UTC", 1);
  tzset();
  const std::string stamp = wmi::currentTime("%Y%m%d%H%M%S");
  ASSERT_EQ(14u, stamp.size());
  EXPECT_EQ(std::string::npos, stamp.find_first_not_of("0123456789"));
  EXPECT_EQ("", wmi::currentTime(std::string(100, 'x')));
  EXPECT_EQ(std::string(79, 'x'), wmi::currentTime(std::string(79, 'x')));
}

TEST(LineReading, UnterminatedLastLineIsNotSeen) {
  ScratchDir dir;
  std::vector<std::string> lines;
  wmi::forEachTerminatedLine(dir.write("f", "one\ntwo\nthree"), [&](const std::string& l) { lines.push_back(l); });
  EXPECT_EQ((std::vector<std::string>{"one", "two"}), lines);
  lines.clear();
  wmi::forEachTerminatedLine(dir.path() / "missing", [&](const std::string& l) { lines.push_back(l); });
  EXPECT_TRUE(lines.empty());
}

TEST(SplitAtBlanks, NeighbouringBlanksGiveEmptyFields) {
  EXPECT_EQ((std::vector<std::string>{"bash", "", "5.0", "key"}), wmi::splitAtBlanks("bash  5.0 key"));
  EXPECT_EQ((std::vector<std::string>{"", "a"}), wmi::splitAtBlanks(" a"));
  EXPECT_EQ((std::vector<std::string>{"a\tb"}), wmi::splitAtBlanks("a\tb"));
}

TEST(FileContents, WholeFileOrNothing) {
  ScratchDir dir;
  const std::string bytes("a\0b\nlast", 8);
  EXPECT_EQ(bytes, wmi::fileContents(dir.write("f", bytes)));
  EXPECT_EQ("", wmi::fileContents(dir.path() / "missing"));
  EXPECT_EQ("", wmi::fileContents(dir.path()));  // a folder
  EXPECT_EQ("", wmi::fileContents(dir.write("empty", "")));
}

TEST(Readers, APipeWhereAFileIsExpectedReadsAsNothingInsteadOfBlocking) {
  ScratchDir dir;
  const boost::filesystem::path pipe = dir.path() / "pipe";
  ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));  // no writer: opening it to read would block
  EXPECT_TRUE(wmi::parseMap(pipe).empty());
  EXPECT_EQ("", wmi::singleLine(pipe));
  EXPECT_EQ("", wmi::fileContents(pipe));
  int lines = 0;
  wmi::forEachTerminatedLine(pipe, [&](const std::string&) { ++lines; });
  EXPECT_EQ(0, lines);
}
