#include "BackendToken.h"

#include "settings/KeychainService.h"

#include <QFile>

namespace BackendToken {

std::optional<QString> fromCredentials(const KeychainService& keychain) {
    if (auto apiKey = keychain.read(KeychainService::apiKeyAccount); apiKey && !apiKey->isEmpty()) {
        return apiKey;
    }
    return keychain.read(KeychainService::backendTokenAccount);
}

std::optional<QString> readServerTokenFile(const QString& path) {
    // A token is a short line; anything much longer is not the server's file.
    constexpr qint64 maximumSize = 4096;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumSize) {
        return std::nullopt;
    }
    const QByteArray bytes = file.read(maximumSize);
    const qsizetype lineEnd = bytes.indexOf('\n');
    const QString token = QString::fromUtf8(lineEnd < 0 ? bytes : bytes.left(lineEnd)).trimmed();
    if (token.isEmpty()) {
        return std::nullopt;
    }
    return token;
}

} // namespace BackendToken
