#include "dllguard/report/blowfish.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using dllguard::Blowfish;

uint64_t Encrypt(uint64_t key, uint64_t plain)
{
    std::string keyBytes;
    for (int shift = 56; shift >= 0; shift -= 8)
        keyBytes.push_back(static_cast<char>((key >> shift) & 0xFF));
    const Blowfish cipher(keyBytes);
    uint32_t left = static_cast<uint32_t>(plain >> 32), right = static_cast<uint32_t>(plain);
    cipher.Encrypt(left, right);
    const uint64_t result = (uint64_t(left) << 32) | right;
    cipher.Decrypt(left, right);
    EXPECT_EQ((uint64_t(left) << 32) | right, plain) << "decrypting gives the plain text back";
    return result;
}

TEST(BlowfishTest, InitialTablesAreTheDigitsOfPi)
{
    const auto& words = dllguard::PiFractionWords();
    EXPECT_EQ(words[0], 0x243F6A88u);   // P[0]
    EXPECT_EQ(words[1], 0x85A308D3u);   // P[1]
    EXPECT_EQ(words[17], 0x8979FB1Bu);  // P[17]
    EXPECT_EQ(words[18], 0xD1310BA6u);  // S0[0]
    EXPECT_EQ(words[18 + 256], 0x4B7A70E9u);      // S1[0]
    EXPECT_EQ(words[18 + 512], 0xE93D5A68u);      // S2[0]
    EXPECT_EQ(words[18 + 768], 0x3A39CE37u);      // S3[0]
    EXPECT_EQ(words[words.size() - 1], 0x3AC372E6u);  // S3[255]
}

// Eric Young's published test vectors (key, plain text, cipher text).
TEST(BlowfishTest, PublishedTestVectors)
{
    struct Vector {
        uint64_t key, plain, cipher;
    };
    const Vector vectors[] = {
        {0x0000000000000000, 0x0000000000000000, 0x4EF997456198DD78},
        {0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF, 0x51866FD5B85ECB8A},
        {0x3000000000000000, 0x1000000000000001, 0x7D856F9A613063F2},
        {0x1111111111111111, 0x1111111111111111, 0x2466DD878B963C9D},
        {0x0123456789ABCDEF, 0x1111111111111111, 0x61F9C3802281B096},
        {0xFEDCBA9876543210, 0x0123456789ABCDEF, 0x0ACEAB0FC6A0A28D},
        {0x7CA110454A1A6E57, 0x01A1D6D039776742, 0x59C68245EB05282B},
        {0x0131D9619DC1376E, 0x5CD54CA83DEF57DA, 0xB1B8CC0B250F09A0},
    };
    for (const Vector& v : vectors)
        EXPECT_EQ(Encrypt(v.key, v.plain), v.cipher) << std::hex << "key " << v.key << " plain " << v.plain;
}

TEST(BlowfishTest, ShortKeysAreTakenCyclically)
{
    // A 2-byte key repeated to 8 bytes is the same key to the schedule.
    const Blowfish shortKey(std::string("\x01\x23", 2));
    const Blowfish repeated(std::string("\x01\x23\x01\x23\x01\x23\x01\x23", 8));
    uint32_t l1 = 0x11111111, r1 = 0x22222222, l2 = l1, r2 = r1;
    shortKey.Encrypt(l1, r1);
    repeated.Encrypt(l2, r2);
    EXPECT_EQ(l1, l2);
    EXPECT_EQ(r1, r2);
}

// CBC chained by hand from the published vectors of the all-zero key:
// E(0000000000000000) = 4EF997456198DD78 and E(FFFFFFFFFFFFFFFF) = 014933E0CDAFF6E4.
// From a zero vector, block 1 enciphers 0; block 2 is ~C1, so that C1 ^ P2 is
// all ones; block 3 is C2, so that C2 ^ P3 is 0 again.
TEST(BlowfishTest, CbcFromAZeroVectorMatchesChainedPublishedVectors)
{
    const Blowfish cipher(std::string(8, '\0'));
    const std::string plain("\x00\x00\x00\x00\x00\x00\x00\x00"
                            "\xB1\x06\x68\xBA\x9E\x67\x22\x87"
                            "\x01\x49\x33\xE0\xCD\xAF\xF6\xE4",
                            24);
    const std::string expected("\x4E\xF9\x97\x45\x61\x98\xDD\x78"
                               "\x01\x49\x33\xE0\xCD\xAF\xF6\xE4"
                               "\x4E\xF9\x97\x45\x61\x98\xDD\x78",
                               24);
    std::string enciphered;
    ASSERT_TRUE(dllguard::EncipherCbc(cipher, plain, enciphered));
    EXPECT_EQ(enciphered, expected);

    std::string back;
    ASSERT_TRUE(dllguard::DecipherCbc(cipher, enciphered, back));
    EXPECT_EQ(back, plain);
}

// Eric Young's key-schedule vectors: the leading bytes of
// F0E1D2C3B4A5968778695A4B3C2D1E0F as the key, plain text FEDCBA9876543210.
TEST(BlowfishTest, PublishedVectorsOfShortKeys)
{
    const std::string key("\xF0\xE1\xD2\xC3\xB4\xA5\x96\x87", 8);
    struct Vector {
        size_t length;
        uint64_t cipher;
    };
    const Vector vectors[] = {
        {1, 0xF9AD597C49DB005E}, {2, 0xE91D21C1D961A6D6}, {6, 0x9457AA83B1928C0D}, {8, 0xE87A244E2CC85E82}};
    for (const Vector& v : vectors) {
        const Blowfish cipher(key.substr(0, v.length));
        uint32_t left = 0xFEDCBA98, right = 0x76543210;
        cipher.Encrypt(left, right);
        EXPECT_EQ((uint64_t(left) << 32) | right, v.cipher) << v.length << " key bytes";
    }
}

TEST(BlowfishTest, CbcRefusesEmptyAndPartialBlocks)
{
    const Blowfish cipher("key");
    std::string out;
    for (size_t length : {0u, 1u, 7u, 9u, 15u}) {
        EXPECT_FALSE(dllguard::EncipherCbc(cipher, std::string(length, 'x'), out)) << length;
        EXPECT_FALSE(dllguard::DecipherCbc(cipher, std::string(length, 'x'), out)) << length;
    }
}

}  // namespace
