// The controller's request gate against the in-process synthesizer: a part request takes only
// the dump of the part it waits for. The synthesizer's panel shows part 1 while the editor asks
// for part 4: its answer is refused until the request times out; answered with every part's
// dump, only part 4's is applied.
#include "Project_Source/src/ProgramDump.h"
#include "insynth_bench.h"

#include <algorithm>

using namespace insynthtest;

namespace
{

constexpr int kAsked = 3;
constexpr double kMarker = 1;

synthsim::Options synth(synthsim::EditReply reply)
{
    synthsim::Options o;
    o.deviceId = 15;
    o.editReply = reply;
    return o;
}

// The cutoff of part in the synthesizer's edit buffers.
double synthCutoff(Bench& b, int part)
{
    const auto buffers = synthMemoryFile(*b.plug, b.dir, "edit-buffers.syx");
    double cutoff = -1;
    if (size_t(part) >= buffers.size()) return cutoff;
    const ProgramDump::Locks none([](int) { return 0.0; }, part);
    ProgramDump::readParameters(buffers[size_t(part)].data(), part, none, [&](int id, double v) {
        if (id == kFilterCutoff + part) cutoff = v;
    });
    return cutoff;
}

} // namespace

TEST(RequestGateInSynth, AnotherPartsDumpKeepsTheRequestWaitingUntilItTimesOut)
{
    Bench b(synth(synthsim::EditReply::Program));
    for (int p = 0; p < 8; ++p) b.plug->GetParam(kFilterCutoff + p)->Set(kMarker);
    SenderJobRecord request;
    request.job = kJobRequestPart, request.part = kAsked, request.toEditor = true;
    b.run(request);
    EXPECT_NE(std::find(b.statuses.begin(), b.statuses.end(), "Data Request In Progress..."), b.statuses.end());
    EXPECT_EQ(b.status(), "CONNECTION TIMED OUT!");
    for (int p = 0; p < 8; ++p) EXPECT_EQ(b.value(kFilterCutoff + p), kMarker) << p;
}

TEST(RequestGateInSynth, OfEveryPartsDumpOnlyTheAwaitedPartsIsApplied)
{
    Bench b(synth(synthsim::EditReply::AllParts));
    for (int p = 0; p < 8; ++p) b.plug->GetParam(kFilterCutoff + p)->Set(kMarker);
    const double expected = synthCutoff(b, kAsked);
    ASSERT_NE(expected, kMarker);
    SenderJobRecord request;
    request.job = kJobRequestPart, request.part = kAsked, request.toEditor = true;
    b.run(request);
    EXPECT_EQ(b.status(), "Data request completed!");
    for (int p = 0; p < 8; ++p) EXPECT_EQ(b.value(kFilterCutoff + p), p == kAsked ? expected : kMarker) << p;
}
