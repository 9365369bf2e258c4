#include "agent/CRetrier.h"

#include <curl/curl.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFirstWait = 1;
constexpr double kLongestWait = 30;
// A Retry-After is followed up to this, so that one server cannot hold a run.
constexpr double kLongestRetryAfter = 60;

// Failures to connect or to get an answer that a later try may not meet.
// Verification, protocol and local failures stay as they are.
bool lostInTransit(int error) {
  switch (error) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_SEND_FAIL_REWIND:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return true;
    default:
      return false;
  }
}

// Failures after the request went out: the server may have carried it out.
bool mayHaveArrived(int error) {
  return error != CURLE_COULDNT_RESOLVE_HOST && error != CURLE_COULDNT_CONNECT && error != CURLE_SSL_CONNECT_ERROR;
}

}  // namespace

CRetrier::CRetrier(Sleep sleep, Clock clock, std::uint64_t seed, double budgetSeconds)
    : sleep_(std::move(sleep)), clock_(std::move(clock)), random_(seed), deadline_(clock_() + budgetSeconds) {}

bool CRetrier::transient(const WebDAV::Reply& reply) {
  if (!reply.completed) return lostInTransit(reply.error);
  switch (reply.status) {
    case 408:
    case 429:
    case 502:
    case 503:
    case 504:
      return true;
    default:
      return false;
  }
}

WebDAV::Reply CRetrier::send(const std::function<WebDAV::Reply()>& request, bool* lost, bool retryLost) {
  if (lost != nullptr) *lost = false;
  for (int tries = 1;; ++tries) {
    const WebDAV::Reply reply = request();
    const bool unanswered = !reply.completed && lostInTransit(reply.error) && mayHaveArrived(reply.error);
    if (unanswered && lost != nullptr) *lost = true;
    if (!transient(reply)) return reply;
    if (unanswered && !retryLost) return reply;
    if (!pause(reply, tries)) return reply;
  }
}

bool CRetrier::pause(const WebDAV::Reply& last, int tries) {
  if (tries >= kMaxTries) return false;
  // ldexp, not pow: glibc 2.29 gave pow a new symbol version, which would
  // keep the release agent from starting on older systems (RHEL 8).
  const double ceiling = std::min(kLongestWait, std::ldexp(kFirstWait, tries - 1));
  double wait = std::uniform_real_distribution<double>(ceiling / 2, ceiling)(random_);
  if (last.completed && last.retryAfter >= 0) wait = std::max(wait, std::min<double>(last.retryAfter, kLongestRetryAfter));
  if (clock_() + wait > deadline_) return false;
  sleep_(wait);
  return true;
}
