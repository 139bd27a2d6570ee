// How the simulated synthesizer answers the editor's requests: the enquiry, edit-buffer and
// stored-entry requests, addressed by device id, with lengths and types of the message family.
#include "synth.h"

#include <gtest/gtest.h>

using synthsim::Bytes;
using synthsim::Handled;
using synthsim::Options;
using synthsim::Synth;

namespace {

Options optionsWith(int device, uint8_t model = 0x20)
{
    Options o;
    o.deviceId = device;
    o.model = model;
    return o;
}

// Requests written out as the editor sends them on the wire.
Bytes enquiry(uint8_t device, uint8_t model = 0x20) { return {0xF0, 0x00, 0x20, 0x29, 0x01, model, device, 0x10, 0xF7}; }
Bytes editRequest(uint8_t device, uint8_t model = 0x20) { return {0xF0, 0x00, 0x20, 0x29, 0x01, model, device, 0x08, 0xF7}; }
Bytes storedRequest(uint8_t device, uint8_t code, uint8_t slot, uint8_t model = 0x20)
{
    return {0xF0, 0x00, 0x20, 0x29, 0x01, model, device, 0x13, code, slot, 0xF7};
}

void expectEnvelope(const Bytes& m, uint8_t model, uint8_t device, uint8_t type, size_t length)
{
    ASSERT_EQ(m.size(), length);
    const Bytes head{0xF0, 0x00, 0x20, 0x29, 0x01, model, device, type};
    EXPECT_EQ(Bytes(m.begin(), m.begin() + 8), head);
    EXPECT_EQ(m.back(), 0xF7);
}

} // namespace

TEST(DeviceEnquiry, IsAnsweredByBothGlobalDumpsInOrderAtItsOwnId)
{
    Synth s(optionsWith(3));
    Handled h = s.receive(enquiry(3), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    expectEnvelope(h.replies[0].bytes, 0x20, 3, 0x0F, 281);
    expectEnvelope(h.replies[1].bytes, 0x20, 3, 0x15, 297);
    EXPECT_EQ(h.replies[0].delayMs, 0);
}

TEST(DeviceEnquiry, AtAnotherIdIsIgnoredAndSaysSo)
{
    Synth s(optionsWith(3));
    for (uint8_t id = 0; id < 16; ++id) {
        if (id == 3) continue;
        Handled h = s.receive(enquiry(id), 0);
        EXPECT_TRUE(h.replies.empty()) << "id " << int(id);
        EXPECT_NE(h.note.find("addressed to device " + std::to_string(id)), std::string::npos) << h.note;
    }
    EXPECT_EQ(s.counters().ignored, 15);
}

TEST(DeviceEnquiry, GlobalDumpsCarryTheFixedBytesOfTheirLayout)
{
    Synth s(optionsWith(9, 0x21));
    Handled h = s.receive(enquiry(9, 0x21), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    const Bytes& g1 = h.replies[0].bytes;
    const Bytes& g2 = h.replies[1].bytes;
    expectEnvelope(g1, 0x21, 9, 0x0F, 281);
    EXPECT_EQ(g1[8], 0x0F);
    EXPECT_EQ(g1[9], 0x5D);
    EXPECT_EQ(g1[12], 0x7F);
    EXPECT_EQ(g1[13], 0x3C);
    EXPECT_GE(g1[14], 105) << "the MIDI clock setting travels as value + 105";
    EXPECT_EQ(Bytes(g1.begin() + 16, g1.begin() + 24), (Bytes{0x01, 0x00, 0x02, 0x05, 0x00, 0x03, 0x34, 0x43}));
    for (size_t i = 24; i < 280; ++i) ASSERT_EQ(g1[i], 0) << i;
    expectEnvelope(g2, 0x21, 9, 0x15, 297);
    EXPECT_EQ(g2[8], 0x28);
    EXPECT_EQ(g2[21], 0x5F);
    EXPECT_EQ(g2[27], 0x69);
    EXPECT_EQ(g2[28], 0x1E);
    EXPECT_EQ(g2[30], 0x01);
    EXPECT_EQ(g2[31], 0x40);
    EXPECT_EQ(g2[34], 0x40);
    EXPECT_EQ(g2[35], 0x40);
    for (size_t i = 36; i < 296; ++i) ASSERT_EQ(g2[i], 0) << i;
}

TEST(DeviceEnquiry, OfTheWrongLengthIsIgnored)
{
    Synth s(optionsWith(3));
    Bytes longer = enquiry(3);
    longer.insert(longer.end() - 1, 0x00);
    EXPECT_TRUE(s.receive(longer, 0).replies.empty());
}

TEST(EditBufferRequest, AtPowerOnAnswersWithThePartOneProgramDump)
{
    Synth s(optionsWith(3));
    Handled h = s.receive(editRequest(3), 0);
    ASSERT_EQ(h.replies.size(), 1u);
    const Bytes& d = h.replies[0].bytes;
    expectEnvelope(d, 0x20, 3, 0x00, 296);
    EXPECT_EQ(d[8], 0) << "part byte";
    EXPECT_EQ(std::string(d.begin() + 9, d.begin() + 25), "Init Program    ");
    EXPECT_EQ(d[29], 0x30) << "reserved byte";
    EXPECT_EQ(d[78], 0x7F) << "reserved byte";
    EXPECT_EQ(d[112], 0x7F) << "reserved byte";
    EXPECT_EQ(d[247] & 0x40, 0x40) << "bit 6 of the voice byte is always set";
}

TEST(EditBufferRequest, InPerformanceModeAnswersWithThePerformanceAndForModel21ItsFollowUp)
{
    Options o = optionsWith(4, 0x21);
    o.editReply = synthsim::EditReply::Performance;
    Synth s(o);
    Handled h = s.receive(editRequest(4, 0x21), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    expectEnvelope(h.replies[0].bytes, 0x21, 4, 0x05, 381);
    EXPECT_EQ(std::string(h.replies[0].bytes.begin() + 8, h.replies[0].bytes.begin() + 24), "Init Perf       ");
    expectEnvelope(h.replies[1].bytes, 0x21, 4, 0x1B, 25);
    for (size_t i = 16; i < 24; ++i) EXPECT_EQ(h.replies[1].bytes[i], 0) << i;
}

TEST(EditBufferRequest, WithModel20SendsNoFollowUp)
{
    Options o = optionsWith(4);
    o.editReply = synthsim::EditReply::Performance;
    Synth s(o);
    Handled h = s.receive(editRequest(4), 0);
    ASSERT_EQ(h.replies.size(), 1u);
    expectEnvelope(h.replies[0].bytes, 0x20, 4, 0x05, 381);
}

TEST(EditBufferRequest, BothModeSendsThePerformanceThenTheSelectedProgram)
{
    Options o = optionsWith(4);
    o.editReply = synthsim::EditReply::Both;
    Synth s(o);
    Handled h = s.receive(editRequest(4), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    expectEnvelope(h.replies[0].bytes, 0x20, 4, 0x05, 381);
    expectEnvelope(h.replies[1].bytes, 0x20, 4, 0x00, 296);
}

TEST(EditBufferRequest, PartsModeSendsTheProgramDumpsOfAllEightPartsInOrder)
{
    Options o = optionsWith(4);
    o.editReply = synthsim::EditReply::AllParts;
    Synth s(o);
    Handled h = s.receive(editRequest(4), 0);
    ASSERT_EQ(h.replies.size(), 8u);
    for (uint8_t p = 0; p < 8; ++p) {
        expectEnvelope(h.replies[p].bytes, 0x20, 4, 0x00, 296);
        EXPECT_EQ(h.replies[p].bytes[8], p);
    }
}

TEST(StoredRequest, ForAProgramAnswersWithTheStoredFormOfThatBankAndSlot)
{
    Synth s(optionsWith(3));
    Handled h = s.receive(storedRequest(3, 0x07, 42), 0); // bank C
    ASSERT_EQ(h.replies.size(), 1u);
    const Bytes& d = h.replies[0].bytes;
    expectEnvelope(d, 0x20, 3, 0x02, 297);
    EXPECT_EQ(d[8], 0x07);
    EXPECT_EQ(d[9], 42);
    EXPECT_EQ(std::string(d.begin() + 10, d.begin() + 26), "Init Program    ");
}

TEST(StoredRequest, ForAProgramInDumpFormAnswersWith296Bytes)
{
    Options o = optionsWith(3);
    o.storedProgramReply = synthsim::StoredForm::Dump;
    Synth s(o);
    Handled h = s.receive(storedRequest(3, 0x05, 0), 0);
    ASSERT_EQ(h.replies.size(), 1u);
    expectEnvelope(h.replies[0].bytes, 0x20, 3, 0x00, 296);
}

TEST(StoredRequest, ForAPerformanceAnswersWith383BytesAndForModel21ThePairedFollowUp)
{
    Synth first(optionsWith(3));
    Handled h1 = first.receive(storedRequest(3, 0x02, 7), 0); // bank B
    ASSERT_EQ(h1.replies.size(), 1u);
    expectEnvelope(h1.replies[0].bytes, 0x20, 3, 0x07, 383);
    EXPECT_EQ(h1.replies[0].bytes[8], 0x02);
    EXPECT_EQ(h1.replies[0].bytes[9], 7);

    Synth second(optionsWith(3, 0x21));
    Handled h2 = second.receive(storedRequest(3, 0x04, 127, 0x21), 0); // bank D
    ASSERT_EQ(h2.replies.size(), 2u);
    expectEnvelope(h2.replies[0].bytes, 0x21, 3, 0x07, 383);
    expectEnvelope(h2.replies[1].bytes, 0x21, 3, 0x1C, 27);
    EXPECT_EQ(h2.replies[1].bytes[8], 0x04);
    EXPECT_EQ(h2.replies[1].bytes[9], 127);
}

TEST(StoredRequest, InDumpFormForAPerformanceAnswersWithTheEditBufferForms)
{
    Options o = optionsWith(3, 0x21);
    o.storedPerformanceReply = synthsim::StoredForm::Dump;
    Synth s(o);
    Handled h = s.receive(storedRequest(3, 0x01, 0, 0x21), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    expectEnvelope(h.replies[0].bytes, 0x21, 3, 0x05, 381);
    expectEnvelope(h.replies[1].bytes, 0x21, 3, 0x1B, 25);
}

TEST(StoredRequest, ForAnUnknownBankCodeOrSlotIsIgnored)
{
    Synth s(optionsWith(3));
    EXPECT_TRUE(s.receive(storedRequest(3, 0x00, 0), 0).replies.empty());
    EXPECT_TRUE(s.receive(storedRequest(3, 0x0D, 0), 0).replies.empty()) << "bank code past H";
    Bytes badSlot = storedRequest(3, 0x05, 0);
    badSlot[9] = 0x80; // not a data byte
    EXPECT_TRUE(s.receive(badSlot, 0).replies.empty());
    EXPECT_EQ(s.counters().ignored, 3);
    EXPECT_EQ(s.counters().requestsAnswered, 0);
}

TEST(ModelByte, OtherFamilyModelsAreIgnoredAndStrictModeIgnoresTheOtherModel)
{
    Synth lenient(optionsWith(3, 0x21));
    EXPECT_EQ(lenient.receive(enquiry(3, 0x20), 0).replies.size(), 2u) << "answers in its own model byte";
    EXPECT_EQ(lenient.receive(enquiry(3, 0x20), 0).replies[0].bytes[5], 0x21);
    EXPECT_TRUE(lenient.receive(enquiry(3, 0x22), 0).replies.empty());

    Options o = optionsWith(3, 0x21);
    o.strictModel = true;
    Synth strict(o);
    EXPECT_TRUE(strict.receive(enquiry(3, 0x20), 0).replies.empty());
    EXPECT_EQ(strict.receive(enquiry(3, 0x21), 0).replies.size(), 2u);
}

TEST(ForeignMessages, AreIgnoredWithoutAnswer)
{
    Synth s(optionsWith(3));
    EXPECT_TRUE(s.receive({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, 0).replies.empty());
    EXPECT_TRUE(s.receive({0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x10}, 0).replies.empty())
        << "no F7";
    EXPECT_TRUE(s.receive({0xF0, 0xF7}, 0).replies.empty());
    EXPECT_TRUE(s.receive({0x10, 0x20}, 0).replies.empty());
    EXPECT_TRUE(s.receive({}, 0).replies.empty());
    EXPECT_EQ(s.counters().ignored, 5);
}

TEST(StoredRequest, ABankOf128IsAnsweredSlotAfterSlotWithEachSlotsOwnAddress)
{
    Synth s(optionsWith(5));
    for (int slot = 0; slot < 128; ++slot) {
        Handled h = s.receive(storedRequest(5, 0x06, uint8_t(slot)), 0); // bank B
        ASSERT_EQ(h.replies.size(), 1u) << slot;
        expectEnvelope(h.replies[0].bytes, 0x20, 5, 0x02, 297);
        EXPECT_EQ(h.replies[0].bytes[8], 0x06);
        EXPECT_EQ(h.replies[0].bytes[9], slot);
    }
    EXPECT_EQ(s.counters().requestsAnswered, 128);
}

TEST(StoredRequest, ADeviceIdSweepIsAnsweredOnlyAtItsOwnId)
{
    Synth s(optionsWith(5));
    size_t answers = 0;
    for (uint8_t id = 0; id < 16; ++id) {
        Handled h = s.receive(storedRequest(id, 0x05, 9), 0);
        if (id == 5) EXPECT_EQ(h.replies.size(), 1u);
        else EXPECT_TRUE(h.replies.empty()) << int(id);
        answers += h.replies.size();
    }
    EXPECT_EQ(answers, 1u);
}
