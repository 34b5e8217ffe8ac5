#pragma once
// Whether a file carries a valid embedded (Authenticode) signature.
#include <string>

namespace dllguard {

bool VerifyEmbeddedSignature(const std::wstring& path);

}  // namespace dllguard
