#include "inventory/hardware/CHWInfoManager.h"

void CHWInfoManager::loadSysInfo_mac(tagWMISTRUCT& /*record*/) {}

void CHWInfoManager::loadMemInfo_mac(tagWMISTRUCT& /*record*/) {}

