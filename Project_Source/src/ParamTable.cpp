#include "ParamTable.h"

extern const ParamTableRow kParamTable[];
constexpr ParamTableRow kParamTable[] = {
#define QOR_PARAMETER_TABLE_ROW(name, id, parts) {#name, id, parts},
    QOR_PARAMETER_TABLE(QOR_PARAMETER_TABLE_ROW)
#undef QOR_PARAMETER_TABLE_ROW
};

extern const size_t kParamTableSize;
constexpr size_t kParamTableSize = sizeof kParamTable / sizeof kParamTable[0];

namespace {

// A second name for the id just before it: the one id with two names.
constexpr bool isAlias(const ParamTableRow& before, const ParamTableRow& row)
{
    return row.id == before.id && row.parts == 1 && before.parts == 1;
}

// Rows ascend by id and the ids each owns do not overlap, apart from the aliases, which
// are counted.
constexpr int aliasesOrMinusOne()
{
    int aliases = 0;
    for (size_t i = 0; i < kParamTableSize; ++i) {
        const ParamTableRow& row = kParamTable[i];
        if (row.parts != 1 && row.parts != kPartCount) return -1;
        if (i == 0) continue;
        const ParamTableRow& before = kParamTable[i - 1];
        if (isAlias(before, row)) ++aliases;
        else if (row.id < before.id + before.parts) return -1;
    }
    return aliases;
}

} // namespace

static_assert(aliasesOrMinusOne() == 1, "parameter ids must ascend without overlap; 2208 alone has two names");
static_assert(kParamTable[0].id == 0, "the first parameter id is 0");
static_assert(kParamTable[kParamTableSize - 1].id + kParamTable[kParamTableSize - 1].parts == kParameterCount,
              "the last parameter owns the last id of the table");
static_assert(kNumAutomatedParams == 2208 && kNumAutomatedParams + kNumNonAutomatedParams == kParameterCount,
              "the two counts add up to the table's size");
// Ids the protocol, the librarian and the host state address by number.
static_assert(kArpSpeed == 1800 && kMultiPartBank == 4185 && kMultiPartPatch == 4193 && kMultiPartStatus == 4201 &&
                  kMultiPartMIDICh == 4209 && kGlobalMidiChannel == 4322 && kGlobalTempo == 4343 &&
                  kOverrideTempo == 4344 && kBankSelection == 4346 && kPatchSelection == 4347 &&
                  kMultiName == 4348 && kPatchName == 4349 && kPatternName == 4905 &&
                  kMIDIFilterDAWCCPassThrough == 4855 && kMIDIFilterToDAWBuffer == 4871 &&
                  kAdjustDAWOffset == 4904 && kUserInterfaceSize == 5014 && kDeviceOutSelection == 5018 &&
                  kDeviceInSelection == 5019 && kFirstRunExit == 5038 && kMIDILed == 5046 &&
                  kRequestFromBank == 5079 && kMultiSettings == 5110 && kPatchSelectionListUpper == 5114 &&
                  kPatchSelectionListLower == 5115 && kCancelDataRequest == 5116 && kRandomize == 5117 &&
                  kMainTab == 5118 && kCurrentModel == 5119 && kQuickTab == 5120 && kLibrarianArea == 5122,
              "fixed parameter ids");
