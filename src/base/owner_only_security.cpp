#include "base/owner_only_security.h"

#include "base/unique_resource.h"

OwnerOnlySecurity::OwnerOnlySecurity() noexcept : built_(Build()) {}

bool OwnerOnlySecurity::Build() noexcept
{
    UniqueHandle token;
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !GetTokenInformation(token.get(), TokenUser, user_, sizeof(user_), &size))
        return false;
    DWORD systemSize = sizeof(system_);
    DWORD administratorsSize = sizeof(administrators_);
    if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, system_, &systemSize) ||
        !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators_, &administratorsSize))
        return false;

    auto* acl = reinterpret_cast<ACL*>(acl_);
    constexpr DWORD inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    if (!InitializeAcl(acl, sizeof(acl_), ACL_REVISION) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, inherited, FILE_ALL_ACCESS, system_) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, inherited, FILE_ALL_ACCESS, administrators_) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, inherited, FILE_ALL_ACCESS,
                               reinterpret_cast<TOKEN_USER*>(user_)->User.Sid))
        return false;
    // Protected: the parent's inheritable entries (every user may create in
    // ProgramData) are not added to these.
    if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return false;
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    return true;
}
