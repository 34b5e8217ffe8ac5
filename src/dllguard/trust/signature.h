#pragma once
// Whether a file carries a valid embedded (Authenticode) signature, and who
// signed it.
#include "dllguard/trust/signer_certificate.h"

#include <string>

namespace dllguard {

bool VerifyEmbeddedSignature(const std::wstring& path);

// The same check; when the signature is valid, `signer` gets the certificate
// of its first signer, read from the verification's own state before that is
// closed (nothing more is loaded for it). Empty otherwise.
bool VerifyEmbeddedSignature(const std::wstring& path, SignerCertificate& signer);

// The signer of the running executable; empty when it carries no valid
// signature. Read once at start-up, before the load hooks go in.
SignerCertificate ExecutableSigner();

}  // namespace dllguard
