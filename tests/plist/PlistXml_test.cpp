// The XML reader: the value of every element kind, the exact error texts, the
// three entry points and the limits that keep bad files from hurting the run.
#include "plist/Plist.h"
#include "plist/PlistValue.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <sys/stat.h>

namespace {

boost::any read(const std::string& xml) {
  boost::any value;
  Plist::readPlist(xml.data(), static_cast<long long>(xml.size()), value);
  return value;
}

std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">" + body + "</plist>\n";
}

template <typename Read>
std::string errorOf(Read read) {
  try {
    read();
  } catch (const Plist::Error& error) {
    return error.what();
  }
  return "(no error)";
}

std::string nested(int depth) {
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<array>";
  for (int i = 0; i < depth; ++i) xml += "</array>";
  return xml;
}

}  // namespace

TEST(PlistXml, ValuesOfEveryKindAndDictionariesInKeyOrder) {
  const boost::any value = read(plist(
      "<array><integer>  42abc</integer><integer/><real>1.5e3</real><string> Tom &amp; Jerry </string><string/>"
      "<string><![CDATA[<b>]]></string><true/><false/><data>QUJD</data>"
      "<dict><key>alpha</key><integer>1</integer><key>Zeta</key><array/><key>alpha</key><integer>2</integer></dict>"
      "</array>"));
  const Plist::Value array(value);
  EXPECT_EQ(42, *array.at(0).get<long long>());
  EXPECT_EQ(0, *array.at(1).get<long long>());
  EXPECT_EQ(1500.0, *array.at(2).get<double>());
  EXPECT_EQ(" Tom & Jerry ", *array.at(3).get<std::string>());
  EXPECT_EQ("", *array.at(4).get<std::string>());
  EXPECT_EQ("<b>", *array.at(5).get<std::string>());
  EXPECT_TRUE(*array.at(6).get<bool>() && !*array.at(7).get<bool>());
  EXPECT_EQ((Plist::data_type{'A', 'B', 'C'}), *array.at(8).get<Plist::data_type>());
  const Plist::dictionary_type& dictionary = *array.at(9).get<Plist::dictionary_type>();
  ASSERT_EQ(2u, dictionary.size());
  EXPECT_EQ("Zeta", dictionary.begin()->first);  // byte order, not file order
  EXPECT_EQ(2, Plist::Value(value).at(9)["alpha"].integerOr(0));  // the last duplicate wins
}

TEST(PlistXml, TextIsTheFirstChildNodeOnly) {
  const boost::any value = read(plist("<array><string>a<![CDATA[b]]>c</string><string><![CDATA[<x>]]>y</string>"
                                         "<string><key>k</key>tail</string><string> \n </string></array>"));
  const Plist::Value array(value);
  EXPECT_EQ("a", array.at(0).stringOr("?"));
  EXPECT_EQ("<x>", array.at(1).stringOr("?"));
  EXPECT_EQ("", array.at(2).stringOr("?"));  // an element first: no text, not the element's
  EXPECT_EQ("", array.at(3).stringOr("?"));  // whitespace alone is dropped
}

TEST(PlistXml, MalformedDocumentsFailWithTheirExactTexts) {
  const struct {
    std::string xml, message;
  } cases[] = {
      {plist("<dict><key>a</key></dict>"), "Plist: XML dictionary value expected for key abut not found"},
      {plist("<dict><key>a</key><key>b</key><true/></dict>"),
       "Plist: XML dictionary value expected for key abut found another key node"},
      {plist("<dict><string>a</string></dict>"), "Plist: XML dictionary key expected but not found"},
      {plist("<array><dict><key>k</key><x/></dict></array>"), "Plist: XML unknown node type x"},
      {plist("<key>k</key>"), "Plist: XML unknown node type key"},
      {plist(""), "Plist: XML unknown node type "},
      {"<array/>", "Plist: XML unknown node type "},  // no plist element
      {plist("<dict>"), "Plist: XML parsed with error Start-end tags mismatch"},
      {plist(nested(Plist::kMaxNesting + 1)), "Plist: XML nesting deeper than 512 levels"},
      {plist(nested(200000)), "Plist: XML nesting deeper than 512 levels"},  // would overflow the stack
      // Stray text where an element is due.
      {plist("text<dict/>"), "Plist: XML unknown node type "},
      {plist("<dict>text<key>a</key><true/></dict>"), "Plist: XML dictionary key expected but not found"},
      {plist("<array>text<true/></array>"), "Plist: XML unknown node type "},
  };
  for (const auto& c : cases) EXPECT_EQ(c.message, errorOf([&] { read(c.xml); })) << c.xml.substr(0, 200);
  EXPECT_NO_THROW(read(plist(nested(Plist::kMaxNesting))));
  // A failed read leaves the caller's value as it was.
  boost::any kept = std::string("before");
  const std::string bad = plist("<array><integer>1</integer><x/></array>");
  EXPECT_THROW(Plist::readPlist(bad.data(), static_cast<long long>(bad.size()), kept), Plist::Error);
  EXPECT_EQ("before", boost::any_cast<std::string>(kept));
}

TEST(PlistXml, Base64SkipsLineBreaksAndStopsAtPadding) {
  const std::pair<const char*, std::string> cases[] = {
      {"QUJD", "ABC"}, {"\n\t\tQU\n\t\tJD\n", "ABC"}, {"QUI=", "AB"}, {"QQ==", "A"},
      {"QUI", ""},     {"QUJDRA==QUJD", "ABCD"},      {"=QUJD", ""},   {"QUJD\xE3\x81\x82REVG", "ABCDEF"},
  };
  for (const auto& c : cases) {
    const boost::any value = read(plist(std::string("<data>") + c.first + "</data>"));
    const Plist::data_type& bytes = boost::any_cast<const Plist::data_type&>(value);
    EXPECT_EQ(c.second, std::string(bytes.begin(), bytes.end())) << c.first;
  }
}

TEST(PlistEntryPoints, FilesAndBuffersThatCannotBeReadFailCleanly) {
  qztest::ScratchDir dir;
  ASSERT_EQ(0, mkfifo((dir.path() / "pipe").c_str(), 0600));
  const std::pair<boost::filesystem::path, std::string> cases[] = {
      {dir.path() / "missing.xml", "Can't open file."},
      {dir.path(), "Can't open file."},           // a folder
      {dir.path() / "pipe", "Can't open file."},  // must not block
      {dir.write("empty.xml", ""), "Can't read zero length data"},
      {dir.write("bin", qztest::bytes("bplist00\xD0\x08\0\0\0\0\0\0\x01\x01")),
       "Plist: binary data too short for its trailer"},  // goes to the binary reader
      {dir.write("v1", "bplist01"), "Plist: XML parsed with error No document element found"},
      {dir.write("short", "bplist0"), "Plist: XML parsed with error No document element found"},
  };
  for (const auto& c : cases) {
    boost::any value;
    EXPECT_EQ(c.second, errorOf([&] { Plist::readPlist(c.first.string().c_str(), value); })) << c.first;
  }
  boost::any value;
  EXPECT_EQ("Plist: Empty plist data", errorOf([&] { Plist::readPlist(nullptr, 10, value); }));
  EXPECT_EQ("Plist: Empty plist data", errorOf([&] { Plist::readPlist("x", -5, value); }));
  std::istringstream stream("garbage" + plist("<string>ok</string>"));
  stream.seekg(7);  // read from where the stream stands
  Plist::readPlist(stream, value);
  EXPECT_EQ("ok", boost::any_cast<std::string>(value));
}
