// A self-signed certificate made at test time for "localhost" and 127.0.0.1,
// so the TLS paths run against servers of the test's own that a client
// trusts only because the test hands it the certificate.
#pragma once

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <string>

namespace testing_support {

struct TestCertificate {
    std::string certificatePem;
    std::string privateKeyPem;
};

namespace detail {

inline std::string pemOf(int (*write)(BIO*, void*), void* object) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    write(bio.get(), object);
    char* data = nullptr;
    long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace detail

inline TestCertificate makeTestCertificate(const char* commonName = "localhost") {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), X509_free);
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName),
                               -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    for (auto [id, value] : {std::pair{NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1"},
                             std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, id, value);
        X509_add_ext(cert.get(), extension, -1);
        X509_EXTENSION_free(extension);
    }
    X509_sign(cert.get(), key.get(), EVP_sha256());
    return {detail::pemOf([](BIO* b, void* c) { return PEM_write_bio_X509(b, static_cast<X509*>(c)); },
                          cert.get()),
            detail::pemOf(
                [](BIO* b, void* k) {
                    return PEM_write_bio_PrivateKey(b, static_cast<EVP_PKEY*>(k), nullptr, nullptr, 0,
                                                    nullptr, nullptr);
                },
                key.get())};
}

}  // namespace testing_support
