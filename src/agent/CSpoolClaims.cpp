#include "agent/CSpoolClaims.h"

#include <cstdio>
#include <ctime>
#include <iostream>

namespace {

constexpr long kNotFound = 404;
constexpr long kMethodNotAllowed = 405;
constexpr long kLocked = 423;

// Another agent's claim: 405 for a collection that exists, 403 from Apache
// to the loser of two MKCOLs at the same moment, 423 for a locked name.
bool takenStatus(long status) { return status == 403 || status == kMethodNotAllowed || status == kLocked; }

// A folder where collections cannot be made at all.
bool refusedStatus(long status) {
  return status == 401 || status == 403 || status == kMethodNotAllowed || status == 409 || status == 501;
}

bool gone(const WebDAV::Reply& reply) { return reply.ok() || (reply.completed && reply.status == kNotFound); }

}  // namespace

CSpoolClaims::CSpoolClaims(WebDAV::Client& client, CRetrier& retrier, std::vector<std::string> folders,
                           std::uint64_t seed)
    : client_(client), retrier_(retrier), folders_(std::move(folders)), random_(seed), run_(freshName()) {}

CSpoolClaims::~CSpoolClaims() { finish(); }

CSpoolClaims::Result CSpoolClaims::claim(const std::string& name) {
  if (kind_ == Kind::kUnknown && !establish()) return Result::kFailed;
  if (kind_ == Kind::kNone) return Result::kUnclaimed;
  Held claim{pathOf(name), std::string()};
  bool lost = false;
  const WebDAV::Reply made =
      kind_ == Kind::kCollections
          ? retrier_.send([&] { return client_.create_directory(claim.path); }, &lost)
          : retrier_.send([&] { return client_.lock(claim.path, owner(), kStaleSeconds); }, &lost);
  if (made.ok()) {
    claim.token = made.lockToken;
    held_[name] = claim;
    return Result::kHeld;
  }
  if (made.completed && takenStatus(made.status)) {
    // Our own request may have made it before its answer was lost.
    if (lost) unknown_.push_back(claim.path);
    return Result::kTaken;
  }
  std::cerr << "qz-agent: could not claim " << claim.path << ": " << WebDAV::describe(made) << "\n";
  return Result::kFailed;
}

void CSpoolClaims::release(const std::string& name) {
  const auto found = held_.find(name);
  if (found == held_.end()) return;
  if (!remove(found->second)) unreleased_.push_back(found->second);
  held_.erase(found);
}

void CSpoolClaims::finish() {
  for (const auto& held : held_) unreleased_.push_back(held.second);
  held_.clear();
  for (const Held& claim : unreleased_)
    if (!remove(claim)) std::cerr << "qz-agent: could not remove " << claim.path << " from the spool\n";
  unreleased_.clear();
  for (const std::string& path : unknown_)
    if (retrier_.send([&] { return client_.probe(path); }).status != kNotFound)
      std::cerr << "qz-agent: left " << path << " on the spool: the answer to its claim was lost, so it may be "
                << "another machine's; a later run removes it once it is an hour old\n";
  unknown_.clear();
}

bool CSpoolClaims::establish() {
  for (const std::string& folder : folders_) {
    switch (probeCollections(folder)) {
      case Probe::kExclusive:
        return settle(Kind::kCollections, folder);
      case Probe::kFailed:
        return false;
      case Probe::kRefused:
        continue;
      case Probe::kNotExclusive:
        switch (probeLocks(folder)) {
          case Probe::kExclusive:
            return settle(Kind::kLocks, folder);
          case Probe::kFailed:
            return false;
          default:
            return settle(Kind::kNone, folder);
        }
    }
  }
  return settle(Kind::kNone, std::string());
}

bool CSpoolClaims::settle(Kind kind, const std::string& folder) {
  kind_ = kind;
  folder_ = folder;
  if (kind == Kind::kNone)
    std::cerr << "qz-agent: the spool server makes no claim that only one machine can hold (neither collections nor "
                 "locks): the files go without, and one that another machine sends under the same name at the same "
                 "moment may replace it\n";
  else
    sweep(folder);
  return true;
}

// MKCOL of a fresh name, then again: a server that makes each collection
// once refuses the second.
CSpoolClaims::Probe CSpoolClaims::probeCollections(const std::string& folder) {
  const Held probe{folder + "claim-probe-" + freshName() + "/", std::string()};
  bool lost = false;
  const WebDAV::Reply made = retrier_.send([&] { return client_.create_directory(probe.path); }, &lost);
  // No other agent uses this name: after a lost answer, if it exists, it is ours.
  const bool ours = made.ok() || (lost && retrier_.send([&] { return client_.probe(probe.path); }).ok());
  if (!ours) {
    if (made.completed && refusedStatus(made.status)) return Probe::kRefused;
    std::cerr << "qz-agent: could not try a claim in " << folder << ": " << WebDAV::describe(made) << "\n";
    return Probe::kFailed;
  }
  const WebDAV::Reply again = retrier_.send([&] { return client_.create_directory(probe.path); });
  const Probe result = again.ok()                                          ? Probe::kNotExclusive
                       : again.completed && !CRetrier::transient(again) ? Probe::kExclusive
                                                                          : Probe::kFailed;
  if (!remove(probe)) unreleased_.push_back(probe);
  return result;
}

// LOCK of a fresh name, then again: an exclusive lock refuses the second
// with 423.
CSpoolClaims::Probe CSpoolClaims::probeLocks(const std::string& folder) {
  Held probe{folder + "claim-probe-" + freshName(), std::string()};
  bool lost = false;
  const WebDAV::Reply first = retrier_.send([&] { return client_.lock(probe.path, owner(), kStaleSeconds); }, &lost);
  if (!first.ok()) {
    if (lost) unknown_.push_back(probe.path);
    if (first.completed && !CRetrier::transient(first)) return Probe::kRefused;
    std::cerr << "qz-agent: could not try a lock in " << folder << ": " << WebDAV::describe(first) << "\n";
    return Probe::kFailed;
  }
  probe.token = first.lockToken;
  const WebDAV::Reply again = retrier_.send([&] { return client_.lock(probe.path, owner(), kStaleSeconds); });
  Probe result = Probe::kNotExclusive;
  if (again.ok())
    retrier_.send([&] { return client_.unlock(probe.path, again.lockToken); });
  else if (again.completed && again.status == kLocked)
    result = Probe::kExclusive;
  else if (!again.completed || CRetrier::transient(again))
    result = Probe::kFailed;
  if (!remove(probe)) unreleased_.push_back(probe);
  return result;
}

// Claims of killed runs: each run removes a few of the stale ones.
void CSpoolClaims::sweep(const std::string& folder) {
  WebDAV::Listing listing;
  retrier_.send([&] {
    listing = client_.list(folder);
    return listing.reply;
  });
  if (!listing.reply.ok()) return;
  const long long now = listing.reply.date >= 0 ? listing.reply.date : static_cast<long long>(std::time(nullptr));
  int removed = 0;
  for (const WebDAV::Entry& entry : listing.entries) {
    if (removed == kMaxSweep) break;
    if (entry.name.compare(0, 6, "claim-") != 0 || entry.modified < 0 || now - entry.modified <= kStaleSeconds)
      continue;
    if (remove(Held{folder + entry.name + (entry.directory ? "/" : ""), std::string()})) ++removed;
  }
}

bool CSpoolClaims::remove(const Held& claim) {
  const WebDAV::Reply removed = retrier_.send([&] { return client_.clean(claim.path, claim.token); });
  // Servers that keep a lock after its resource is gone release it here.
  if (!claim.token.empty()) retrier_.send([&] { return client_.unlock(claim.path, claim.token); });
  return gone(removed);
}

std::string CSpoolClaims::pathOf(const std::string& name) const {
  const std::string stem = name.substr(0, name.rfind('.'));
  return folder_ + "claim-" + stem + (kind_ == Kind::kCollections ? "/" : "");
}

std::string CSpoolClaims::freshName() {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random_()));
  return text;
}

std::string CSpoolClaims::owner() const { return "qz-agent run " + run_; }
