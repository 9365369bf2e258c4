#include "agent/CTransferCoordinator.h"

#include "inventory/hardware/CHWInfoManager.h"
#include "inventory/software/CSWInfoManager.h"

#include <boost/filesystem/exception.hpp>
#include <boost/filesystem/operations.hpp>

#include <iostream>

CTransferCoordinator::CTransferCoordinator() = default;

CTransferCoordinator::~CTransferCoordinator() {
  try {
    cleanup();
  } catch (...) {
    // A destructor lets nothing out; main has already reported the error.
  }
}

void CTransferCoordinator::setSrcDir(const std::string& dir) { strSrcDir = dir; }
void CTransferCoordinator::setDestDir(const std::string& dir) { strDestDir = dir; }
void CTransferCoordinator::setConfigDir(const std::string& dir) { strConfigDir = dir; }
void CTransferCoordinator::setVersion(const std::string& version) { strVersion = version; }

void CTransferCoordinator::init(const std::string& dir) {
  strSrcDir = dir;
  loadConfigIni();
}

void CTransferCoordinator::start() {
  sendMessage("実行開始...", mapParams);
  sendProgress(0, 100);
  pWmiStruct = new tagWMISTRUCT();

  // The software file's header names the computer from the system record,
  // so the hardware inventory always runs first.
  sendMessage("ハードウェア情報読込み中...", mapParams);
  pHWManager = new CHWInfoManager(strSrcDir, strDestDir, *pWmiStruct);
  pHWManager->SetVersion(strVersion);
  if (produce(*pHWManager, "hardware")) sendMessage("ハードウェア情報作成完了", mapParams);

  sendMessage("ソフトウェア情報読込み中...", mapParams);
  pSWManager = new CSWInfoManager(strSrcDir, strDestDir, *pWmiStruct);
  pSWManager->SetVersion(strVersion);
  if (produce(*pSWManager, "software")) sendMessage("ソフトウェア情報作成完了", mapParams);
}

bool CTransferCoordinator::produce(CBaseInfoManager& manager, const char* kind) {
  try {
    manager.start();
  } catch (const boost::filesystem::filesystem_error& error) {
    // A full disk, above all: such a file would reach the spool empty or cut.
    std::cerr << "qz-agent: the " << kind << " data file was not written, so it is not sent: " << error.what()
              << "\n";
    ++nUnwrittenFiles;
    return false;
  }
  vecOutFiles.push_back(manager.OutFileName());
  return true;
}

void CTransferCoordinator::cleanup() {
  clearListeners();
  delete pHWManager;
  pHWManager = nullptr;
  delete pSWManager;
  pSWManager = nullptr;
  delete pWmiStruct;
  pWmiStruct = nullptr;
  for (const std::string& file : vecOutFiles) boost::filesystem::remove(file);
  vecOutFiles.clear();
  if (bOwnDestDir) {
    bOwnDestDir = false;
    boost::filesystem::remove_all(strDestDir);
  }
}

void CTransferCoordinator::addListener(CAbstractListener* listener) { setListeners.insert(listener); }

void CTransferCoordinator::clearListeners() {
  setListeners.clear();
  setListeners.insert(this);
}
