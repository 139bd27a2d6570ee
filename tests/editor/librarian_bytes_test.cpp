// Stored messages of one file share one block and copies share bytes until written: every
// write must land in bytes of the writer's own.
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "Project_Source/src/PatchSysexMessage.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Two neighbouring messages written into one shared block, as the reader stores a file.
std::pair<SysexBytes, SysexBytes> neighbours()
{
    SysexBytes::Writer writer;
    uint8_t* a = writer.room(3, 64);
    a[0] = 0xF0, a[1] = 0x01, a[2] = 0xF7;
    SysexBytes first = writer.commit(3);
    uint8_t* b = writer.room(3, 64);
    b[0] = 0xF0, b[1] = 0x02, b[2] = 0xF7;
    SysexBytes second = writer.commit(3);
    return {first, second};
}

TEST(SharedSysexBytes, AWriteChangesOnlyTheMessageWritten)
{
    struct Case {
        const char* name;
        std::function<void(SysexBytes&)> write;
        Bytes want;
    };
    const std::vector<Case> cases = {
        {"index", [](SysexBytes& m) { m[1] = 0x7F; }, {0xF0, 0x7F, 0xF7}},
        {"pop then push", [](SysexBytes& m) { m.pop_back(), m.push_back(0x55); }, {0xF0, 0x01, 0x55}},
        {"push", [](SysexBytes& m) { m.push_back(0x66); }, {0xF0, 0x01, 0xF7, 0x66}},
        {"insert own bytes", [](SysexBytes& m) { m.insert(m.begin() + 1, m.begin(), m.end()); },
         {0xF0, 0xF0, 0x01, 0xF7, 0x01, 0xF7}},
        {"erase", [](SysexBytes& m) { m.erase(m.begin() + 1); }, {0xF0, 0xF7}},
        {"resize", [](SysexBytes& m) { m.resize(5, 0x11); }, {0xF0, 0x01, 0xF7, 0x11, 0x11}},
        {"assign", [](SysexBytes& m) { m.assign({0xF0, 0xF7}); }, {0xF0, 0xF7}},
    };
    for (const Case& c : cases) {
        auto [first, second] = neighbours();
        SysexBytes copy = first;
        c.write(first);
        EXPECT_EQ(Bytes(first), c.want) << c.name;
        EXPECT_EQ(Bytes(copy), (Bytes{0xF0, 0x01, 0xF7})) << c.name << ": the copy changed";
        EXPECT_EQ(Bytes(second), (Bytes{0xF0, 0x02, 0xF7})) << c.name << ": the neighbour changed";
    }
}

TEST(SharedSysexBytes, CopiesMadeOnSeveralThreadsKeepTheirBytes)
{
    auto [first, second] = neighbours();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                SysexBytes mine = (i & 1) ? first : second;
                mine[1] = uint8_t(t);
                ASSERT_EQ(mine[1], t);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(Bytes(first), (Bytes{0xF0, 0x01, 0xF7}));
    EXPECT_EQ(Bytes(second), (Bytes{0xF0, 0x02, 0xF7}));
}

} // namespace
