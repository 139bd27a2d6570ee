#include "tea.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr uint32_t kDecryptSumStart = 0xC6EF3720u; // 32 * delta, modulo 2^32
constexpr int kCycles = 32;

// The configuration key, in two halves.
constexpr uint64_t kConfigKeyHigh = 0x5A1C93E74B2D0F68ull;
constexpr uint64_t kConfigKeyLow = 0x3E8B61D7C2095AF4ull;

uint32_t loadBigEndian(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void storeBigEndian(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

void encipher(uint32_t& y, uint32_t& z, const unsigned int* k)
{
    uint32_t sum = 0;
    for (int i = 0; i < kCycles; ++i) {
        sum += kDelta;
        y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    }
}

void decipher(uint32_t& y, uint32_t& z, const unsigned int* k)
{
    uint32_t sum = kDecryptSumStart;
    for (int i = 0; i < kCycles; ++i) {
        z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
        y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        sum -= kDelta;
    }
}

} // namespace

void Tea::simpledecrypt(unsigned char* block, unsigned int* key)
{
    uint32_t y = loadBigEndian(block), z = loadBigEndian(block + 4);
    decipher(y, z, key);
    storeBigEndian(block, y);
    storeBigEndian(block + 4, z);
}

void Tea::simpleencrypt(unsigned char* block, unsigned int* key)
{
    uint32_t y = loadBigEndian(block), z = loadBigEndian(block + 4);
    encipher(y, z, key);
    storeBigEndian(block, y);
    storeBigEndian(block + 4, z);
}

void Tea::encryptTea(unsigned int* v, unsigned int* key)
{
    uint32_t y = v[0], z = v[1];
    encipher(y, z, key);
    v[0] = y;
    v[1] = z;
}

void Tea::decryptTea(unsigned int* v, unsigned int* key)
{
    uint32_t y = v[0], z = v[1];
    decipher(y, z, key);
    v[0] = y;
    v[1] = z;
}

unsigned int Tea::encryptBlock(unsigned char* data, unsigned int* length, unsigned int* key)
{
    unsigned int rounded = (*length + 7u) & ~7u;
    // The padding of the last data block and the whole trailer block are zero before the
    // length goes into the trailer's second word.
    std::memset(data + *length, 0, rounded - *length + 8);
    unsigned int words[2] = {0, *length};
    std::memcpy(data + rounded, words, sizeof words);
    unsigned int blocks = rounded / 8 + 1;
    for (unsigned int b = 0; b < blocks; ++b) {
        unsigned int v[2];
        std::memcpy(v, data + b * 8, 8);
        encryptTea(v, key);
        std::memcpy(data + b * 8, v, 8);
    }
    *length = rounded + 8;
    return blocks;
}

unsigned int Tea::decryptBlock(unsigned char* data, unsigned int* length, unsigned int* key)
{
    unsigned int blocks = *length / 8;
    if (blocks == 0) {
        *length = 0;
        return 0;
    }
    for (unsigned int b = 0; b < blocks; ++b) {
        unsigned int v[2];
        std::memcpy(v, data + b * 8, 8);
        decryptTea(v, key);
        std::memcpy(data + b * 8, v, 8);
    }
    unsigned int stored;
    std::memcpy(&stored, data + (blocks - 1) * 8 + 4, sizeof stored);
    // A damaged trailer must not claim more data than the blocks before it hold.
    unsigned int available = (blocks - 1) * 8;
    if (stored > available) stored = available;
    *length = stored;
    return stored;
}

void Tea::printBuffer(unsigned char* data, int length)
{
    for (int i = 0; i < length; ++i) std::printf("%02x ", data[i]);
    std::printf("\n");
}

void Tea::configurationKey(unsigned int key[4])
{
    key[0] = static_cast<unsigned int>(kConfigKeyHigh >> 32);
    key[1] = static_cast<unsigned int>(kConfigKeyHigh);
    key[2] = static_cast<unsigned int>(kConfigKeyLow >> 32);
    key[3] = static_cast<unsigned int>(kConfigKeyLow);
}
