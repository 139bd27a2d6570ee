#pragma once
// TEA, the 64-bit block cipher of the configuration files: 32 cycles, delta 0x9E3779B9,
// a 128-bit key given as four 32-bit words.
#include <cstdint>

class Tea {
public:
    // Deciphers / enciphers 8 bytes in place; the two words are stored most significant byte first.
    void simpledecrypt(unsigned char* block, unsigned int* key);
    void simpleencrypt(unsigned char* block, unsigned int* key);

    // The same on two words in host order.
    void encryptTea(unsigned int* v, unsigned int* key);
    void decryptTea(unsigned int* v, unsigned int* key);

    // Enciphers length bytes (raised to a multiple of 8) and a trailer block whose second word
    // holds the length. data must hold the rounded length plus 8 bytes. Sets length to the
    // enciphered size and returns the number of blocks.
    unsigned int encryptBlock(unsigned char* data, unsigned int* length, unsigned int* key);
    // Inverse of encryptBlock: deciphers length / 8 blocks and returns the stored length, which
    // it also writes to length. A stored length larger than the data is cut to the data.
    unsigned int decryptBlock(unsigned char* data, unsigned int* length, unsigned int* key);

    void printBuffer(unsigned char* data, int length);

    // The key both configuration files are enciphered under. It is put together on the stack
    // from two 64-bit constants of the build; the encipherer tool uses the same function.
    static void configurationKey(unsigned int key[4]);
};
