#include "dllguard/report/blowfish.h"

#include <utility>

namespace dllguard {
namespace {

constexpr size_t kBlockSize = 8;

uint32_t ReadBigEndian(const char* bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}

void WriteBigEndian(uint32_t value, char* bytes)
{
    for (int i = 3; i >= 0; --i) {
        bytes[i] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
}

bool IsWholeBlocks(std::string_view text) { return !text.empty() && text.size() % kBlockSize == 0; }

}  // namespace

Blowfish::Blowfish(std::string_view key)
{
    const BlowfishInitialWords& initial = PiFractionWords();
    for (size_t i = 0; i < p_.size(); ++i)
        p_[i] = initial[i];
    for (size_t box = 0; box < s_.size(); ++box) {
        for (size_t i = 0; i < 256; ++i)
            s_[box][i] = initial[kBlowfishPWords + box * 256 + i];
    }

    if (!key.empty()) {
        size_t next = 0;
        for (uint32_t& word : p_) {
            uint32_t keyWord = 0;
            for (int i = 0; i < 4; ++i) {
                keyWord = (keyWord << 8) | static_cast<unsigned char>(key[next]);
                next = (next + 1) % key.size();
            }
            word ^= keyWord;
        }
    }

    uint32_t left = 0, right = 0;
    for (size_t i = 0; i < p_.size(); i += 2) {
        Encrypt(left, right);
        p_[i] = left;
        p_[i + 1] = right;
    }
    for (auto& box : s_) {
        for (size_t i = 0; i < box.size(); i += 2) {
            Encrypt(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

uint32_t Blowfish::Round(uint32_t half) const
{
    return ((s_[0][half >> 24] + s_[1][(half >> 16) & 0xFF]) ^ s_[2][(half >> 8) & 0xFF]) + s_[3][half & 0xFF];
}

void Blowfish::Encrypt(uint32_t& left, uint32_t& right) const
{
    for (size_t i = 0; i < kBlowfishRounds; ++i) {
        left ^= p_[i];
        right ^= Round(left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= p_[kBlowfishRounds];
    left ^= p_[kBlowfishRounds + 1];
}

void Blowfish::Decrypt(uint32_t& left, uint32_t& right) const
{
    for (size_t i = kBlowfishRounds + 1; i > 1; --i) {
        left ^= p_[i];
        right ^= Round(left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= p_[1];
    left ^= p_[0];
}

bool EncipherCbc(const Blowfish& cipher, std::string_view plain, std::string& enciphered)
{
    if (!IsWholeBlocks(plain))
        return false;
    enciphered.resize(plain.size());
    uint32_t chainLeft = 0, chainRight = 0;
    for (size_t at = 0; at < plain.size(); at += kBlockSize) {
        chainLeft ^= ReadBigEndian(plain.data() + at);
        chainRight ^= ReadBigEndian(plain.data() + at + 4);
        cipher.Encrypt(chainLeft, chainRight);
        WriteBigEndian(chainLeft, enciphered.data() + at);
        WriteBigEndian(chainRight, enciphered.data() + at + 4);
    }
    return true;
}

bool DecipherCbc(const Blowfish& cipher, std::string_view enciphered, std::string& plain)
{
    if (!IsWholeBlocks(enciphered))
        return false;
    plain.resize(enciphered.size());
    uint32_t chainLeft = 0, chainRight = 0;
    for (size_t at = 0; at < enciphered.size(); at += kBlockSize) {
        const uint32_t blockLeft = ReadBigEndian(enciphered.data() + at);
        const uint32_t blockRight = ReadBigEndian(enciphered.data() + at + 4);
        uint32_t left = blockLeft, right = blockRight;
        cipher.Decrypt(left, right);
        WriteBigEndian(left ^ chainLeft, plain.data() + at);
        WriteBigEndian(right ^ chainRight, plain.data() + at + 4);
        chainLeft = blockLeft;
        chainRight = blockRight;
    }
    return true;
}

}  // namespace dllguard
