#pragma once
// A part's bank or program as the editor last knew it, which the bank-conflict check compares
// with. A message that told the synthesizer's choice (a bank select or program change from it,
// a sequence sent) writes it; after that, any move of the part's parameter (a dump, a recall, a
// randomize, a pick) is newer knowledge, so the parameter is the answer until the next write,
// whatever value the move returns to. A message the parameter follows moves it itself: that
// move belongs to the write (followed), not after it.
// Reading the parameter here, rather than at each of its writers, keeps every road covered.
#include <atomic>
#include <climits>
#include <cstdint>

class IPluginBase;

class KnownPartNumber
{
public:
    // The parameter this number follows; without one it is a plain number.
    void follow(const IPluginBase* plug, int id);
    // The parameter keeps its value: the number stands until the parameter moves.
    KnownPartNumber& operator=(int32_t value);
    // The message's own step has set the parameter to value: the number stands until the
    // parameter moves away from it. The parameter is not read, so a move by another thread
    // meanwhile stays newer.
    void followed(int32_t value);
    int32_t load() const;
    operator int32_t() const { return load(); }

private:
    // The parameter's whole value, or INT32_MIN without a parameter.
    int32_t paramNow() const;

    const IPluginBase* mPlug = nullptr;
    int mId = -1;
    std::atomic<int32_t> mValue{0};
    // The parameter's whole value at the write; no whole value is INT32_MIN, so a number never
    // written follows its parameter from the start. A later move away from it, even back to a
    // value it had before the write, is newer knowledge.
    std::atomic<int32_t> mSeen{INT32_MIN};
};
