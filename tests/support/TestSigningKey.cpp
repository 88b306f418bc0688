#include "TestSigningKey.h"

#include <QFile>

#include <openssl/evp.h>
#include <openssl/pem.h>

void TestSigningKey::Deleter::operator()(EVP_PKEY* key) const {
    EVP_PKEY_free(key);
}

TestSigningKey::TestSigningKey()
    : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {}

TestSigningKey::~TestSigningKey() = default;

QByteArray TestSigningKey::publicKey() const {
    QByteArray raw(32, Qt::Uninitialized);
    size_t length = size_t(raw.size());
    if (!m_key || EVP_PKEY_get_raw_public_key(m_key.get(), reinterpret_cast<unsigned char*>(raw.data()),
                                              &length) != 1) {
        return {};
    }
    return raw.left(qsizetype(length));
}

QByteArray TestSigningKey::signatureFile(const QByteArray& message) const {
    QByteArray signature(64, Qt::Uninitialized);
    size_t length = size_t(signature.size());
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool signed_ = context &&
                         EVP_DigestSignInit(context, nullptr, nullptr, nullptr, m_key.get()) == 1 &&
                         EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                                        reinterpret_cast<const unsigned char*>(message.constData()),
                                        size_t(message.size())) == 1;
    EVP_MD_CTX_free(context);
    return signed_ ? signature.toBase64() + '\n' : QByteArray();
}

bool TestSigningKey::writePem(const QString& path) const {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "w");
    if (!file) {
        return false;
    }
    const bool written = PEM_write_PrivateKey(file, m_key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    return std::fclose(file) == 0 && written;
}
