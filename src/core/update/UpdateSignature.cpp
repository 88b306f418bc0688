#include "core/update/UpdateSignature.h"

#include <memory>
#include <openssl/evp.h>

namespace {

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

} // namespace

namespace UpdateSignature {

QByteArray compiledPublicKey() {
    return decodePublicKey(QByteArrayLiteral(ORLAVO_UPDATE_PUBLIC_KEY));
}

QByteArray decodePublicKey(const QByteArray& base64) {
    auto decoded = QByteArray::fromBase64Encoding(base64.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != publicKeySize) {
        return {};
    }
    return decoded.decoded;
}

bool verify(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signatureText) {
    if (publicKey.size() != publicKeySize) {
        return false;
    }
    const auto signature =
        QByteArray::fromBase64Encoding(signatureText.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!signature || signature.decoded.size() != signatureSize) {
        return false;
    }
    const std::unique_ptr<EVP_PKEY, KeyDeleter> key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.constData()),
        size_t(publicKey.size())));
    const std::unique_ptr<EVP_MD_CTX, ContextDeleter> context(EVP_MD_CTX_new());
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(
               context.get(), reinterpret_cast<const unsigned char*>(signature.decoded.constData()),
               size_t(signature.decoded.size()), reinterpret_cast<const unsigned char*>(message.constData()),
               size_t(message.size())) == 1;
}

} // namespace UpdateSignature
