#pragma once
// Writes an entry line when a function starts and an exit line with the
// elapsed milliseconds when it ends.
#include <cstdint>

namespace logging {

class FunctionTrace {
public:
    static constexpr unsigned NameRoom = 260;
    static constexpr unsigned DisplayNameLimit = 257;  // room left for "()"
    static constexpr unsigned PlainNameLimit = 259;

    explicit FunctionTrace(const wchar_t* function);
    ~FunctionTrace();
    FunctionTrace(const FunctionTrace&) = delete;
    FunctionTrace& operator=(const FunctionTrace&) = delete;

    const wchar_t* DisplayName() const { return displayName_; }
    const wchar_t* PlainName() const { return plainName_; }

private:
    uint32_t start_;
    wchar_t displayName_[NameRoom];
    wchar_t plainName_[NameRoom];
};

}  // namespace logging
