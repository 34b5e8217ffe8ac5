#include "dllguard/report/blowfish_tables.h"

#include <vector>

namespace dllguard {
namespace {

// Fixed-point numbers as 32-bit words, most significant first: word 0 is the
// integer part, the rest the fraction. A few words beyond the ones kept
// absorb the rounding of the series.
using Words = std::vector<uint32_t>;
constexpr size_t kGuardWords = 4;

void DivideInPlace(Words& value, size_t from, uint32_t divisor)
{
    uint64_t remainder = 0;
    for (size_t i = from; i < value.size(); ++i) {
        const uint64_t current = (remainder << 32) | value[i];
        value[i] = static_cast<uint32_t>(current / divisor);
        remainder = current % divisor;
    }
}

// sum += term / divisor, or sum -= term / divisor.
void AccumulateQuotient(Words& sum, const Words& term, size_t from, uint32_t divisor, bool subtract, Words& scratch)
{
    uint64_t remainder = 0;
    for (size_t i = from; i < term.size(); ++i) {
        const uint64_t current = (remainder << 32) | term[i];
        scratch[i] = static_cast<uint32_t>(current / divisor);
        remainder = current % divisor;
    }
    uint64_t carry = 0;
    for (size_t i = sum.size(); i-- > 0;) {
        const uint64_t operand = (i >= from ? scratch[i] : 0) + carry;
        if (i < from && carry == 0)
            break;
        if (subtract) {
            carry = sum[i] < operand ? 1 : 0;
            sum[i] = static_cast<uint32_t>(sum[i] - operand);
        } else {
            const uint64_t total = sum[i] + operand;
            sum[i] = static_cast<uint32_t>(total);
            carry = total >> 32;
        }
    }
}

// sum += factor * arctan(1/x) (or -=), by the alternating series
// arctan(1/x) = 1/x - 1/(3x^3) + 1/(5x^5) - ...
void AccumulateArctan(Words& sum, uint32_t factor, uint32_t x, bool subtract)
{
    Words term(sum.size(), 0);
    Words scratch(sum.size(), 0);
    term[0] = factor;
    DivideInPlace(term, 0, x);
    size_t from = 0;  // words above this one are zero in the shrinking term
    for (uint32_t k = 0;; ++k) {
        while (from < term.size() && term[from] == 0)
            ++from;
        if (from == term.size())
            return;
        AccumulateQuotient(sum, term, from, 2 * k + 1, subtract != (k % 2 == 1), scratch);
        DivideInPlace(term, from, x * x);
    }
}

BlowfishInitialWords ComputeWords()
{
    // pi = 16 arctan(1/5) - 4 arctan(1/239)
    Words pi(1 + std::tuple_size<BlowfishInitialWords>::value + kGuardWords, 0);
    AccumulateArctan(pi, 16, 5, false);
    AccumulateArctan(pi, 4, 239, true);
    BlowfishInitialWords words{};
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = pi[i + 1];
    return words;
}

}  // namespace

const BlowfishInitialWords& PiFractionWords()
{
    static const BlowfishInitialWords words = ComputeWords();
    return words;
}

}  // namespace dllguard
