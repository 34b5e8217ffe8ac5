#pragma once
// The initial P-array and S-boxes of Blowfish: the first 1042 32-bit words
// of the fraction of pi, generated at build time (blowfish_tables.py).
#include <array>
#include <cstdint>

namespace dllguard {

constexpr size_t kBlowfishRounds = 16;
constexpr size_t kBlowfishPWords = kBlowfishRounds + 2;
constexpr size_t kBlowfishSWords = 4 * 256;

using BlowfishInitialWords = std::array<uint32_t, kBlowfishPWords + kBlowfishSWords>;

// P[0..17] followed by S0..S3; the words of pi's fraction in order
// (0x243F6A88, 0x85A308D3, ...).
const BlowfishInitialWords& PiFractionWords();

}  // namespace dllguard
