#include "inventory/software/CSWInfoManager.h"

void CSWInfoManager::loadForMac(std::vector<tagAPPLIDATASTRUCT>& /*applications*/) {}
