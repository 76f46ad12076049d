#pragma once

// A self-signed TLS certificate made in memory, for loopback servers (httplib::SSLServer takes
// cert and key) and for clients told to trust it (the PEM text written to a file).

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <string>

namespace loopback {

// A self-signed certificate for the given subjectAltName, with its key.
struct CTestCertificate {
    explicit CTestCertificate(const char* altName) {
        key = EVP_EC_gen("P-256");
        cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("quill test"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, altName);
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
        X509_sign(cert, key, EVP_sha256());
        BIO* bio = BIO_new(BIO_s_mem());
        PEM_write_bio_X509(bio, cert);
        char* data = nullptr;
        long length = BIO_get_mem_data(bio, &data);
        pem.assign(data, static_cast<size_t>(length));
        BIO_free(bio);
    }
    ~CTestCertificate() {
        X509_free(cert);
        EVP_PKEY_free(key);
    }
    X509* cert = nullptr;
    EVP_PKEY* key = nullptr;
    std::string pem;
};

} // namespace loopback
