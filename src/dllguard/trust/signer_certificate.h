#pragma once
// The certificate of a signature's signer, as the system's trust functions
// report it. Compared by the certificate itself, never by a name.
#include <string>
#include <vector>

namespace dllguard {

struct SignerCertificate {
    std::vector<unsigned char> encoded;  // DER; empty when there is none
    std::wstring thumbprint;             // SHA-256 in hexadecimal, for the trace; may be empty

    bool Present() const { return !encoded.empty(); }
    bool SameAs(const SignerCertificate& other) const { return Present() && encoded == other.encoded; }
};

}  // namespace dllguard
