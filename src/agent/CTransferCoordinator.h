// Drives one inventory run: configuration, the hardware then the software
// inventory, the upload of both data files and the clean-up.
#pragma once

#include "agent/CAbstractListener.h"
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

  // Sets the source folder, then reads Config.ini.
  void init(const std::string& dir);
  // Produces the hardware then the software data file. A file that cannot
  // be written whole is reported on standard error and left out; the other
  // is still made.
  void start();
  // Sends the data files to the configured server; false when anything
  // failed, a data file that could not be made included.
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
  // The server address: http[s]://host[:port]
  std::string serverAddress() const;
  // The client options that verify the server as line 6 asks.
  std::map<std::string, std::string> verifyOptions() const;

  std::map<std::string, std::string> mapParams;
  std::string strSrcDir;
  std::string strDestDir;
  std::string strConfigDir;
  std::vector<std::string> vecOutFiles;
  int nUnwrittenFiles = 0;   // data files that could not be written whole
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
