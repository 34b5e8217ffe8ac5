#pragma once
// The guard's option word, as the start-up hands it over.
#include <cstdint>

namespace dllguard {

namespace option {
constexpr uint32_t KeepSearchPathMode = 0x01;  // clear: safe search mode, permanently
constexpr uint32_t CheckSignature = 0x02;
constexpr uint32_t ReportMode = 0x10;
constexpr uint32_t BlockMode = 0x20;
constexpr uint32_t Events = 0x40;  // events wanted without report mode
// With CheckSignature: only a signature by the executable's own signer passes.
constexpr uint32_t SamePublisher = 0x80;
constexpr uint32_t ModeMask = ReportMode | BlockMode;
}  // namespace option

enum class GuardMode : uint32_t {
    None = 0,
    Report = option::ReportMode,
    Block = option::BlockMode,
};

struct GuardOptions {
    uint32_t word = 0;
    GuardMode mode = GuardMode::None;
    bool checkSignature = false;
    bool samePublisher = false;  // publisher pinning
    bool keepSearchPathMode = false;
    bool eventsWanted = false;  // report mode or 0x40: an installed sink gets the events queue
};

// False for the refused combination of report and block mode.
[[nodiscard]] bool DecodeGuardOptions(uint32_t word, GuardOptions& options);

}  // namespace dllguard
