// Sends the data files of the run into the server's spool folder.
#include "agent/CTransferCoordinator.h"

#include "util/utils.h"

bool CTransferCoordinator::upload() {
  if (isDestDirRequired()) {  // no Config.ini: nothing to send
    sendProgress(100, 100);
    return true;
  }
  sendMessage(serverAddress() + " に接続失敗しました。", mapParams);
  return false;
}

std::string CTransferCoordinator::serverAddress() const {
  std::string address = (bSecure ? "https://" : "http://") + strHost;
  if (!strPort.empty()) address += ":" + strPort;
  return address;
}
