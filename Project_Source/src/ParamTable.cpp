#include "ParamTable.h"

const ParamTableRow kParamTable[] = {
#define QOR_PARAMETER_TABLE_ROW(name, id, parts) {#name, id, parts},
    QOR_PARAMETER_TABLE(QOR_PARAMETER_TABLE_ROW)
#undef QOR_PARAMETER_TABLE_ROW
};

const size_t kParamTableSize = sizeof kParamTable / sizeof kParamTable[0];
