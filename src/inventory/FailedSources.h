// The sources the collection script could not collect, as it names them in
// result/failed: one line each, the source's file name, a tab and why
// ("app<TAB>timed out after 600 s"). No such file means every source was
// collected, so the folders of older scripts read as complete.
#pragma once

#include <boost/filesystem/path.hpp>

#include <string>
#include <vector>

struct tagFAILEDSOURCE {
  std::string strName;    // the file of result/ that the source fills
  std::string strReason;  // for people; empty when the line gives none
};

namespace wmi {

// The failed sources named in `folder`/failed, each once, in the order
// listed. Only the first 64 KiB, 256 names and 200 bytes of a name or reason
// are read; a line without a tab is a name without a reason, and control
// characters become "?", so that whatever the file holds prints as one short
// line. A missing file, or anything but a regular file, lists none.
std::vector<tagFAILEDSOURCE> readFailedSources(const boost::filesystem::path& folder);

// "app (timed out after 600 s)", or "app" without a reason.
std::string describeFailure(const tagFAILEDSOURCE& failed);

// The failures of `failed` among the sources `names`, described and joined
// by ", "; empty when none of them failed.
std::string describeFailures(const std::vector<tagFAILEDSOURCE>& failed, const std::vector<std::string>& names);

}  // namespace wmi
