#include "agent/CSpoolDelivery.h"

#include "agent/SpoolName.h"

#include <boost/filesystem/fstream.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

constexpr long long kFirstWindow = 8;
constexpr long long kLargestWindow = 256;
constexpr long kPreconditionFailed = 412;
constexpr long kMethodNotAllowed = 405;
constexpr long kNotFound = 404;

// The claim collection of a data file name.
std::string claimName(const std::string& name) {
  const std::string::size_type dot = name.rfind('.');
  return "claim-" + name.substr(0, dot) + "/";
}

}  // namespace

CSpoolDelivery::CSpoolDelivery(const WebDAV::Client& client, std::string spoolFolder,
                               std::vector<std::string> claimFolders)
    : client_(client),
      spoolFolder_(std::move(spoolFolder)),
      claimFolders_(std::move(claimFolders)),
      window_(kFirstWindow),
      random_(std::random_device()()) {}

CSpoolDelivery::~CSpoolDelivery() { releaseClaims(); }

bool CSpoolDelivery::deliver(const boost::filesystem::path& file) {
  boost::filesystem::ifstream content(file, std::ios::binary);
  if (!content.is_open()) return false;
  const std::string own = file.filename().string();
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

CSpoolDelivery::Outcome CSpoolDelivery::attempt(const std::string& name, std::istream& content) {
  const std::string remote = spoolFolder_ + name;
  const WebDAV::Reply existing = client_.probe(remote);
  if (!existing.completed) return Outcome::kFailed;
  if (existing.ok()) return Outcome::kTaken;
  std::string claimed;
  switch (claim(name, claimed)) {
    case Claim::kFailed:
      return Outcome::kFailed;
    case Claim::kTaken:
      return Outcome::kTaken;
    case Claim::kHeld:
    case Claim::kNone:
      break;
  }
  const Outcome outcome = put(remote, content);
  if (!claimed.empty()) release(claimed);
  return outcome;
}

// The condition also guards a name delivered between the HEAD and the claim.
CSpoolDelivery::Outcome CSpoolDelivery::put(const std::string& remote, std::istream& content) const {
  content.clear();
  content.seekg(0);
  const WebDAV::Reply reply = client_.upload_new(remote, content);
  if (reply.completed && reply.status == kPreconditionFailed) return Outcome::kTaken;
  return reply.ok() ? Outcome::kDelivered : Outcome::kFailed;
}

CSpoolDelivery::Claim CSpoolDelivery::claim(const std::string& name, std::string& claimed) {
  while (claimFolder_ < claimFolders_.size()) {
    const std::string path = claimFolders_[claimFolder_] + claimName(name);
    const WebDAV::Reply made = client_.create_directory(path);
    if (!made.completed) {
      // The server may have made it before the connection failed.
      held_.push_back(path);
      release(path);
      return Claim::kFailed;
    }
    if (made.ok()) {
      claimsProven_ = true;
      held_.push_back(path);
      claimed = path;
      return Claim::kHeld;
    }
    if (made.status == kMethodNotAllowed && (claimsProven_ || claimsWorkHere())) return Claim::kTaken;
    // Refused here (401, 403, 409, 501, or 405 for any collection): try the
    // next folder, and after the last one go without claims.
    ++claimFolder_;
    claimsProven_ = false;
  }
  return Claim::kNone;
}

// Whether a 405 means "claimed by another agent" or "no collections here":
// a fresh name tells.
bool CSpoolDelivery::claimsWorkHere() {
  char suffix[17];
  std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random_()));
  const std::string probe = claimFolders_[claimFolder_] + "claim-probe-" + suffix + "/";
  if (!client_.create_directory(probe).ok()) return false;
  held_.push_back(probe);
  release(probe);
  claimsProven_ = true;
  return true;
}

void CSpoolDelivery::release(const std::string& claimed) {
  const WebDAV::Reply removed = client_.clean(claimed);
  if (!removed.ok() && !(removed.completed && removed.status == kNotFound)) return;  // tried again at the end
  const auto found = std::find(held_.begin(), held_.end(), claimed);
  if (found != held_.end()) held_.erase(found);
}

void CSpoolDelivery::releaseClaims() {
  const std::vector<std::string> left = held_;
  for (const std::string& claimed : left) release(claimed);
  for (const std::string& claimed : held_) std::cerr << "qz-agent: could not remove " << claimed << " from the spool\n";
  held_.clear();
}

void CSpoolDelivery::jump() {
  offset_ += std::uniform_int_distribution<long long>(1, window_)(random_);
  window_ = std::min(window_ * 2, kLargestWindow);
}
