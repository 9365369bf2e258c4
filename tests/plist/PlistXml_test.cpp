// The XML reader: the value of every element kind, the exact error texts, the
// three entry points and the limits that keep bad files from hurting the run.
#include "plist/Plist.h"
#include "plist/PlistValue.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

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

std::string errorOf(const std::string& xml) {
  try {
    read(xml);
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

TEST(PlistXml, ScalarsAreReadAsTheirTypesFromTheFirstChildText) {
  const boost::any value = read(plist(
      "<array><integer>  42abc</integer><integer/><integer>-7</integer><real>1.5e3</real><real>x</real>"
      "<string> Tom &amp; Jerry </string><string></string><string><![CDATA[<b>]]></string>"
      "<true/><false/><data>QUJD</data></array>"));
  const Plist::Value array(value);
  EXPECT_EQ(42, *array.at(0).get<long long>());
  EXPECT_EQ(0, *array.at(1).get<long long>());
  EXPECT_EQ(-7, *array.at(2).get<long long>());
  EXPECT_EQ(1500.0, *array.at(3).get<double>());
  EXPECT_EQ(0.0, *array.at(4).get<double>());
  EXPECT_EQ(" Tom & Jerry ", *array.at(5).get<std::string>());
  EXPECT_EQ("", *array.at(6).get<std::string>());
  EXPECT_EQ("<b>", *array.at(7).get<std::string>());
  EXPECT_TRUE(*array.at(8).get<bool>());
  EXPECT_FALSE(*array.at(9).get<bool>());
  EXPECT_EQ((Plist::data_type{'A', 'B', 'C'}), *array.at(10).get<Plist::data_type>());
  EXPECT_EQ(11u, array.elements().size());
}

TEST(PlistXml, DictionaryKeysComeOutInByteOrderAndTheLastDuplicateWins) {
  const boost::any value =
      read(plist("<dict><key>alpha</key><integer>1</integer><key>Zeta</key><array/>"
                 "<key>alpha</key><integer>2</integer><key></key><string>empty key</string></dict>"));
  const Plist::dictionary_type& dictionary = boost::any_cast<const Plist::dictionary_type&>(value);
  std::vector<std::string> keys;
  for (const auto& entry : dictionary) keys.push_back(entry.first);
  EXPECT_EQ((std::vector<std::string>{"", "Zeta", "alpha"}), keys);
  EXPECT_EQ(2, Plist::Value(value)["alpha"].integerOr(0));
  EXPECT_TRUE(Plist::Value(value)["Zeta"].elements().empty());
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
      {plist(nested(200000)), "Plist: XML nesting deeper than 512 levels"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.message, errorOf(c.xml)) << c.xml.substr(0, 200);
  EXPECT_NO_THROW(read(plist(nested(Plist::kMaxNesting))));
  // A failed read leaves the caller's value as it was.
  boost::any kept = std::string("before");
  const std::string bad = plist("<array><integer>1</integer><x/></array>");
  EXPECT_THROW(Plist::readPlist(bad.data(), static_cast<long long>(bad.size()), kept), Plist::Error);
  EXPECT_EQ("before", boost::any_cast<std::string>(kept));
}

TEST(PlistXml, Base64SkipsLineBreaksAndStopsAtPadding) {
  const struct {
    const char* text;
    std::string bytes;
  } cases[] = {
      {"QUJD", "ABC"}, {"\n\t\tQU\n\t\tJD\n", "ABC"}, {"QUI=", "AB"}, {"QQ==", "A"},
      {"QUI", ""},     {"QUJDRA==QUJD", "ABCD"},      {"=QUJD", ""},   {"QUJD\xE3\x81\x82REVG", "ABCDEF"},
  };
  for (const auto& c : cases) {
    const boost::any value = read(plist(std::string("<data>") + c.text + "</data>"));
    const Plist::data_type& bytes = boost::any_cast<const Plist::data_type&>(value);
    EXPECT_EQ(c.bytes, std::string(bytes.begin(), bytes.end())) << c.text;
  }
}

TEST(PlistEntryPoints, FilesThatCannotBeReadFailCleanly) {
  qztest::ScratchDir dir;
  const auto errorOfFile = [](const boost::filesystem::path& file) -> std::string {
    boost::any value;
    try {
      Plist::readPlist(file.string().c_str(), value);
    } catch (const Plist::Error& error) {
      return error.what();
    }
    return "(no error)";
  };
  EXPECT_EQ("Can't open file.", errorOfFile(dir.path() / "missing.xml"));
  EXPECT_EQ("Can't open file.", errorOfFile(dir.path()));  // a folder
  ASSERT_EQ(0, mkfifo((dir.path() / "pipe").c_str(), 0600));
  EXPECT_EQ("Can't open file.", errorOfFile(dir.path() / "pipe"));  // must not block
  EXPECT_EQ("Can't read zero length data", errorOfFile(dir.write("empty.xml", "")));
  EXPECT_EQ("Plist: binary property lists are not supported yet",
            errorOfFile(dir.write("binary", qztest::bytes("bplist00\xD0\x08\0\0\0\0\0\0\x01\x01"))));
  // Another signature version, or a short buffer, is XML.
  EXPECT_EQ(0u, errorOfFile(dir.write("v1", "bplist01")).find("Plist: XML parsed with error"));
  EXPECT_EQ(0u, errorOfFile(dir.write("short", "bplist0")).find("Plist: XML parsed with error"));

  boost::any value;
  EXPECT_THROW(Plist::readPlist(nullptr, 10, value), Plist::Error);
  EXPECT_THROW(Plist::readPlist("x", 0, value), Plist::Error);
  EXPECT_THROW(Plist::readPlist("x", -5, value), Plist::Error);
}

TEST(PlistEntryPoints, StreamIsReadFromItsCurrentPosition) {
  std::istringstream stream("garbage" + plist("<string>ok</string>"));
  stream.seekg(7);
  boost::any value;
  Plist::readPlist(stream, value);
  EXPECT_EQ("ok", boost::any_cast<std::string>(value));
}

TEST(PlistValue, AbsentOrMistypedValuesGiveEmptyAnswersNeverExceptions) {
  const boost::any value = read(plist("<array><dict><key>n</key><string>5</string></dict></array>"));
  const Plist::Value root(value);
  EXPECT_EQ(nullptr, root.at(0)["n"].get<long long>());
  EXPECT_EQ(9, root.at(0)["n"].integerOr(9));
  EXPECT_EQ("5", root.at(0)["n"].stringOr("-"));
  EXPECT_EQ("-", root.at(1)["n"].stringOr("-"));
  EXPECT_EQ("-", root["n"].at(0).stringOr("-"));
  EXPECT_TRUE(Plist::Value()["x"].elements().empty());
}
