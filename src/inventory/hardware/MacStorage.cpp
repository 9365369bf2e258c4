#include "inventory/hardware/CHWInfoManager.h"

void CHWInfoManager::loadDiskInfo_mac(tagWMISTRUCT& /*record*/) {}

void CHWInfoManager::loadPartitionInfo_mac(tagWMISTRUCT& /*record*/) {}

