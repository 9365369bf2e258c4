// The binary reader against hand-assembled files: each object kind, the
// count rule, and every malformed shape, which must fail with Plist::Error
// without reading outside the buffer.
#include "plist/Plist.h"

#include <boost/locale/encoding_utf.hpp>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Objects = std::vector<std::string>;

struct Layout {
  int refSize = 1;
  int offsetSize = 1;
  std::uint64_t topObject = 0;
};

std::string bigEndian(std::uint64_t value, int width) {
  std::string out(static_cast<std::size_t>(width), '\0');
  for (int i = width - 1; i >= 0; --i, value >>= 8) out[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
  return out;
}

std::string trailer(const Layout& layout, std::size_t objects, std::uint64_t offsetTableOffset) {
  return std::string(6, '\0') + static_cast<char>(layout.offsetSize) + static_cast<char>(layout.refSize) +
         bigEndian(objects, 8) + bigEndian(layout.topObject, 8) + bigEndian(offsetTableOffset, 8);
}

// "bplist00", the objects one after another, their offset table, the trailer.
std::string assemble(const Objects& objects, Layout layout = Layout()) {
  std::string data = "bplist00";
  std::string offsets;
  for (const std::string& object : objects) {
    offsets += bigEndian(data.size(), layout.offsetSize);
    data += object;
  }
  const std::uint64_t tableOffset = data.size();
  return data + offsets + trailer(layout, objects.size(), tableOffset);
}

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

boost::any read(const std::string& buffer) {
  boost::any value;
  Plist::readPlist(buffer.data(), static_cast<long long>(buffer.size()), value);
  return value;
}

template <typename T>
T readAs(const std::string& buffer) {
  return boost::any_cast<T>(read(buffer));
}

// The error and the offset it names, or "no error".
std::string errorOf(const std::string& buffer) {
  try {
    read(buffer);
  } catch (const Plist::Error& error) {
    return std::string(error.what()) + " @" + std::to_string(error.offset());
  }
  return "no error";
}

// A scalar as text: its type and value.
std::string shown(const boost::any& value) {
  if (const long long* integer = boost::any_cast<long long>(&value)) return "integer " + std::to_string(*integer);
  if (const double* real = boost::any_cast<double>(&value)) return "real " + std::to_string(*real);
  if (const Plist::Date* date = boost::any_cast<Plist::Date>(&value))
    return "date " + std::to_string(date->timeAsEpoch());
  if (const std::string* text = boost::any_cast<std::string>(&value)) return "string " + *text;
  if (const Plist::data_type* data = boost::any_cast<Plist::data_type>(&value))
    return "data " + std::string(data->begin(), data->end());
  if (const bool* flag = boost::any_cast<bool>(&value)) return *flag ? "true" : "false";
  return "?";
}

using Dict = std::map<std::string, boost::any>;
using Array = std::vector<boost::any>;

}  // namespace

TEST(BinaryPlist, ScalarsOfEveryKind) {
  const std::string twenty = "abcdefghijklmnopqrst";
  const std::pair<std::string, std::string> cases[] = {
      // Integers are unsigned below eight bytes, and the low 64 bits above.
      {bytes({0x10, 0xFF}), "integer 255"},
      {bytes({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}), "integer -2"},
      {bytes({0x12, 0xFF, 0xFF, 0xFF, 0xFF}), "integer 4294967295"},
      {bytes({0x14}) + bigEndian(0x0102030405060708ULL, 8) + bigEndian(42, 8), "integer 42"},
      {bytes({0x23, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0}), "real 1.500000"},
      {bytes({0x22, 0x3F, 0xC0, 0, 0}), "real 1.500000"},
      // Dates count from 2001: 2021-03-04T10:20:30Z is 636546030 seconds later.
      {bytes({0x33, 0, 0, 0, 0, 0, 0, 0, 0}), "date 978307200"},
      {bytes({0x33, 0x41, 0xC2, 0xF8, 0x75, 0xF7, 0x00, 0x00, 0x00}), "date 1614853230"},
      {bytes({0x33, 0x7F, 0xF0, 0, 0, 0, 0, 0, 0}), "date 9223372036854775807"},  // infinite: saturated
      {bytes({0x5F, 0x10, 0x14}) + twenty, "string " + twenty},  // the count in an integer after the marker
      {bytes({0x53}) + "abc", "string abc"},
      {bytes({0x63, 0x65, 0xE5, 0x67, 0x2C, 0x8A, 0x9E}), "string 日本語"},
      {bytes({0x43}) + "ABC", "data ABC"},
      {bytes({0x09}), "true"},
      {bytes({0x08}), "false"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, shown(read(assemble({c.first})))) << c.second;
}

TEST(BinaryPlist, ContainersWithKeysInByteOrderAndTheLaterDuplicateWinning) {
  const Objects objects = {bytes({0xD3, 1, 2, 3, 4, 5, 6}), bytes({0x51}) + "a", bytes({0x51}) + "B",
                           bytes({0x51}) + "a", bytes({0x10, 1}), bytes({0xA0}), bytes({0x10, 3})};
  const Dict dict = readAs<Dict>(assemble(objects));
  ASSERT_EQ(2u, dict.size());
  EXPECT_EQ("B", dict.begin()->first);
  EXPECT_TRUE(boost::any_cast<Array>(dict.at("B")).empty());
  EXPECT_EQ(3, boost::any_cast<long long>(dict.at("a")));
  EXPECT_TRUE(readAs<Dict>(assemble({bytes({0xD0})})).empty());

  // Bytes above 0x7F sort after ASCII: "z", "\xC3\xA9", "z" again must
  // replace the first "z", not be taken for a key after the last one.
  const Objects high = {bytes({0xD3, 1, 2, 1, 3, 4, 5}), bytes({0x51}) + "z", bytes({0x52, 0xC3, 0xA9}),
                        bytes({0x10, 1}), bytes({0x10, 2}), bytes({0x10, 3})};
  const Dict ordered = readAs<Dict>(assemble(high));
  ASSERT_EQ(2u, ordered.size());
  EXPECT_EQ("z", ordered.begin()->first);
  EXPECT_EQ(3, boost::any_cast<long long>(ordered.at("z")));

  // Sharing within reason is fine: one string referenced by three arrays.
  const Array shared = readAs<Array>(assemble({bytes({0xA2, 1, 1}), bytes({0xA2, 2, 2}), bytes({0x51}) + "s"}));
  EXPECT_EQ(2u, boost::any_cast<Array>(shared[1]).size());
}

TEST(BinaryPlist, TwoByteReferencesAndOffsetsAndATopObjectOtherThanZero) {
  Layout layout;
  layout.refSize = 2;
  layout.offsetSize = 2;
  layout.topObject = 1;
  const Array array = readAs<Array>(assemble({bytes({0xA2, 0, 1, 0, 2}), bytes({0x10, 7}), bytes({0x51}) + "x"}, layout));
  ASSERT_EQ(2u, array.size());
  EXPECT_EQ(7, boost::any_cast<long long>(array[0]));
  EXPECT_EQ("x", boost::any_cast<std::string>(array[1]));
}

// Every malformed shape fails with Plist::Error, its text and the offset of
// the object (or of the trailer field) at fault, without reading outside the
// buffer, recursing without end or expanding without bound.
TEST(BinaryPlist, MalformedDataFailsWithItsTextAndOffset) {
  std::string cutTable = assemble({bytes({0x10, 1}), bytes({0x10, 2})}, Layout{1, 2, 0});
  const std::size_t tableStart = 8 + 4;
  cutTable.erase(tableStart + 3, 1);  // the offset table's last entry cut short
  cutTable.replace(cutTable.size() - 8, 8, bigEndian(tableStart, 8));
  std::string beyond = assemble({bytes({0x10, 1})});
  beyond.replace(beyond.size() - 8, 8, bigEndian(1u << 30, 8));
  std::string wildOffset = assemble({bytes({0x10, 1})});
  wildOffset[wildOffset.size() - 33] = static_cast<char>(0xF0);
  Objects expanding;  // each array holds the next one twice: 2^40 values from a few dozen bytes
  for (int i = 0; i < 40; ++i) expanding.push_back(bytes({0xA2, i + 1, i + 1}));
  expanding.push_back(bytes({0x10, 1}));
  Objects deep;
  for (int i = 0; i < 600; ++i) deep.push_back(bytes({0xA1}) + bigEndian(i + 1, 2));
  deep.push_back(bytes({0xA0}));

  const std::pair<std::string, std::string> cases[] = {
      {assemble({bytes({0x00})}), "Plist: null byte encountered, unsure how to parse @8"},
      {assemble({bytes({0x0F})}), "Plist: fill byte encountered, unsure how to parse @8"},
      {assemble({bytes({0x05})}), "Plist: unknown header \x05 @8"},
      {assemble({bytes({0xA1, 1}), bytes({0x80, 1})}), "This type is not supported @10"},
      {assemble({bytes({0xD1, 1, 1}), bytes({0x10, 1})}),
       "Error parsing dictionary.  Key can't be parsed as a string @11"},
      {cutTable, "Out of bounds getRange @14"},
      {assemble({bytes({0x13, 1, 2})}), "Out of bounds getRange @8"},
      {"bplist00" + std::string(31, '\0'), "Plist: binary data too short for its trailer @-1"},
      {beyond, "Plist: offset table outside the data @35"},
      {assemble({bytes({0x10, 1})}, Layout{1, 0, 0}), "Plist: offset table entries of 0 bytes @16"},
      {assemble({bytes({0xA1, 9})}), "Plist: object reference 9 outside the offset table @9"},
      {wildOffset, "Plist: object offset 240 outside the object table @10"},
      {assemble({bytes({0x5F, 0x13}) + bigEndian(1ULL << 62, 8)}), "Out of bounds getRange @8"},  // count too large
      {assemble({bytes({0x6F, 0x13}) + bigEndian(~0ULL, 8)}), "Out of bounds getRange @8"},      // negative count
      {assemble({bytes({0x5F, 0x51}) + "x"}), "Plist: count is not an integer @8"},
      {assemble({bytes({0x21, 0, 0})}), "Plist: real of 2 bytes @8"},
      {assemble({bytes({0xA1, 0})}), "Plist: container 0 contains itself @8"},
      {assemble({bytes({0xA1, 1}), bytes({0xD1, 2, 0}), bytes({0x51}) + "k"}), "Plist: container 0 contains itself @8"},
      {assemble(expanding), "Plist: more values than the data can hold @121"},
      {assemble(deep, Layout{2, 2, 0}), "Plist: nesting deeper than 512 levels @1544"},
      {assemble({bytes({0x61, 0xD8, 0x00})}), "Plist: invalid UTF-16 string: a lone surrogate @8"},
      {assemble({bytes({0x62, 0x00, 0x41, 0xDC, 0x00})}), "Plist: invalid UTF-16 string: a lone surrogate @8"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, errorOf(c.first)) << c.second;
}

// The UTF-16 strings of a binary file decode exactly as Boost.Locale's strict
// conversion does, surrogate pairs included, and fail where it fails.
TEST(BinaryPlist, Utf16StringsDecodeLikeBoostLocale) {
  std::mt19937 random(20261208);
  const char16_t interesting[] = {0x0041, 0x00E9, 0x07FF, 0x0800, 0x3042, 0xFFFF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xFFFE};
  for (int round = 0; round < 20000; ++round) {
    // Mostly short texts, and now and then one too long for a small buffer.
    const bool longText = round % 100 == 0;
    std::u16string units(longText ? 300 + random() % 300 : random() % 6 + 1, u'\0');
    for (char16_t& unit : units)
      unit = random() % 2 ? interesting[random() % (sizeof interesting / sizeof interesting[0])]
                          : static_cast<char16_t>(random() % 3 ? random() % 0x80 : random());
    if (longText && round % 200 == 0) {  // well-formed: surrogates only as pairs
      for (std::size_t i = 0; i < units.size(); ++i)
        if (units[i] >= 0xD800 && units[i] <= 0xDFFF) units[i] = i + 1 < units.size() ? 0xD83D : u'x';
      for (std::size_t i = 0; i + 1 < units.size(); ++i)
        if (units[i] == 0xD83D) units[++i] = 0xDE00;
    }
    std::string object = units.size() < 15 ? bytes({0x60 + static_cast<int>(units.size())})
                                           : bytes({0x6F, 0x11}) + bigEndian(units.size(), 2);
    for (char16_t unit : units) object += bigEndian(unit, 2);
    std::string expected;
    try {
      expected = boost::locale::conv::utf_to_utf<char>(units.data(), units.data() + units.size(),
                                                       boost::locale::conv::stop);
    } catch (const boost::locale::conv::conversion_error&) {
      ASSERT_NE("no error", errorOf(assemble({object}))) << round;
      continue;
    }
    ASSERT_EQ(expected, readAs<std::string>(assemble({object}))) << round;
  }
}
