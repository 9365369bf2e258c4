// Reports read for one collector: only the wanted keys of each item are kept,
// and a report that cannot be read leaves a trace.
#include "plist/SystemProfiler.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace fs = boost::filesystem;

TEST(SystemProfiler, ItemsKeepOnlyTheWantedKeysInBothForms) {
  const Plist::ItemKeys wanted = {"_name", "version"};
  for (const char* form : {"macos", "macos-binary"}) {
    const fs::path file = fs::path(QZ_FIXTURES_DIR) / form / "imac-2017" / "app";
    const boost::any full = Plist::readReport(file);
    const boost::any kept = Plist::readReport(file, wanted);
    const Plist::array_type& fullItems = Plist::itemList(full).elements();
    const Plist::array_type& keptItems = Plist::itemList(kept).elements();
    ASSERT_EQ(fullItems.size(), keptItems.size()) << form;
    ASSERT_FALSE(keptItems.empty()) << form;
    for (std::size_t i = 0; i < keptItems.size(); ++i) {
      const Plist::dictionary_type& fullItem = *Plist::Value(fullItems[i]).get<Plist::dictionary_type>();
      Plist::dictionary_type::size_type present = 0;
      for (const std::string& key : wanted) {
        present += fullItem.count(key);
        EXPECT_EQ(Plist::Value(fullItems[i])[key].stringOr(""), Plist::Value(keptItems[i])[key].stringOr("")) << key;
      }
      EXPECT_EQ(present, Plist::Value(keptItems[i]).get<Plist::dictionary_type>()->size()) << form << " " << i;
    }
    // Outside the items nothing is dropped.
    EXPECT_EQ("SPApplicationsDataType", Plist::Value(kept).at(0)["_dataType"].stringOr("")) << form;
  }
}

// A report that is there but unreadable is named once on standard error, with
// the reader's complaint and where it was found; a missing or empty one is
// not (the collection script names a source that failed). A read that keeps
// only some keys of the items fails alike, also over a value it drops.
TEST(SystemProfiler, ALostReportIsNamedWithItsErrorAndOffset) {
  qztest::ScratchDir dir;
  const std::string prefix = "qz-agent: a report could not be read, so left out of the data files: ";
  const struct {
    const char* name;
    std::string content;  // "<none>": no file
    std::string line;
  } cases[] = {
      {"missing.xml", "<none>", ""},
      {"empty.xml", "", ""},
      {"cut.xml", "<plist><array><dict>",
       prefix + "cut.xml (Plist: XML parsed with error Start-end tags mismatch, at byte 19)\n"},
      {"odd.xml", "<plist>\n<array><x/></array></plist>",
       prefix + "odd.xml (Plist: XML unknown node type x, at byte 16)\n"},
      // An array at byte 8 whose one element is object 5 of a table of one.
      {"app", "<plist><array><dict><key>_items</key><array><dict><key>_name</key><string>A</string>"
              "<key>info</key><array><dict><key>x</key><unknown/></dict></array></dict></array></dict></array></plist>",
       prefix + "app (Plist: XML unknown node type unknown, at byte 125)\n"},
      {"bin", qztest::bytes("bplist00\xA1\x05\x08" "\0\0\0\0\0\0\x01\x01" "\0\0\0\0\0\0\0\x01" "\0\0\0\0\0\0\0\0"
                            "\0\0\0\0\0\0\0\x0A"),
       prefix + "bin (Plist: object reference 5 outside the offset table, at byte 9)\n"},
  };
  for (const auto& c : cases) {
    const fs::path file = dir.path() / c.name;
    if (c.content != "<none>") dir.write(c.name, c.content);
    for (const Plist::ItemKeys& keys : {Plist::ItemKeys(), Plist::ItemKeys{"_name"}}) {
      testing::internal::CaptureStderr();
      EXPECT_TRUE(Plist::readReport(file, keys).empty()) << c.name;
      EXPECT_EQ(c.line, testing::internal::GetCapturedStderr()) << c.name << " " << keys.size();
    }
  }
}
