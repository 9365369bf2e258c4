// Dates are UTC whatever the local zone, and never overflow on odd input.
#include "plist/Plist.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace {

// Sets TZ for the life of the object.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_;
  std::string old_;
};

Plist::Date fromText(const std::string& text) {
  Plist::Date date;
  date.setTimeFromXMLConvention(text);
  return date;
}

}  // namespace

TEST(PlistDate, XmlDatesAreUtcInEveryZone) {
  for (const char* zone : {"UTC", "Asia/Tokyo", "America/New_York", "Australia/Lord_Howe"}) {
    TimeZone tz(zone);
    EXPECT_EQ(978307200, fromText("2001-01-01T00:00:00Z").timeAsEpoch()) << zone;
    EXPECT_EQ(0.0, fromText("2001-01-01T00:00:00Z").timeAsAppleEpoch()) << zone;
    EXPECT_EQ(1625400000, fromText("2021-07-04T12:00:00Z").timeAsEpoch()) << zone;  // summer time in New York
    EXPECT_EQ(1614853230, fromText("2021-03-04T10:20:30Z").timeAsEpoch()) << zone;
    EXPECT_EQ(18000, fromText("1970-01-01T05:00:00Z").timeAsEpoch()) << zone;  // before the local epoch in Tokyo
    EXPECT_EQ("2021-03-04T10:20:30Z", fromText("2021-03-04T10:20:30Z").timeAsXMLConvention()) << zone;
  }
}

TEST(PlistDate, FieldsCarryOverAndMissingFieldsComeFromTheEpoch) {
  EXPECT_EQ(fromText("2021-01-01T00:00:00Z").timeAsEpoch(), fromText("2020-13-01T00:00:00Z").timeAsEpoch());
  EXPECT_EQ(fromText("2023-03-01T00:00:00Z").timeAsEpoch(), fromText("2023-02-29T00:00:00Z").timeAsEpoch());
  EXPECT_EQ(fromText("2024-03-01T00:00:00Z").timeAsEpoch(), fromText("2024-02-29T00:00:00Z").timeAsEpoch() + 86400);
  EXPECT_EQ(fromText("2021-03-01T00:00:00Z").timeAsEpoch(), fromText("2021-03").timeAsEpoch());
  EXPECT_EQ(0, fromText("not a date").timeAsEpoch());
  // Dates before 1970 are read as they are, as the binary form reads them.
  EXPECT_EQ(-2, fromText("1969-12-31T23:59:58Z").timeAsEpoch());
  EXPECT_EQ(-2177452800, fromText("1901-01-01T00:00:00Z").timeAsEpoch());
  EXPECT_EQ("9999-12-31T23:59:59Z", fromText("9999-12-31T23:59:59Z").timeAsXMLConvention());
}

TEST(PlistDate, AppleEpochTruncatesTowardZeroAndSaturates) {
  Plist::Date date;
  date.setTimeFromAppleEpoch(-0.5);
  EXPECT_EQ(978307199, date.timeAsEpoch());
  date.setTimeFromAppleEpoch(1e300);
  EXPECT_EQ(std::numeric_limits<time_t>::max(), date.timeAsEpoch());
  EXPECT_EQ("", date.timeAsXMLConvention());
  date.setTimeFromAppleEpoch(-1e300);
  EXPECT_EQ(std::numeric_limits<time_t>::min(), date.timeAsEpoch());
  date.setTimeFromAppleEpoch(std::nan(""));
  EXPECT_EQ(0, date.timeAsEpoch());
}

TEST(PlistDate, LocalDatesFollowTheZoneOfThatDay) {
  TimeZone tz("America/New_York");
  const Plist::Date winter(1, 15, 2021, 12, 0, 0, false);
  const Plist::Date summer(7, 15, 2021, 12, 0, 0, false);
  EXPECT_EQ(fromText("2021-01-15T17:00:00Z").timeAsEpoch(), winter.timeAsEpoch());
  EXPECT_EQ(fromText("2021-07-15T16:00:00Z").timeAsEpoch(), summer.timeAsEpoch());
  EXPECT_EQ(-1, Plist::Date::compare(winter, summer));
  EXPECT_TRUE(summer > winter);
  EXPECT_EQ(181 * 86400 - 3600, summer.secondsSinceDate(winter));
}
