#pragma once

#include <vector>

namespace Plist {

// Standard Base64 (RFC 4648). Characters outside the alphabet, line breaks
// and indentation included, are skipped; padding ends the text. Problems are
// not reported: the bytes decoded so far are the result.
std::vector<char> base64Decode(const char* text);

}  // namespace Plist
