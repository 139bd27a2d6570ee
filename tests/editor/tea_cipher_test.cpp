// The block cipher of the configuration files.
#include "Project_Source/src/tea.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The published result for a zero key and block; bytes hold each word most significant first.
TEST(TeaBlockCipher, ThePublishedAllZeroVectorEnciphersToItsKnownResult)
{
    unsigned int key[4] = {0, 0, 0, 0};
    unsigned int v[2] = {0, 0};
    Tea().encryptTea(v, key);
    EXPECT_EQ(v[0], 0x41EA3A0Au);
    EXPECT_EQ(v[1], 0x94BAA940u);
    unsigned char block[8] = {0};
    Tea().simpleencrypt(block, key);
    const unsigned char expected[8] = {0x41, 0xEA, 0x3A, 0x0A, 0x94, 0xBA, 0xA9, 0x40};
    EXPECT_EQ(std::memcmp(block, expected, 8), 0);
}

TEST(TeaBlockFraming, AFramedBufferRoundTripsAndADamagedTrailerNeverClaimsMoreThanTheData)
{
    unsigned int key[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};
    Tea tea;
    for (unsigned int len : {0u, 1u, 7u, 8u, 13u, 64u}) {
        std::vector<unsigned char> data(len + 16, 0xEE);
        for (unsigned int i = 0; i < len; ++i) data[i] = static_cast<unsigned char>(i * 7 + 1);
        const std::vector<unsigned char> original(data.begin(), data.begin() + len);
        unsigned int length = len;
        EXPECT_EQ(tea.encryptBlock(data.data(), &length, key), (len + 7) / 8 + 1);
        EXPECT_EQ(length, (len + 7) / 8 * 8 + 8);
        EXPECT_EQ(tea.decryptBlock(data.data(), &length, key), len);
        EXPECT_EQ(length, len);
        EXPECT_TRUE(std::equal(original.begin(), original.end(), data.begin()));
    }
    unsigned char noise[16];
    for (int i = 0; i < 16; ++i) noise[i] = static_cast<unsigned char>(0xA5 ^ i);
    unsigned int length = 16, zero = 0;
    EXPECT_LE(tea.decryptBlock(noise, &length, key), 8u);
    EXPECT_EQ(tea.decryptBlock(noise, &zero, key), 0u);
}

} // namespace
