#include "plist/PlistBinary.h"

#include "plist/Plist.h"

namespace Plist {

boost::any readBinaryPlist(const char* /*data*/, long long /*size*/) {
  throw Error("Plist: binary property lists are not supported yet");
}

}  // namespace Plist
