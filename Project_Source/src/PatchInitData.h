#pragma once
// Init messages in the library's stored form, F0 to F7, used to complete short banks.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace PatchInitData {

// The 297-byte program message of a model code (2 and 3 share one).
const std::vector<uint8_t>& programMessage(int modelCode);
// The 99-byte second program message of model codes 2 and 3.
const std::vector<uint8_t>& programSecondMessage();
// The 383-byte performance message of a model code.
const std::vector<uint8_t>& performanceMessage(int modelCode);
// The 27-byte second performance message of model codes 1, 2 and 3.
const std::vector<uint8_t>& performanceSecondMessage(int modelCode);
// The 475-byte third performance message of model codes 2 and 3.
const std::vector<uint8_t>& performanceThirdMessage();
// The 204-byte pattern dump, every model code.
const std::vector<uint8_t>& patternMessage();

} // namespace PatchInitData
