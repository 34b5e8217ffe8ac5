#pragma once
// The Blowfish block cipher (64-bit blocks, 16 rounds, standard key schedule
// with the key bytes taken cyclically) and its CBC mode with a zero initial
// vector, each block's halves read and written big-endian.
#include "dllguard/report/blowfish_tables.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dllguard {

class Blowfish {
public:
    // Keys of 1 to 56 bytes.
    explicit Blowfish(std::string_view key);

    void Encrypt(uint32_t& left, uint32_t& right) const;
    void Decrypt(uint32_t& left, uint32_t& right) const;

private:
    uint32_t Round(uint32_t half) const;

    std::array<uint32_t, kBlowfishPWords> p_{};
    std::array<std::array<uint32_t, 256>, 4> s_{};
};

// Refuse (false) a text that is empty or not a multiple of 8 bytes long.
bool EncipherCbc(const Blowfish& cipher, std::string_view plain, std::string& enciphered);
[[nodiscard]] bool DecipherCbc(const Blowfish& cipher, std::string_view enciphered, std::string& plain);

}  // namespace dllguard
