// The binary form ("bplist00"), which yields the same value tree as XML.
#pragma once

#include <boost/any.hpp>

namespace Plist {

// `data` holds `size` bytes starting with the signature.
boost::any readBinaryPlist(const char* data, long long size);

}  // namespace Plist
