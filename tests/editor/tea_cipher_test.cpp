// The block cipher of the configuration files.
#include "Project_Source/src/tea.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

// The reference result for a zero key and a zero block; the byte form stores each word most
// significant byte first.
TEST(TeaBlockCipher, ThePublishedAllZeroVectorEnciphersToItsKnownResult)
{
    unsigned int key[4] = {0, 0, 0, 0};
    unsigned int v[2] = {0, 0};
    Tea tea;
    tea.encryptTea(v, key);
    EXPECT_EQ(v[0], 0x41EA3A0Au);
    EXPECT_EQ(v[1], 0x94BAA940u);
    tea.decryptTea(v, key);
    EXPECT_EQ(v[0], 0u);
    EXPECT_EQ(v[1], 0u);
    unsigned char block[8] = {0};
    tea.simpleencrypt(block, key);
    const unsigned char expected[8] = {0x41, 0xEA, 0x3A, 0x0A, 0x94, 0xBA, 0xA9, 0x40};
    EXPECT_EQ(std::memcmp(block, expected, 8), 0);
}

TEST(TeaBlockCipher, EncipheringThenDecipheringGivesAnyEightBytesBack)
{
    std::mt19937 rng(1234);
    unsigned int configKey[4];
    Tea::configurationKey(configKey);
    Tea tea;
    for (int round = 0; round < 2000; ++round) {
        unsigned int key[4];
        for (auto& k : key) k = rng();
        unsigned int* useKey = (round % 2 == 0) ? key : configKey;
        unsigned char block[8], original[8];
        for (auto& b : original) b = static_cast<unsigned char>(rng());
        std::memcpy(block, original, 8);
        tea.simpleencrypt(block, useKey);
        EXPECT_NE(std::memcmp(block, original, 8), 0);
        tea.simpledecrypt(block, useKey);
        ASSERT_EQ(std::memcmp(block, original, 8), 0) << "round " << round;
    }
}

TEST(TeaBlockCipher, EveryKeyWordChangesTheResult)
{
    Tea tea;
    unsigned char base[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned int key[4] = {10, 20, 30, 40};
    unsigned char reference[8];
    std::memcpy(reference, base, 8);
    tea.simpleencrypt(reference, key);
    for (int w = 0; w < 4; ++w) {
        unsigned int other[4] = {10, 20, 30, 40};
        other[w] ^= 1;
        unsigned char block[8];
        std::memcpy(block, base, 8);
        tea.simpleencrypt(block, other);
        EXPECT_NE(std::memcmp(block, reference, 8), 0) << "key word " << w;
    }
}

TEST(TeaBlockFraming, AFramedBufferRoundTripsWithItsLength)
{
    unsigned int key[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};
    Tea tea;
    for (unsigned int len : {0u, 1u, 7u, 8u, 13u, 64u}) {
        std::vector<unsigned char> data(len + 16, 0xEE);
        for (unsigned int i = 0; i < len; ++i) data[i] = static_cast<unsigned char>(i * 7 + 1);
        std::vector<unsigned char> original(data.begin(), data.begin() + len);
        unsigned int length = len;
        unsigned int blocks = tea.encryptBlock(data.data(), &length, key);
        unsigned int rounded = (len + 7) / 8 * 8;
        EXPECT_EQ(blocks, rounded / 8 + 1);
        EXPECT_EQ(length, rounded + 8);
        unsigned int back = tea.decryptBlock(data.data(), &length, key);
        EXPECT_EQ(back, len);
        EXPECT_EQ(length, len);
        EXPECT_TRUE(std::equal(original.begin(), original.end(), data.begin()));
    }
}

TEST(TeaBlockFraming, ADamagedTrailerNeverClaimsMoreThanTheDataHolds)
{
    unsigned int key[4] = {1, 2, 3, 4};
    Tea tea;
    // Two blocks of noise: whatever the trailer deciphers to, the length stays within block one.
    unsigned char data[16];
    for (int i = 0; i < 16; ++i) data[i] = static_cast<unsigned char>(0xA5 ^ i);
    unsigned int length = 16;
    unsigned int back = tea.decryptBlock(data, &length, key);
    EXPECT_LE(back, 8u);
    unsigned int zero = 0;
    EXPECT_EQ(tea.decryptBlock(data, &zero, key), 0u);
}

} // namespace
