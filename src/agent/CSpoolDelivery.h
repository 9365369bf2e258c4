// Puts data files into the spool folder without ever replacing a file that
// is already there, also when many machines report in the same second.
//
// A file lands under its own name or, when that is taken, under a later
// name of the same pattern. For each name tried, the agent claims it (see
// CSpoolClaims.h), looks whether a file of that name has landed meanwhile,
// puts the file with "If-None-Match: *" and releases the claim. Transient
// failures are sent again (see CRetrier.h); a PUT whose answer was lost is
// looked for before it is sent again, so that it never lands twice.
#pragma once

#include "agent/CRetrier.h"
#include "agent/CSpoolClaims.h"

#include "webdav/client.h"

#include <cstdint>
#include <random>
#include <string>

class CSpoolDelivery {
 public:
  // `spoolFolder` receives the files, claims go to the first of
  // `claimFolders` that allows them. Folders end with "/".
  CSpoolDelivery(WebDAV::Client& client, CRetrier& retrier, std::string spoolFolder,
                 std::vector<std::string> claimFolders, std::uint64_t seed);

  // True when the data file `name` with `content` has landed, under
  // whichever name.
  bool deliver(const std::string& name, const std::string& content);
  // Releases what is left and reports what stays on the server.
  void finish() { claims_.finish(); }

  // The later names tried for one file at most, sized for 1,000 machines
  // reporting at once (they need about 20).
  static constexpr int kMaxAttempts = 64;

 private:
  enum class Outcome { kDelivered, kTaken, kFailed };

  Outcome attempt(const std::string& name, const std::string& content);
  Outcome place(const std::string& remote, const std::string& content, bool claimed);
  void removeCut(const std::string& remote);
  void jump();

  WebDAV::Client& client_;
  CRetrier& retrier_;
  const std::string spoolFolder_;
  std::mt19937_64 random_;
  CSpoolClaims claims_;
  // The time stamp moves on by a random number of seconds within a window
  // that doubles after each taken name, so that a crowd spreads out in a few
  // steps. The next file of the run starts where the last one landed.
  long long offset_ = 0;
  long long window_;
};
