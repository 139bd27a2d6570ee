#pragma once
// What each part plays on the synthesizer as far as the editor knows, for the bank-conflict
// check: the bank and program the synthesizer was last told (a pick's sequence, a single bank
// select or program change, a performance dump sent) or last told us (its bank selects,
// program changes and performance dumps), a locked part's and Library control's included.
// Written where those bytes go out or come in; a move of the part's parameters that sends
// nothing is no news of the synthesizer and changes nothing here.
//
// Writers run on the main thread, the job thread and the MIDI input thread: each part's bank
// and program are one atomic word, so a reader never sees half of a write.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

class KnownParts
{
public:
    static constexpr int kParts = 8;

    // Parts outside 0..7 are ignored.
    void set(int part, int bank, int program);
    void setBank(int part, int bank);
    void setProgram(int part, int program);
    // Every part's bank and program from a whole performance dump; anything else is ignored.
    void setFromPerformance(const uint8_t* dump, size_t size);

    struct Numbers {
        int bank = 0;
        int program = 0;
    };
    // A part's bank and program from one load, as one write left them; zeros outside 0..7.
    Numbers numbers(int part) const;
    int partBankNumbers(int part) const { return numbers(part).bank; }
    int partProgramNumbers(int part) const { return numbers(part).program; }

private:
    // The bank in the high half, the program in the low half, each as a 16-bit signed number.
    std::array<std::atomic<uint32_t>, kParts> mPairs{};
};
