#include "plist/Plist.h"

namespace Plist {

template <>
void readPlist<boost::any>(const char* /*fileName*/, boost::any& /*message*/) {
  throw Error("Can't open file.");
}

void readPlist(std::istream& /*stream*/, boost::any& /*message*/) { throw Error("Plist: Empty plist data"); }

void readPlist(const char* /*byteArray*/, long long /*size*/, boost::any& /*message*/) {
  throw Error("Plist: Empty plist data");
}

}  // namespace Plist
