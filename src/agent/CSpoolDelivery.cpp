#include "agent/CSpoolDelivery.h"

#include "agent/SpoolName.h"

#include <algorithm>
#include <iostream>

namespace {

constexpr long long kFirstWindow = 8;
constexpr long long kLargestWindow = 256;
constexpr long kPreconditionFailed = 412;
constexpr long kNotFound = 404;

bool unreadable(long status) { return status == 401 || status == 403 || status == 405; }

}  // namespace

CSpoolDelivery::CSpoolDelivery(WebDAV::Client& client, CRetrier& retrier, std::string spoolFolder,
                               std::vector<std::string> claimFolders, std::uint64_t seed)
    : client_(client),
      retrier_(retrier),
      spoolFolder_(std::move(spoolFolder)),
      random_(seed),
      claims_(client, retrier, std::move(claimFolders), random_()),
      window_(kFirstWindow) {}

bool CSpoolDelivery::deliver(const std::string& own, const std::string& content) {
  for (int attempts = 0; attempts < kMaxAttempts; ++attempts) {
    // A name outside the pattern has no later names: only its own is tried.
    const std::string name = offset_ == 0 ? own : wmi::laterSpoolName(own, offset_);
    if (name.empty()) break;
    switch (attempt(name, content)) {
      case Outcome::kDelivered:
        return true;
      case Outcome::kFailed:
        return false;
      case Outcome::kTaken:
        jump();
    }
  }
  std::cerr << "qz-agent: no free name on the spool for " << own << "\n";
  return false;
}

CSpoolDelivery::Outcome CSpoolDelivery::attempt(const std::string& name, const std::string& content) {
  const CSpoolClaims::Result claim = claims_.claim(name);
  switch (claim) {
    case CSpoolClaims::Result::kFailed:
      return Outcome::kFailed;
    case CSpoolClaims::Result::kTaken:
      return Outcome::kTaken;
    case CSpoolClaims::Result::kHeld:
    case CSpoolClaims::Result::kUnclaimed:
      break;
  }
  const bool claimed = claim == CSpoolClaims::Result::kHeld;
  const Outcome outcome = place(spoolFolder_ + name, content, claimed);
  claims_.release(name);
  return outcome;
}

// Under the claim: a file delivered just before it was made must not be
// replaced, and not every server honours the PUT's condition.
CSpoolDelivery::Outcome CSpoolDelivery::place(const std::string& remote, const std::string& content, bool claimed) {
  const auto look = [&] { return retrier_.send([&] { return client_.probe(remote); }); };
  const WebDAV::Reply seen = look();
  if (seen.ok()) return Outcome::kTaken;
  // A drop box may let the account write but not read: the PUT's condition
  // is then the only guard left.
  if (!seen.completed || !(seen.status == kNotFound || unreadable(seen.status))) {
    std::cerr << "qz-agent: could not look for " << remote << ": " << WebDAV::describe(seen) << "\n";
    return Outcome::kFailed;
  }
  bool partial = false;  // a part of ours is on the server
  const auto fail = [&](const WebDAV::Reply& put) {
    std::cerr << "qz-agent: could not put " << remote << ": " << WebDAV::describe(put) << "\n";
    if (partial) removeCut(remote);
    return Outcome::kFailed;
  };
  for (int tries = 1;; ++tries) {
    bool lost = false;
    const WebDAV::Reply put = retrier_.send([&] { return client_.upload_new(remote, content); }, &lost, false);
    if (put.ok()) return Outcome::kDelivered;
    if (put.completed && put.status == kPreconditionFailed && !partial) return Outcome::kTaken;
    if (put.completed || !lost) return fail(put);
    // The answer was lost, perhaps after the file landed whole. Under the
    // claim no one else writes this name, so what is there is ours: a server
    // that writes as it receives (rclone) keeps the part that arrived, which
    // the next PUT replaces or the end removes.
    const WebDAV::Reply landed = look();
    if (landed.ok() && landed.contentLength == static_cast<long long>(content.size())) return Outcome::kDelivered;
    partial = landed.ok() && claimed;
    if (!(partial || (landed.completed && landed.status == kNotFound)) || !retrier_.pause(put, tries)) return fail(put);
  }
}

void CSpoolDelivery::removeCut(const std::string& remote) {
  if (!retrier_.send([&] { return client_.clean(remote); }).ok())
    std::cerr << "qz-agent: could not remove the part of " << remote << " that reached the spool\n";
}

void CSpoolDelivery::jump() {
  offset_ += std::uniform_int_distribution<long long>(1, window_)(random_);
  window_ = std::min(window_ * 2, kLargestWindow);
}
