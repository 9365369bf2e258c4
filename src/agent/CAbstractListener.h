// Receives the messages of a run.
#pragma once

#include <map>
#include <string>

class CAbstractListener {
 public:
  virtual void onMessage(const std::string& message, const std::map<std::string, std::string>& params) = 0;
  virtual void onMessage(const std::string& message) = 0;

 protected:
  // Listeners are never deleted through this interface.
  ~CAbstractListener() = default;
};
