// Dates are UTC whatever the local zone.
#include "plist/Plist.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <cstdlib>

namespace {

// Runs the test body in the given zone; the process goes back to UTC after.
struct InZone {
  explicit InZone(const char* zone) { use(zone); }
  ~InZone() { use("UTC"); }
  static void use(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
};

time_t epochOf(const std::string& text) {
  Plist::Date date;
  date.setTimeFromXMLConvention(text);
  return date.timeAsEpoch();
}

}  // namespace

TEST(PlistDate, XmlDatesAreUtcInEveryZone) {
  for (const char* zone : {"UTC", "Asia/Tokyo", "America/New_York", "Australia/Lord_Howe"}) {
    InZone tz(zone);
    EXPECT_EQ(978307200, epochOf("2001-01-01T00:00:00Z")) << zone;
    EXPECT_EQ(1625400000, epochOf("2021-07-04T12:00:00Z")) << zone;  // summer time in New York
    EXPECT_EQ(18000, epochOf("1970-01-01T05:00:00Z")) << zone;       // before the local epoch in Tokyo
    Plist::Date date;
    date.setTimeFromXMLConvention("2021-03-04T10:20:30Z");
    EXPECT_EQ("2021-03-04T10:20:30Z", date.timeAsXMLConvention()) << zone;
    date.setTimeFromXMLConvention("2001-01-01T00:00:00Z");
    EXPECT_EQ(0.0, date.timeAsAppleEpoch()) << zone;
  }
  InZone tz("America/New_York");  // local dates follow the zone's rule of that day
  EXPECT_EQ(epochOf("2021-01-15T17:00:00Z"), Plist::Date(1, 15, 2021, 12, 0, 0, false).timeAsEpoch());
  EXPECT_EQ(epochOf("2021-07-15T16:00:00Z"), Plist::Date(7, 15, 2021, 12, 0, 0, false).timeAsEpoch());
}

TEST(PlistDate, FieldsCarryOverAndMissingFieldsComeFromTheEpoch) {
  EXPECT_EQ(epochOf("2021-01-01T00:00:00Z"), epochOf("2020-13-01T00:00:00Z"));
  EXPECT_EQ(epochOf("2023-03-01T00:00:00Z"), epochOf("2023-02-29T00:00:00Z"));
  EXPECT_EQ(epochOf("2021-03-01T00:00:00Z"), epochOf("2021-03"));
  EXPECT_EQ(0, epochOf("not a date"));
  // Dates before 1970 are read as they are, as the binary form reads them.
  EXPECT_EQ(-2, epochOf("1969-12-31T23:59:58Z"));
  EXPECT_EQ(-2177452800, epochOf("1901-01-01T00:00:00Z"));
}

TEST(PlistDate, XmlDatesReadExactlyAsScanfReadsThem) {
  const char* texts[] = {"2021-03-04T10:20:30Z", " 2021-3-4T1:2:3Z", "+2021-03-04T10:20:30", "-001-12-31T23:59:59Z",
                         "20210-03-04T10:20:30Z", "2021-03-04 10:20:30Z", "2021-03", "x2021", "", "2021-+3-04T10:20:30Z",
                         "2021- 3- 4T 1: 2: 3Z", "2021-03-04T10:20:3", "99999999999", "2021-03-04T10:20:30Zjunk", "-"};
  for (const char* text : texts) {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    std::sscanf(text, "%4d-%2d-%2dT%2d:%2d:%2dZ", &year, &month, &day, &hour, &minute, &second);
    Plist::Date date;
    date.setTimeFromXMLConvention(text);
    EXPECT_EQ(Plist::Date(month, day, year, hour, minute, second, true).timeAsEpoch(), date.timeAsEpoch()) << text;
  }
}
