#include "inventory/hardware/CHWInfoManager.h"

void CHWInfoManager::loadOSInfo(tagWMIINFOSTRUCT& /*info*/) {}

