#include "inventory/hardware/CHWInfoManager.h"

void CHWInfoManager::loadSysInfo(tagWMISTRUCT& record) { record.vecInfo.push_back(tagWMIINFOSTRUCT()); }

void CHWInfoManager::loadCpuInfo(tagWMISTRUCT& /*record*/) {}

void CHWInfoManager::loadMemInfo(tagWMISTRUCT& /*record*/) {}

