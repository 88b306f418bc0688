#include "core/backend/BackendToken.h"

#include "core/settings/KeychainService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>

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

QString serverAddressFile(const QString& tokenFile) {
    return QFileInfo(tokenFile).dir().filePath(QStringLiteral("server-address"));
}

bool servesUrl(const QString& addressFile, const QUrl& url) {
    QFile file(addressFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QString line = QString::fromUtf8(file.read(256)).trimmed();
    const qsizetype colon = line.lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    const int port = line.mid(colon + 1).toInt(&portOk);
    if (colon <= 0 || !portOk || port != url.port(url.scheme() == QLatin1String("https") ? 443 : 80)) {
        return false;
    }
    QString host = line.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
    }
    const QHostAddress address(host);
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || address.isLoopback() ||
           address == QHostAddress(QHostAddress::AnyIPv4) || address == QHostAddress(QHostAddress::AnyIPv6);
}

} // namespace BackendToken
