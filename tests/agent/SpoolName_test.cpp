// Later names of a data file on the spool: the same pattern, a later stamp.
#include "agent/SpoolName.h"

#include <gtest/gtest.h>

TEST(SpoolName, StampMovesOnTheCalendarAndOtherNamesHaveNoLaterName) {
  const struct {
    const char* name;
    long long seconds;
    const char* later;
  } cases[] = {
      {"QZ-0-1220240305070809.dat", 0, "QZ-0-1220240305070809.dat"},
      {"QZ-0-0120240305070809.dat", 7, "QZ-0-0120240305070816.dat"},
      {"QZ-0-1220241231235959.dat", 1, "QZ-0-1220250101000000.dat"},
      {"QZ-0-1220240228235950.dat", 256, "QZ-0-1220240229000406.dat"},
      {"QZ-0-1220240229120000.dat", 86400 * 365, "QZ-0-1220250228120000.dat"},
      {"QZ-0-1220241301000000.dat", 1, ""},  // month 13
      {"QZ-0-1220240305250000.dat", 1, ""},  // 25 o'clock
      {"QZ-0-12202403050708.dat", 1, ""},
      {"QZ-1-1220240305070809.dat", 1, ""},
      {"QZ-0-1x20240305070809.dat", 1, ""},
      {"QZ-0-1220240305070809.txt", 1, ""},
      {"claim-QZ-0-1220240305070809", 1, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.later, wmi::laterSpoolName(c.name, c.seconds)) << c.name;
}
