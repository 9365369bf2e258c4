// The members of a folder from the multistatus body of a PROPFIND.
#pragma once

#include "webdav/client.h"

#include <string>
#include <vector>

namespace WebDAV {

// The members named in `body`, without the folder itself (whose path below
// the server is `folder_path`). Servers choose their own namespace prefixes
// and give a member as a path or as a whole address, percent-encoded; a body
// that is not XML lists nothing.
std::vector<Entry> members(const std::string& body, const std::string& folder_path);

}  // namespace WebDAV
