#include "inventory/hardware/CHWInfoManager.h"

void CHWInfoManager::loadNicInfo(tagWMISTRUCT& /*record*/) {}

