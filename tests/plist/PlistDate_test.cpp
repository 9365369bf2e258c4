// Dates are UTC whatever the local zone, and read as sscanf reads them.
#include "plist/PlistDate.h"

#include "util/civiltime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

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

TEST(PlistDate, XmlDatesAreUtcInEveryZoneAndFieldsCarryOver) {
  const struct {
    const char* text;
    time_t epoch;
  } cases[] = {
      {"2001-01-01T00:00:00Z", 978307200},
      {"2021-07-04T12:00:00Z", 1625400000},  // summer time in New York
      {"1970-01-01T05:00:00Z", 18000},       // before the local epoch in Tokyo
      {"2020-13-01T00:00:00Z", 1609459200},  // month 13 is January
      {"2023-02-29T00:00:00Z", 1677628800},  // the first of March
      {"2021-03", 1614556800},               // missing fields from the epoch
      {"not a date", 0},
      {"1969-12-31T23:59:58Z", -2},  // before 1970, as the binary form reads them
      {"1901-01-01T00:00:00Z", -2177452800},
  };
  for (const char* zone : {"UTC", "Asia/Tokyo", "America/New_York", "Australia/Lord_Howe"}) {
    InZone tz(zone);
    for (const auto& c : cases) EXPECT_EQ(c.epoch, epochOf(c.text)) << zone << " " << c.text;
  }
}

TEST(PlistDate, XmlDatesReadExactlyAsScanfReadsThem) {
  const char* texts[] = {"2021-03-04T10:20:30Z", " 2021-3-4T1:2:3Z", "+2021-03-04T10:20:30", "-001-12-31T23:59:59Z",
                         "20210-03-04T10:20:30Z", "2021-03-04 10:20:30Z", "2021-03", "x2021", "", "2021-+3-04T10:20:30Z",
                         "2021- 3- 4T 1: 2: 3Z", "2021-03-04T10:20:3", "99999999999", "2021-03-04T10:20:30Zjunk", "-"};
  for (const char* text : texts) {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    std::sscanf(text, "%4d-%2d-%2dT%2d:%2d:%2dZ", &year, &month, &day, &hour, &minute, &second);
    EXPECT_EQ(wmi::utcSecondsOf(year, month, day, hour, minute, second), epochOf(text)) << text;
  }
}
