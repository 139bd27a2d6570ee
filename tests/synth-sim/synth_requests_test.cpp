// What the simulated synthesizer answers on the wire: every request kind with the types and
// lengths of the family, what it ignores and why, each way it can be told to misbehave, and
// how a delivery of its MIDI input is cut into messages.
#include "midi_stream.h"
#include "simwire.h"
#include "synth.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace simtest;
using synthsim::EditReply;
using synthsim::Handled;
using synthsim::Options;
using synthsim::StoredForm;
using synthsim::Synth;

namespace {

using Configure = void (*)(Options&);
void plain(Options&) {}
void model21(Options& o) { o.model = 0x21; }

Handled answer(Configure configure, const Bytes& request, Synth** kept = nullptr)
{
    Options o;
    configure(o);
    static Synth s{Options{}};
    s.reset(o);
    if (kept) *kept = &s;
    return s.receive(request, 0);
}

// Each answer as "type/length", with "/part" or "/bank code/slot" where it is addressed; an
// envelope that is not the request's model, the device id 9, F7 at the end and 7-bit data
// between shows as "bad".
std::string summary(const Handled& h, uint8_t model)
{
    std::string out;
    for (const auto& r : h.replies) {
        const Bytes& m = r.bytes;
        char one[32];
        std::snprintf(one, sizeof one, "%s%02X/%zu", out.empty() ? "" : " ", m.at(7), m.size());
        out += one;
        if (m[7] == 0x00) out += "/" + std::to_string(m[8]);
        if (m[7] == 0x02 || m[7] == 0x07 || m[7] == 0x1C) out += "/" + std::to_string(m[8]) + "/" + std::to_string(m[9]);
        if (slice(m, 0, 7) != Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, model, 9} || m.back() != 0xF7 ||
            !synthsim::dataBytesAre7Bit(m))
            out += " bad";
    }
    return out;
}

} // namespace

TEST(WireAnswers, EachRequestIsAnsweredWithTheTypesAndLengthsOfTheFamily)
{
    const struct {
        Configure configure;
        Bytes request;
        const char* replies;
    } rows[] = {
        {plain, enquiry(), "0F/281 15/297"},
        {model21, enquiry(9, 0x21), "0F/281 15/297"},
        {plain, editRequest(), "00/296/0"},
        {[](Options& o) { o.model = 0x21, o.editReply = EditReply::Performance; }, editRequest(9, 0x21), "05/381 1B/25"},
        {[](Options& o) { o.editReply = EditReply::Performance; }, editRequest(), "05/381"},
        {[](Options& o) { o.editReply = EditReply::Both; }, editRequest(), "05/381 00/296/0"},
        {[](Options& o) { o.editReply = EditReply::AllParts; }, editRequest(),
         "00/296/0 00/296/1 00/296/2 00/296/3 00/296/4 00/296/5 00/296/6 00/296/7"},
        {[](Options& o) { o.editReply = EditReply::AllPartsThenPerformance; }, editRequest(),
         "00/296/0 00/296/1 00/296/2 00/296/3 00/296/4 00/296/5 00/296/6 00/296/7 05/381"},
        {[](Options& o) { o.model = 0x21, o.editReply = EditReply::AllPartsThenPerformance; }, editRequest(9, 0x21),
         "00/296/0 00/296/1 00/296/2 00/296/3 00/296/4 00/296/5 00/296/6 00/296/7 05/381 1B/25"},
        {[](Options& o) { o.editReply = EditReply::ProgramThenPerformance; }, editRequest(), "00/296/0 05/381"},
        {[](Options& o) { o.model = 0x21, o.editReply = EditReply::ProgramThenPerformance; }, editRequest(9, 0x21),
         "00/296/0 05/381 1B/25"},
        {[](Options& o) { o.ignoreEnquiry = true; }, editRequest(), "00/296/0"},
        {plain, storedRequest(0x07, 42), "02/297/7/42"},
        {[](Options& o) { o.storedProgramReply = StoredForm::Dump; }, storedRequest(0x05, 0), "00/296/0"},
        {plain, storedRequest(0x02, 7), "07/383/2/7"},
        {model21, storedRequest(0x04, 127, 9, 0x21), "07/383/4/127 1C/27/4/127"},
        {[](Options& o) { o.model = 0x21, o.storedPerformanceReply = StoredForm::Dump; },
         storedRequest(0x01, 0, 9, 0x21), "05/381 1B/25"},
    };
    for (const auto& r : rows) EXPECT_EQ(summary(answer(r.configure, r.request), r.request[5]), r.replies);
}

TEST(WireAnswers, WhatIsNotAddressedToItOrIsDamagedIsIgnoredWithTheReason)
{
    Bytes highSlot = storedRequest(0x05, 0), longer = enquiry();
    highSlot[9] = 0x80;
    longer.insert(longer.end() - 1, 0x00);
    const struct {
        Configure configure;
        Bytes bytes;
        const char* note;
    } rows[] = {
        {plain, enquiry(4), "addressed to device 4"},
        {plain, longer, "enquiry of 10 bytes"},
        {plain, enquiry(9, 0x22), "other model"},
        {[](Options& o) { o.model = 0x21, o.strictModel = true; }, enquiry(), "other model"},
        {plain, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, "foreign sysex"},
        {plain, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x09, 0x10}, "no F7 at the end"},
        {plain, highSlot, "data byte above 7F"},
        {plain, storedRequest(0x0D, 0), "bank code 13"},
        {plain, {0x10, 0x20}, "no status byte"},
    };
    for (const auto& r : rows) {
        Synth* s = nullptr;
        const Handled h = answer(r.configure, r.bytes, &s);
        EXPECT_TRUE(h.replies.empty()) << r.note;
        EXPECT_NE(h.note.find(r.note), std::string::npos) << h.note;
        EXPECT_EQ(s->counters().ignored, 1) << r.note;
    }
}

TEST(Misbehaviour, EachOptionShowsInTheAnswers)
{
    const struct {
        Configure configure;
        Bytes request;
        std::vector<size_t> lengths;
        std::string lastNote;
    } rows[] = {
        {[](Options& o) { o.silent = true; }, enquiry(), {}, ""},
        {[](Options& o) { o.ignoreEnquiry = true; }, enquiry(), {}, ""},
        {[](Options& o) { o.ignoreEnquiry = true, o.globalsReversed = true; }, enquiry(), {}, ""},
        {[](Options& o) { o.truncateBy = 10; }, storedRequest(0x05, 0), {287}, "truncated by 10"},
        {[](Options& o) { o.truncateBy = 10, o.overlongBy = 4; }, storedRequest(0x05, 0), {291},
         "truncated by 10, overlong by 4"},
        {[](Options& o) { o.foreignSysEx = true; }, enquiry(), {8, 281, 297}, ""},
        {[](Options& o) { o.globalsReversed = true; }, enquiry(), {297, 281}, ""},
    };
    for (const auto& r : rows) {
        const Handled h = answer(r.configure, r.request);
        std::vector<size_t> lengths;
        for (const auto& out : h.replies) lengths.push_back(out.bytes.size());
        EXPECT_EQ(lengths, r.lengths);
        for (const auto& out : h.replies) EXPECT_EQ((Bytes{out.bytes.front(), out.bytes.back()}), (Bytes{0xF0, 0xF7}));
        if (!h.replies.empty()) {
            EXPECT_EQ(h.replies.back().note, r.lastNote);
        }
    }
    const Handled h = answer([](Options& o) { o.replyDelayMs = 750, o.foreignSysEx = true; }, enquiry());
    ASSERT_EQ(h.replies.size(), 3u);
    EXPECT_NE(h.replies[0].bytes.at(1), 0x00) << "the foreign message is not of the family";
    EXPECT_TRUE(h.replies[0].delayMs == 750 && h.replies[2].delayMs == 750);
}

TEST(MidiInput, ABrokenSysExEndsAtTheNextStatusByteAndWhatFollowsStandsAlone)
{
    const Bytes enquiry = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x09, 0x10, 0xF7};
    auto then = [](Bytes head, const Bytes& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const struct {
        const char* what;
        Bytes data;
        std::vector<Bytes> messages;
    } rows[] = {
        {"one message", enquiry, {enquiry}},
        {"broken sysex, then an enquiry", then({0xF0, 0x00, 0x20, 0x29, 0x01}, enquiry), {{0xF0, 0x00, 0x20, 0x29, 0x01}, enquiry}},
        {"broken sysex, then channel messages",
         {0xF0, 0x01, 0xB3, 0x62, 0x71, 0xC3, 0x05, 0xE0, 0x00, 0x40},
         {{0xF0, 0x01}, {0xB3, 0x62, 0x71}, {0xC3, 0x05}, {0xE0, 0x00, 0x40}}},
        {"real-time where it stands", {0xF0, 0x01, 0xF8, 0x02, 0xF7, 0xB0, 0xFA, 0x07, 0x10},
         {{0xF8}, {0xF0, 0x01, 0x02, 0xF7}, {0xFA}, {0xB0, 0x07, 0x10}}},
        {"cut short and stray bytes", {0x12, 0x34, 0x90, 0x40, 0xF7, 0xF6, 0xF2, 0x01, 0x02, 0xB0},
         {{0x12, 0x34}, {0x90, 0x40}, {0xF7}, {0xF6}, {0xF2, 0x01, 0x02}, {0xB0}}},
        {"a sysex runs into another", {0xF0, 0x01, 0xF0, 0x02, 0xF7}, {{0xF0, 0x01}, {0xF0, 0x02, 0xF7}}},
    };
    for (const auto& r : rows) EXPECT_EQ(synthsim::splitMidiInput(r.data.data(), r.data.size()), r.messages) << r.what;
}
