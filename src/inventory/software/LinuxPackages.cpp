#include "inventory/software/CSWInfoManager.h"

void CSWInfoManager::loadForUbuntu(std::vector<tagAPPLIDATASTRUCT>& /*applications*/) {}

void CSWInfoManager::loadForRestDists(std::vector<tagAPPLIDATASTRUCT>& /*applications*/) {}
