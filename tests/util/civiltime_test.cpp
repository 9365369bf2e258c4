// Local times must come out exactly as mktime gives them, in every zone,
// including around daylight-saving changes and for fields out of range.
#include "util/civiltime.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

class Zone {
 public:
  explicit Zone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  ~Zone() {
    unsetenv("TZ");
    tzset();
  }
};

}  // namespace

TEST(CivilTime, UtcSecondsCarryOverLikeTimegm) {
  EXPECT_EQ(0, wmi::utcSecondsOf(1970, 1, 1, 0, 0, 0));
  EXPECT_EQ(1614853230, wmi::utcSecondsOf(2021, 3, 4, 10, 20, 30));
  EXPECT_EQ(wmi::utcSecondsOf(2022, 1, 1, 0, 0, 0), wmi::utcSecondsOf(2021, 13, 1, 0, 0, 0));
  EXPECT_EQ(wmi::utcSecondsOf(2021, 2, 28, 0, 0, 0), wmi::utcSecondsOf(2021, 3, 0, 0, 0, 0));
  EXPECT_EQ(-86400, wmi::utcSecondsOf(1969, 12, 31, 0, 0, 0));
  EXPECT_EQ(951782400, wmi::utcSecondsOf(2000, 2, 29, 0, 0, 0));
}

TEST(CivilTime, LocalTimesEqualMktimeInEveryZone) {
  for (const char* zone : {"UTC", "Asia/Tokyo", "America/New_York", "Europe/Berlin", "Australia/Lord_Howe",
                           "America/Sao_Paulo", "Pacific/Apia"}) {
    Zone local(zone);
    // Every 7 hours and 13 minutes from 1965 to 2040 lands on every hour of
    // the day and near every daylight-saving change over the years.
    for (long long t = -157766400; t < 2208988800LL; t += 7 * 3600 + 13 * 60) {
      const std::time_t time = static_cast<std::time_t>(t);
      std::tm b{};
      localtime_r(&time, &b);
      const int fields[6] = {b.tm_year + 1900, b.tm_mon + 1, b.tm_mday, b.tm_hour, b.tm_min, b.tm_sec};
      ASSERT_EQ(qztest::mktimeOf(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]),
                wmi::localTimeOf(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]))
          << zone << " " << t;
    }
    // Local times that are skipped or repeated by a change, and fields out of range.
    static const int kDates[][3] = {{2021, 3, 14}, {2021, 11, 7}, {2021, 3, 28}, {2021, 10, 31}, {2021, 4, 4}, {2021, 13, 0}};
    for (int minute = 0; minute < 24 * 60; minute += 10) {
      for (const auto& date : kDates) {
        ASSERT_EQ(qztest::mktimeOf(date[0], date[1], date[2], 0, minute, 0), wmi::localTimeOf(date[0], date[1], date[2], 0, minute, 0))
            << zone << " " << date[0] << "-" << date[1] << "-" << date[2] << " +" << minute << "min";
      }
    }
  }
}
