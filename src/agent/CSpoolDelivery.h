// Puts data files into the spool folder without ever replacing a file that
// is already there, also when many machines report in the same second.
//
// A file lands under its own name or, when that is taken, under a later
// name of the same pattern. Before it writes a name, the agent claims it:
// MKCOL of a claim collection "claim-<name>" is atomic on the server (its
// file system's mkdir), so one agent at a time holds a name. The holder then
// puts the file with "If-None-Match: *" and deletes the claim. A HEAD first
// skips names already delivered for one request each. Where the server makes
// no collections, the file goes by the conditional PUT alone.
#pragma once

#include "webdav/client.h"

#include <boost/filesystem/path.hpp>

#include <istream>
#include <random>
#include <string>
#include <vector>

class CSpoolDelivery {
 public:
  // `spoolFolder` receives the files; claims are made in the first of
  // `claimFolders` where the server allows it. Folders end with "/".
  CSpoolDelivery(const WebDAV::Client& client, std::string spoolFolder, std::vector<std::string> claimFolders);
  // Deletes the claims still held.
  ~CSpoolDelivery();
  CSpoolDelivery(const CSpoolDelivery&) = delete;
  CSpoolDelivery& operator=(const CSpoolDelivery&) = delete;

  // True when the local data file has landed, under whichever name.
  bool deliver(const boost::filesystem::path& file);
  // Tries once more to delete every claim whose deletion failed.
  void releaseClaims();

  // The later names tried for one file at most, sized for 1,000 machines
  // reporting at once (they need about 20).
  static constexpr int kMaxAttempts = 64;

 private:
  enum class Outcome { kDelivered, kTaken, kFailed };
  enum class Claim { kHeld, kTaken, kNone, kFailed };

  Outcome attempt(const std::string& name, std::istream& content);
  Outcome put(const std::string& remote, std::istream& content) const;
  Claim claim(const std::string& name, std::string& claimed);
  bool claimsWorkHere();
  void release(const std::string& claimed);
  void jump();

  const WebDAV::Client& client_;
  const std::string spoolFolder_;
  const std::vector<std::string> claimFolders_;
  std::size_t claimFolder_ = 0;  // claimFolders_.size(): the server makes no claims
  bool claimsProven_ = false;    // a claim was made in the current claim folder
  std::vector<std::string> held_;
  // The time stamp moves on by a random number of seconds within a window
  // that doubles after each taken name, so that a crowd spreads out in a few
  // steps. The next file of the run starts where the last one landed.
  long long offset_ = 0;
  long long window_;
  std::mt19937_64 random_;
};
