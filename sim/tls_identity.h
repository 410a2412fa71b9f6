// A certificate and key for the simulated wss:// and https:// servers, made
// when asked: self-signed for "localhost" and 127.0.0.1, so a client trusts it
// only when handed the certificate (SONARO_TEST_CA_FILE, or the settings'
// trusted CA file), never through the system's store.
//
// Threads: any.
#pragma once

#include <string>

namespace sim {

// The certificate and key (PEM) a TLS server presents.
struct TlsIdentity {
    std::string certificatePem;
    std::string privateKeyPem;
};

// A fresh self-signed identity: a new key every call, valid for a day.
TlsIdentity selfSignedIdentity();

}  // namespace sim
