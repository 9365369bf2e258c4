// The inventory half of a run, as the agent does it before it uploads.
#pragma once

#include "agent/CTransferCoordinator.h"

#include <boost/filesystem/path.hpp>
#include <gtest/gtest.h>

namespace qztest {

// Makes the data files of the deploy folder `dir` from the collection in
// `result`; what the run prints on standard output is dropped.
inline void makeDataFiles(CTransferCoordinator& coordinator, const boost::filesystem::path& dir,
                          const boost::filesystem::path& result) {
  coordinator.setConfigDir(dir.string());
  coordinator.setDestDir(dir.string());
  coordinator.init(result.string());
  coordinator.setVersion("1.0.0.0");
  testing::internal::CaptureStdout();
  coordinator.start();
  testing::internal::GetCapturedStdout();
}

}  // namespace qztest
