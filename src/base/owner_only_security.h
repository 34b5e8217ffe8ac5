#pragma once
// Security attributes for a folder that no other standard user may write
// into: full access for SYSTEM, the Administrators and the account this
// process runs as, inherited by everything made inside, and nothing taken
// over from the folder it is made in. Built in place, without allocating.
#include <windows.h>

class OwnerOnlySecurity {
public:
    OwnerOnlySecurity() noexcept;
    OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
    OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

    // Null when the descriptor could not be built (the last error says why
    // at construction): the caller then makes nothing rather than inherit.
    SECURITY_ATTRIBUTES* Attributes() noexcept { return built_ ? &attributes_ : nullptr; }

private:
    bool Build() noexcept;

    static constexpr DWORD kAceRoom = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + SECURITY_MAX_SID_SIZE;

    alignas(TOKEN_USER) BYTE user_[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    alignas(DWORD) BYTE system_[SECURITY_MAX_SID_SIZE];
    alignas(DWORD) BYTE administrators_[SECURITY_MAX_SID_SIZE];
    alignas(DWORD) BYTE acl_[sizeof(ACL) + 3 * kAceRoom];
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool built_ = false;
};
