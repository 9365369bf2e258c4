// Messages of the run: echoed on standard output, handed to the listeners,
// and appended to operations.log by the coordinator as a listener.
#include "agent/CTransferCoordinator.h"

#include "util/utils.h"

#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/path.hpp>

#include <iostream>

void CTransferCoordinator::sendMessage(const std::string& text, const std::map<std::string, std::string>& params) {
  std::cout << text << "\n" << std::flush;
  for (CAbstractListener* listener : setListeners) listener->onMessage(text, params);
}

void CTransferCoordinator::sendProgress(unsigned int uploaded, unsigned int total) {
  const std::map<std::string, std::string> params{{"TOTAL_SIZE", std::to_string(total)},
                                                  {"UPLOADED_SIZE", std::to_string(uploaded)}};
  sendMessage("UPDATE_PROGRESS", params);
}

void CTransferCoordinator::onMessage(const std::string& text, const std::map<std::string, std::string>& params) {
  std::string entry = text;
  for (const auto& param : params) entry += "\n" + param.first + ":" + param.second;
  log(entry);
}

void CTransferCoordinator::onMessage(const std::string& text) { log(text); }

void CTransferCoordinator::log(const std::string& entry) {
  const std::string stamp = wmi::currentTime("%d-%m-%Y %I:%M:%S");
  boost::filesystem::ofstream out(boost::filesystem::path(strDestDir) / "operations.log", std::ios::app);
  out << "[" << stamp << "]" << entry;
  out.flush();
}
