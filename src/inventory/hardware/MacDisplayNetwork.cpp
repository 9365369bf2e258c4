#include "inventory/hardware/CHWInfoManager.h"

void CHWInfoManager::loadVgaInfo_mac(tagWMISTRUCT& /*record*/) {}

void CHWInfoManager::loadNicInfo_mac(tagWMISTRUCT& /*record*/) {}

