// Claims on the names of the spool folder, so that one agent at a time
// writes a name, also when many machines report in the same second.
//
// A claim is the creation of a resource "claim-<name>" that only one
// request can create: a collection (MKCOL) on servers that make each one
// once, or an exclusive LOCK on servers whose MKCOL succeeds again on an
// existing collection. Which one a folder allows is decided once per run by
// a probe under a fresh random name, never from the answer to a name that
// other agents may be claiming at the same moment. Claims are made in the
// first folder of a list where the server allows one; where none does, the
// files go without claims, and the run says so.
//
// A claim is deleted only when this run knows it made it: a claim whose
// answer was lost may be another agent's, and is left to expire. Claims
// older than an hour are stale (no run holds one that long): each run
// removes a few of them.
#pragma once

#include "agent/CRetrier.h"

#include "webdav/client.h"

#include <map>
#include <random>
#include <string>
#include <vector>

class CSpoolClaims {
 public:
  enum class Result { kHeld, kTaken, kUnclaimed, kFailed };

  // Claims older than this are removed by any run.
  static constexpr long long kStaleSeconds = 60 * 60;
  // Stale claims removed by one run at most.
  static constexpr int kMaxSweep = 32;

  // `folders` end with "/", in the order they are tried.
  CSpoolClaims(WebDAV::Client& client, CRetrier& retrier, std::vector<std::string> folders, std::uint64_t seed);
  // Releases what is still held, then reports what is left on the server.
  ~CSpoolClaims();
  CSpoolClaims(const CSpoolClaims&) = delete;
  CSpoolClaims& operator=(const CSpoolClaims&) = delete;

  // Claims the data file name `name`: held, taken by another agent, no
  // claims on this server (the caller goes on without), or failed.
  Result claim(const std::string& name);
  // Gives up the claim on `name`, if held.
  void release(const std::string& name);
  // Tries once more to delete what could not be, and reports on standard
  // error what stays on the server.
  void finish();

 private:
  enum class Kind { kUnknown, kCollections, kLocks, kNone };
  enum class Probe { kExclusive, kNotExclusive, kRefused, kFailed };
  struct Held {
    std::string path;
    std::string token;  // of a LOCK; empty for a collection
  };

  bool establish();
  bool settle(Kind kind, const std::string& folder);
  Probe probeCollections(const std::string& folder);
  Probe probeLocks(const std::string& folder);
  void sweep(const std::string& folder);
  bool remove(const Held& claim);
  std::string pathOf(const std::string& name) const;
  std::string freshName();
  std::string owner() const;

  WebDAV::Client& client_;
  CRetrier& retrier_;
  const std::vector<std::string> folders_;
  std::mt19937_64 random_;
  const std::string run_;  // names this run in its locks
  Kind kind_ = Kind::kUnknown;
  std::string folder_;
  std::map<std::string, Held> held_;  // by data file name
  std::vector<Held> unreleased_;      // ours, but the deletion failed
  std::vector<std::string> unknown_;  // made when an answer was lost: perhaps ours
};
