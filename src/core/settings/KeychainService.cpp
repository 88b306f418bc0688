#include "core/settings/KeychainService.h"

#include "core/common/JsonFields.h"
#include "core/ports/KeyValueStore.h"

#include <QStringDecoder>

KeychainService::KeychainService(KeyValueStore& defaults)
    : m_defaults(defaults) {}

QString KeychainService::keyFor(const QString& account) {
    return QStringLiteral("secret.") + serviceName + QLatin1Char('.') + account;
}

std::optional<QString> KeychainService::read(const QString& account) const {
    const auto stored = m_defaults.string(keyFor(account));
    if (!stored) {
        return std::nullopt;
    }
    const auto bytes = JsonFields::strictBase64(*stored);
    if (!bytes) {
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(*bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

void KeychainService::write(const QString& account, const QString& secret) {
    m_defaults.setString(keyFor(account), QString::fromLatin1(secret.toUtf8().toBase64()));
}

void KeychainService::remove(const QString& account) {
    m_defaults.remove(keyFor(account));
}
