// Drives one inventory run: configuration, the hardware then the software
// inventory, the upload of both data files and the clean-up.
#pragma once

#include "agent/CAbstractListener.h"
#include "agent/CRetrier.h"
#include "inventory/hardware/WmiStruct.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class CBaseInfoManager;
class CHWInfoManager;
class CSWInfoManager;

class CTransferCoordinator : public CAbstractListener {
 public:
  CTransferCoordinator();
  ~CTransferCoordinator();
  CTransferCoordinator(const CTransferCoordinator&) = delete;
  CTransferCoordinator& operator=(const CTransferCoordinator&) = delete;

  void setSrcDir(const std::string& dir);
  void setDestDir(const std::string& dir);
  void setConfigDir(const std::string& dir);
  void setVersion(const std::string& version);
  // How long after its first request an upload may still try again after a
  // transient failure (see CRetrier.h); 0 makes every failure final.
  void setRetryBound(double seconds) { retryBound = seconds; }

  // Sets the source folder, then reads Config.ini.
  void init(const std::string& dir);
  // Produces the hardware then the software data file. A file that cannot
  // be written whole, or that lacks a source it cannot do without, is
  // reported on standard error and not made; the other is still made. The
  // other sources that were not collected are named there too.
  void start();
  // Sends the data files to the configured server; false when anything
  // failed, a data file that was not made included.
  bool upload();
  // Frees the managers and the record, deletes the data files and the
  // temporary folder of the run.
  void cleanup();

  void addListener(CAbstractListener* listener);
  // Leaves the coordinator as its own only listener.
  void clearListeners();

  // Messages: printed on standard output and handed to every listener.
  void sendMessage(const std::string& text, const std::map<std::string, std::string>& params);
  void sendProgress(unsigned int uploaded, unsigned int total);
  void onMessage(const std::string& text, const std::map<std::string, std::string>& params) override;
  void onMessage(const std::string& text) override;
  // Appends one stamped entry to operations.log in the destination folder.
  void log(const std::string& entry);

  // Configuration (Config.ini: host, port, secure flag, login, password and,
  // optionally, how the server is verified).
  void loadConfigIni();
  bool isDestDirRequired() const;
  bool isValidSourceFolder() const;
  bool isValidDestFolder() const;

  // The data files of this run, hardware first.
  const std::vector<std::string>& outFiles() const { return vecOutFiles; }
  const std::string& destDir() const { return strDestDir; }

 private:
  // Runs one manager; true when its data file was written whole.
  bool produce(CBaseInfoManager& manager, const char* kind);
  // Counts a data file that is not sent, telling why on standard error.
  bool notSent(const char* kind, const std::string& why);
  // Names the sources that were not collected and that no data file needs.
  void reportLeftOut() const;
  // The server address: http[s]://host[:port]
  std::string serverAddress() const;
  // The client options that verify the server as line 6 asks.
  std::map<std::string, std::string> verifyOptions() const;

  std::map<std::string, std::string> mapParams;
  double retryBound = CRetrier::kBudgetSeconds;
  std::string strSrcDir;
  std::string strDestDir;
  std::string strConfigDir;
  std::vector<std::string> vecOutFiles;
  int nUnsentFiles = 0;      // data files not made: not written whole, or withheld
  bool bOwnDestDir = false;  // the destination is the run's own temporary folder
  std::string strVersion;
  std::string strHost;
  std::string strPort;
  bool bSecure = false;
  std::string strLogin;
  std::string strPassword;
  // Line 6: empty (the server is not verified), "sha256//<base64>" pins of
  // its public key joined by ";", or a CA file (relative to the folder of
  // Config.ini unless absolute).
  std::string strVerify;
  tagWMISTRUCT* pWmiStruct = nullptr;
  CHWInfoManager* pHWManager = nullptr;
  CSWInfoManager* pSWManager = nullptr;
  std::set<CAbstractListener*> setListeners;
};
