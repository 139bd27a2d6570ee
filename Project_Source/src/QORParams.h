#pragma once
// The parameter ids for the controller's files. Four parameter names (kModWheel, kFootController,
// kChannelVolume, kBalance) are also the framework's controller-number names, so the controller,
// which sees both, reads the ids under the qorid namespace.
#include <cstddef>

namespace qorid {
#include "ParamTable.h"
} // namespace qorid
