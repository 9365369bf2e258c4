// Sends a request again when its failure is transient: no connection, no
// answer, 408, 429, 502, 503 or 504. The waits grow exponentially with a
// random jitter, so that a fleet that met a restarting server does not come
// back in step, and a Retry-After of the server is honoured. A run retries
// only within a bound from its first request; past it, a failure is final.
// Refusals (401, 403, 507 and the like) are never retried.
#pragma once

#include "webdav/client.h"

#include <cstdint>
#include <functional>
#include <random>

class CRetrier {
 public:
  using Sleep = std::function<void(double seconds)>;
  // Seconds on a clock that only goes forward.
  using Clock = std::function<double()>;

  // No try starts later than this after the retrier was made (a request
  // under way then runs to its own time-out).
  static constexpr double kBudgetSeconds = 180;
  // Tries of one request at most, the first included.
  static constexpr int kMaxTries = 10;

  CRetrier(Sleep sleep, Clock clock, std::uint64_t seed, double budgetSeconds = kBudgetSeconds);

  // Sends `request` until its answer is final. `lost` (when given) tells
  // whether some try ended without an answer, so that the request may have
  // been carried out. With `retryLost` false, an unanswered try ends the
  // sending at once and the caller finds out what happened.
  WebDAV::Reply send(const std::function<WebDAV::Reply()>& request, bool* lost = nullptr, bool retryLost = true);

  // Waits before try `tries` + 1 after `last`; false when no wait is left.
  bool pause(const WebDAV::Reply& last, int tries);

  static bool transient(const WebDAV::Reply& reply);

 private:
  Sleep sleep_;
  Clock clock_;
  std::mt19937_64 random_;
  double deadline_;
};
