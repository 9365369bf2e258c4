// Reports read for one collector: only the wanted keys of each item are kept.
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

TEST(SystemProfiler, ADroppedValueThatAFullReadRejectsFailsTheRead) {
  qztest::ScratchDir dir;
  const fs::path file = dir.write("app", "<plist><array><dict><key>_items</key><array><dict>"
                                         "<key>_name</key><string>A</string>"
                                         "<key>info</key><array><dict><key>x</key><unknown/></dict></array>"
                                         "</dict></array></dict></array></plist>");
  EXPECT_TRUE(Plist::readReport(file).empty());
  EXPECT_TRUE(Plist::readReport(file, {"_name"}).empty());
}
