#include "inventory/hardware/CHWInfoManager.h"

void CHWInfoManager::loadDiskInfo(tagWMISTRUCT& /*record*/) {}

void CHWInfoManager::loadPartitionInfo(tagWMISTRUCT& /*record*/) {}

void CHWInfoManager::loadVgaInfo(tagWMISTRUCT& /*record*/) {}

