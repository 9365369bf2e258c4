#include "plist/base64.h"

namespace Plist {

namespace {

int sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::vector<char> base64Decode(const char* text) {
  std::vector<char> bytes;
  if (text == nullptr) return bytes;
  unsigned long group = 0;  // the sextets of the group so far
  int count = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '=') {
      if (count == 2) bytes.push_back(static_cast<char>(group >> 4));
      if (count == 3) {
        bytes.push_back(static_cast<char>(group >> 10));
        bytes.push_back(static_cast<char>(group >> 2));
      }
      return bytes;
    }
    const int value = sextet(*p);
    if (value < 0) continue;
    group = (group << 6) | static_cast<unsigned long>(value);
    if (++count == 4) {
      bytes.push_back(static_cast<char>(group >> 16));
      bytes.push_back(static_cast<char>(group >> 8));
      bytes.push_back(static_cast<char>(group));
      group = 0;
      count = 0;
    }
  }
  return bytes;
}

}  // namespace Plist
