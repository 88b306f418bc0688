#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

typedef struct evp_pkey_st EVP_PKEY;

// A throwaway Ed25519 key pair standing in for the publisher's update key.
class TestSigningKey {
public:
    TestSigningKey();
    ~TestSigningKey();

    // The raw 32-byte public key, as the application holds it.
    QByteArray publicKey() const;
    // The Base64 text of the signature file over `message`, as scripts/sign-update writes it.
    QByteArray signatureFile(const QByteArray& message) const;
    // The private key in PEM, for scripts/sign-update.
    bool writePem(const QString& path) const;

private:
    struct Deleter {
        void operator()(EVP_PKEY* key) const;
    };
    std::unique_ptr<EVP_PKEY, Deleter> m_key;
};
